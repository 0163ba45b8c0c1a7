// The controller on a real pseudo-terminal: a console-like client talking through
// QSerialPort, line rates read from the terminal, pacing and its wake timer, and the
// executable's start-up line, its owner file, its clean-up on signals and the port of a
// killed simulator.
#include "model/controller.h"
#include "transport/linepacer.h"
#include "transport/portlink.h"
#include "transport/pseudoterminal.h"
#include "transport/session.h"
#include "transport/waketimer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <unistd.h>
#include <vector>

using namespace kestrin;
Q_DECLARE_METATYPE(WakeTimer::Resolution)
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

QProcessEnvironment simulatorEnvironment(const QString& dataHome)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dataHome);
    return environment;
}

// Starts the headless simulator and waits for its line; gives its device path, or an
// empty text (after a failed check) when the line did not come as expected.
QString startSimulator(QProcess& simulator, const QString& dataHome, int expectedNumber)
{
    simulator.setProcessEnvironment(simulatorEnvironment(dataHome));
    simulator.start(QStringLiteral(KESTRIN_SIM_EXECUTABLE), {"--headless"});
    if (!simulator.waitForStarted(10000))
        return {};
    QElapsedTimer clock;
    clock.start();
    while (!simulator.canReadLine() && clock.elapsed() < 10000)
        simulator.waitForReadyRead(100);
    const QString line = QString::fromUtf8(simulator.readLine()).trimmed();
    const QRegularExpressionMatch match =
        QRegularExpression("^kestrin-sim: COM(\\d+) on (/dev/pts/\\d+)$").match(line);
    if (!match.hasMatch() || match.captured(1).toInt() != expectedNumber) {
        qWarning("unexpected start-up line: %s", qPrintable(line));
        return {};
    }
    return match.captured(2);
}

} // namespace

class TestSimTransport : public QObject
{
    Q_OBJECT

private slots:
    void pacerTakesTenBitsPerByte_data();
    void pacerTakesTenBitsPerByte();
    void wakeTimerFiresAtItsDeadline_data();
    void wakeTimerFiresAtItsDeadline();
    void wakeTimerStopsAndRearms_data();
    void wakeTimerStopsAndRearms();
    void answersConsoleThroughSerialPort();
    void lineTimingTakesLineTime_data();
    void lineTimingTakesLineTime();
    void executableServesPortUntilSignalled_data();
    void executableServesPortUntilSignalled();
    void killedSimulatorsPortIsReclaimed();
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

void TestSimTransport::wakeTimerFiresAtItsDeadline_data()
{
    QTest::addColumn<WakeTimer::Resolution>("resolution");
    QTest::addColumn<qint64>("delayNs"); // from now; negative: already past
    QTest::newRow("finest, 300 us") << WakeTimer::Resolution::Finest << qint64(300'000);
    QTest::newRow("finest, 20 ms") << WakeTimer::Resolution::Finest << qint64(20'000'000);
    QTest::newRow("finest, past") << WakeTimer::Resolution::Finest << qint64(-5'000'000);
    QTest::newRow("milliseconds, 300 us") << WakeTimer::Resolution::Milliseconds << qint64(300'000);
    QTest::newRow("milliseconds, 20 ms")
        << WakeTimer::Resolution::Milliseconds << qint64(20'000'000);
    QTest::newRow("milliseconds, past")
        << WakeTimer::Resolution::Milliseconds << qint64(-5'000'000);
}

void TestSimTransport::wakeTimerFiresAtItsDeadline()
{
    QFETCH(WakeTimer::Resolution, resolution);
    QFETCH(qint64, delayNs);
    WakeTimer timer(resolution);
#ifdef Q_OS_LINUX
    QCOMPARE(timer.isFine(), resolution == WakeTimer::Resolution::Finest);
#endif
    std::vector<std::int64_t> firedAt;
    connect(&timer, &WakeTimer::timeout, this, [&] { firedAt.push_back(monotonicNs()); });
    const std::int64_t deadline = monotonicNs() + delayNs;
    timer.startAt(deadline);
    QVERIFY(timer.isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!firedAt.empty(), 5000);
    QVERIFY(!timer.isActive());
    QVERIFY2(firedAt.front() >= deadline, qPrintable(QString::number(deadline - firedAt.front())));
    QTest::qWait(30);
    QCOMPARE(firedAt.size(), std::size_t{1}); // once only
}

void TestSimTransport::wakeTimerStopsAndRearms_data()
{
    QTest::addColumn<WakeTimer::Resolution>("resolution");
    QTest::newRow("finest") << WakeTimer::Resolution::Finest;
    QTest::newRow("milliseconds") << WakeTimer::Resolution::Milliseconds;
}

void TestSimTransport::wakeTimerStopsAndRearms()
{
    QFETCH(WakeTimer::Resolution, resolution);
    WakeTimer timer(resolution);
    int fired = 0;
    connect(&timer, &WakeTimer::timeout, this, [&] { ++fired; });
    timer.startAt(monotonicNs() + 5'000'000);
    timer.stop();
    QVERIFY(!timer.isActive());
    QTest::qWait(40);
    QCOMPARE(fired, 0);

    // A new deadline replaces the earlier one, later or sooner.
    timer.startAt(monotonicNs() + 60'000'000'000);
    const std::int64_t sooner = monotonicNs() + 2'000'000;
    timer.startAt(sooner);
    QTRY_COMPARE_WITH_TIMEOUT(fired, 1, 5000);
    QVERIFY(monotonicNs() >= sooner);
    timer.startAt(monotonicNs());
    timer.startAt(monotonicNs() + 60'000'000'000);
    QTest::qWait(40);
    QCOMPARE(fired, 1);
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

void TestSimTransport::lineTimingTakesLineTime_data()
{
    QTest::addColumn<int>("rateIndex");
    QTest::addColumn<int>("rate");
    QTest::newRow("2400") << 0 << 2400;
    QTest::newRow("115200") << 8 << 115200;
}

void TestSimTransport::lineTimingTakesLineTime()
{
    QFETCH(int, rateIndex);
    QFETCH(int, rate);
    PseudoTerminal terminal;
    std::string error;
    QVERIFY2(terminal.open(error), error.c_str());
    Controller controller;
    Session session(controller, terminal.masterFd(), true);
    QSerialPort port;
    port.setPortName(QString::fromStdString(terminal.devicePath()));
    port.setBaudRate(9600);
    QVERIFY(port.open(QIODevice::ReadWrite));
    port.write(QByteArray{"\x0f"} + char(rateIndex));
    QTRY_COMPARE(controller.ownRate(), rate);
    port.setBaudRate(rate);
    QTRY_COMPARE(session.consoleRate(), rate);
    QElapsedTimer clock;
    clock.start();
    const QByteArray reply = exchange(port, QByteArray::fromHex("4944"), 21, 5000);
    const qint64 elapsedNs = clock.nsecsElapsed();
    QCOMPARE(reply, QByteArray("64,128!KESTRIN 240x64"));
    // 2 + 21 bytes of 10 bits cannot cross the line any sooner (95.8 ms at 2400 baud).
    const qint64 lineNs = qint64(2 + 21) * 10 * 1'000'000'000 / rate;
    QVERIFY2(elapsedNs >= lineNs, qPrintable(QString("%1 < %2 ns").arg(elapsedNs).arg(lineNs)));
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
    const QString device = startSimulator(simulator, dataHome.path(), 1);
    QVERIFY(!device.isEmpty());
    const fs::path link = fs::path(dataHome.path().toStdString()) / "lumivor/ports/com1";
    QCOMPARE(fs::read_symlink(link).string(), device.toStdString());
    // The owner file is in place once the line is out.
    QCOMPARE(PortLink::readOwner(PortLink::ownerFileOf(link)),
             std::optional<pid_t>(pid_t(simulator.processId())));

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
    QVERIFY(!fs::exists(PortLink::ownerFileOf(link)));
}

void TestSimTransport::killedSimulatorsPortIsReclaimed()
{
    QTemporaryDir dataHome;
    const fs::path link = fs::path(dataHome.path().toStdString()) / "lumivor/ports/com1";
    QProcess killed;
    QVERIFY(!startSimulator(killed, dataHome.path(), 1).isEmpty());
    killed.kill(); // SIGKILL: nothing is cleaned up
    QVERIFY(killed.waitForFinished(10000));
    QVERIFY(fs::is_symlink(link));
    QVERIFY(fs::exists(PortLink::ownerFileOf(link)));

    QProcess next;
    const QString device = startSimulator(next, dataHome.path(), 1);
    QVERIFY(!device.isEmpty());
    QCOMPARE(fs::read_symlink(link).string(), device.toStdString());
    QCOMPARE(PortLink::readOwner(PortLink::ownerFileOf(link)),
             std::optional<pid_t>(pid_t(next.processId())));

    // A second simulator asked for the same number finds it held by a live one.
    QProcess refused;
    refused.setProcessEnvironment(simulatorEnvironment(dataHome.path()));
    refused.start(QStringLiteral(KESTRIN_SIM_EXECUTABLE), {"--headless", "--com", "1"});
    QVERIFY(refused.waitForFinished(10000));
    QCOMPARE(refused.exitCode(), 1);
    QVERIFY2(refused.readAllStandardError().startsWith(
                 "kestrin-sim: COM1 is served by another kestrin-sim (process " +
                 QByteArray::number(next.processId()) + ")"),
             "");

    ::kill(pid_t(next.processId()), SIGTERM);
    QVERIFY(next.waitForFinished(10000));
    QVERIFY(!fs::is_symlink(link));
    QVERIFY(!fs::exists(PortLink::ownerFileOf(link)));
}

QTEST_GUILESS_MAIN(TestSimTransport)
#include "tst_sim_transport.moc"
