// The controller on a real pseudo-terminal: the COM link, a console-like client talking
// through QSerialPort, line rates read from the terminal, pacing, and the executable's
// start-up line and clean-up on signals.
#include "model/controller.h"
#include "transport/linepacer.h"
#include "transport/portlink.h"
#include "transport/pseudoterminal.h"
#include "transport/session.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <unistd.h>

using namespace kestrin;
namespace fs = std::filesystem;

namespace {

// Sends bytes as the console does and collects what comes back for a while.
QByteArray exchange(QSerialPort& port, const QByteArray& bytes, int expected, int timeoutMs)
{
    port.write(bytes);
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    while (reply.size() < expected && clock.elapsed() < timeoutMs) {
        QTest::qWait(5);
        reply += port.readAll();
    }
    return reply;
}

} // namespace

class TestSimTransport : public QObject
{
    Q_OBJECT

private slots:
    void pacerTakesTenBitsPerByte_data();
    void pacerTakesTenBitsPerByte();
    void linkTakesLowestFreeNumber();
    void answersConsoleThroughSerialPort();
    void lineTimingTakesLineTime();
    void executableServesPortUntilSignalled_data();
    void executableServesPortUntilSignalled();
};

void TestSimTransport::pacerTakesTenBitsPerByte_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<qint64>("afterNs");
    QTest::addColumn<int>("due");
    // 20 bytes queued at time 0.
    QTest::newRow("9600, before the first stop bit") << 9600 << qint64(1'041'000) << 0;
    QTest::newRow("9600, first byte over") << 9600 << qint64(1'041'700) << 1;
    QTest::newRow("9600, 10 ms") << 9600 << qint64(10'000'000) << 9;
    QTest::newRow("2400, 100 ms") << 2400 << qint64(100'000'000) << 20;
    QTest::newRow("115200, 1 ms") << 115200 << qint64(1'000'000) << 11;
    QTest::newRow("14400, 7 ms") << 14400 << qint64(7'000'000) << 10;
}

void TestSimTransport::pacerTakesTenBitsPerByte()
{
    QFETCH(int, rate);
    QFETCH(qint64, afterNs);
    QFETCH(int, due);
    LinePacer pacer;
    pacer.setRate(rate);
    pacer.startIfIdle(0, 0);
    QCOMPARE(int(pacer.takeDue(afterNs, 20)), due);
    QCOMPARE(int(pacer.takeDue(afterNs, std::size_t(20 - due))), 0); // taken once only
    // An idle line banks no time: bytes queued later wait a full byte time again.
    LinePacer idle;
    idle.setRate(rate);
    idle.startIfIdle(afterNs * 50, 0);
    QCOMPARE(int(idle.takeDue(afterNs * 50 + idle.byteTime() - 1, 5)), 0);
    QCOMPARE(int(idle.takeDue(afterNs * 50 + idle.byteTime(), 5)), 1);
}

void TestSimTransport::linkTakesLowestFreeNumber()
{
    QTemporaryDir temporary;
    const fs::path directory = fs::path(temporary.path().toStdString()) / "ports";
    fs::create_directories(directory);
    fs::create_symlink("/nonexistent/device", directory / "com1"); // left by a dead controller
    fs::create_symlink("/dev/null", directory / "com2");           // a live port
    std::string error;
    {
        std::optional<PortLink> first = PortLink::create(directory, "/dev/zero", {}, error);
        QVERIFY(first);
        QCOMPARE(first->number(), 1);
        QCOMPARE(fs::read_symlink(directory / "com1"), fs::path("/dev/zero"));
        std::optional<PortLink> second = PortLink::create(directory, "/dev/full", {}, error);
        QVERIFY(second);
        QCOMPARE(second->number(), 3);
        QVERIFY(!PortLink::create(directory, "/dev/zero", 2, error));
        QVERIFY(error.find("COM2") != std::string::npos);
        std::optional<PortLink> chosen = PortLink::create(directory, "/dev/random", 16, error);
        QVERIFY(chosen);
        QCOMPARE(chosen->number(), 16);
        // Someone else took com3 over: it is not ours to remove any more.
        fs::remove(directory / "com3");
        fs::create_symlink("/dev/urandom", directory / "com3");
    }
    QVERIFY(!fs::is_symlink(directory / "com1"));
    QVERIFY(!fs::is_symlink(directory / "com16"));
    QVERIFY(fs::is_symlink(directory / "com2"));
    QVERIFY(fs::is_symlink(directory / "com3"));
}

void TestSimTransport::answersConsoleThroughSerialPort()
{
    PseudoTerminal terminal;
    std::string error;
    QVERIFY2(terminal.open(error), error.c_str());
    Controller controller;
    Session session(controller, terminal.masterFd(), false);
    QSerialPort port;
    port.setPortName(QString::fromStdString(terminal.devicePath()));
    port.setBaudRate(9600);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QCOMPARE(exchange(port, QByteArray::fromHex("4944"), 21, 3000),
             QByteArray("64,128!KESTRIN 240x64"));

    // 14400 is set as an arbitrary rate; the controller still reads it exactly.
    port.setBaudRate(14400);
    QTRY_COMPARE(session.consoleRate(), 14400);
    QCOMPARE(exchange(port, QByteArray::fromHex("4944"), 1, 300), QByteArray());

    port.setBaudRate(9600);
    port.write(QByteArray::fromHex("0f03"));
    QTRY_COMPARE(controller.ownRate(), 14400);
    port.setBaudRate(14400);
    QCOMPARE(exchange(port, QByteArray::fromHex("2800"), 8, 3000), QByteArray("KT24064!"));
}

void TestSimTransport::lineTimingTakesLineTime()
{
    PseudoTerminal terminal;
    std::string error;
    QVERIFY2(terminal.open(error), error.c_str());
    Controller controller;
    Session session(controller, terminal.masterFd(), true);
    QSerialPort port;
    port.setPortName(QString::fromStdString(terminal.devicePath()));
    port.setBaudRate(9600);
    QVERIFY(port.open(QIODevice::ReadWrite));
    port.write(QByteArray::fromHex("0f00"));
    QTRY_COMPARE(controller.ownRate(), 2400);
    port.setBaudRate(2400);
    QElapsedTimer clock;
    clock.start();
    const QByteArray reply = exchange(port, QByteArray::fromHex("4944"), 21, 5000);
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(reply, QByteArray("64,128!KESTRIN 240x64"));
    // 2 + 21 bytes of 10 bits at 2400 baud cannot cross the line in less than 95.8 ms.
    QVERIFY2(elapsed >= 95, qPrintable(QString::number(elapsed)));
}

void TestSimTransport::executableServesPortUntilSignalled_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestSimTransport::executableServesPortUntilSignalled()
{
    QFETCH(int, signalNumber);
    QTemporaryDir dataHome;
    QProcess simulator;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dataHome.path());
    simulator.setProcessEnvironment(environment);
    simulator.start(QStringLiteral(KESTRIN_SIM_EXECUTABLE), {"--headless"});
    QVERIFY(simulator.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(simulator.canReadLine(), 10000);
    const QString line = QString::fromUtf8(simulator.readLine()).trimmed();
    const QRegularExpressionMatch match =
        QRegularExpression("^kestrin-sim: COM(\\d+) on (/dev/pts/\\d+)$").match(line);
    QVERIFY2(match.hasMatch(), qPrintable(line));
    QCOMPARE(match.captured(1), QStringLiteral("1"));
    const fs::path link = fs::path(dataHome.path().toStdString()) / "lumivor/ports/com1";
    QCOMPARE(fs::read_symlink(link).string(), match.captured(2).toStdString());

    QSerialPort port;
    port.setPortName(QString::fromStdString(link.string()));
    port.setBaudRate(9600);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QCOMPARE(exchange(port, QByteArray::fromHex("2800"), 8, 5000), QByteArray("KT24064!"));
    port.close();

    ::kill(pid_t(simulator.processId()), signalNumber);
    QVERIFY(simulator.waitForFinished(10000));
    QCOMPARE(simulator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(simulator.exitCode(), 0);
    QVERIFY(!fs::is_symlink(link));
}

QTEST_GUILESS_MAIN(TestSimTransport)
#include "tst_sim_transport.moc"
