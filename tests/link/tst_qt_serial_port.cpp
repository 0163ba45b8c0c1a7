// The real port backend over a pseudo-terminal: every byte value passes both
// ways unchanged, writes reach the operating system before output() returns,
// the rate reaches the line, and misuse raises the port's numbered errors.
#include "link/qtserialport.h"
#include "pty.h"

#include <QDeadlineTimer>
#include <QTest>

#include <termios.h>

using lumivor::link::PortErrorCode;
using lumivor::link::QtSerialPort;
using lumivor::link::SerialPortError;
using lumivor::testing::PseudoTerminal;

class QtSerialPortTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyByteValuePassesBothWays();
    void inputIsEmptyWhenNothingCameAndCountsWhatWaits();
    void settingsReachTheLine_data();
    void settingsReachTheLine();
    void misuseRaisesNumberedErrors();
    void aFloodIsHeldToTheReceiveBuffer();
};

namespace {
QByteArray allByteValues()
{
    QByteArray bytes;
    for (int v = 0; v < 256; ++v)
        bytes.append(static_cast<char>(v));
    return bytes;
}

PortErrorCode errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const SerialPortError& error) {
        return error.code();
    }
    return PortErrorCode{};
}
} // namespace

void QtSerialPortTest::everyByteValuePassesBothWays()
{
    PseudoTerminal pty;
    QtSerialPort port([&](int) { return pty.slavePath(); });
    port.setPortOpen(true);

    // No event loop runs between the write and the read: output() itself must
    // have handed every byte to the operating system.
    port.output(allByteValues());
    QCOMPARE(pty.read(256, 2000), allByteValues());
    port.output(QByteArray("\x28\x00", 2));
    QCOMPARE(pty.read(2, 2000), QByteArray("\x28\x00", 2));

    QVERIFY(pty.write(allByteValues()));
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT((received += port.input()).size() >= 256, 3000);
    QCOMPARE(received, allByteValues());
    port.setPortOpen(false);
    QVERIFY(!port.portOpen());
}

void QtSerialPortTest::inputIsEmptyWhenNothingCameAndCountsWhatWaits()
{
    PseudoTerminal pty;
    QtSerialPort port([&](int) { return pty.slavePath(); });
    port.setPortOpen(true);
    QCOMPARE(port.input(), QByteArray());
    QCOMPARE(port.inBufferCount(), 0);
    QVERIFY(pty.write("0123456789"));
    QTRY_COMPARE(port.inBufferCount(), 10);
    QCOMPARE(port.input(), QByteArray("0123456789"));
    QCOMPARE(port.inBufferCount(), 0);
}

void QtSerialPortTest::settingsReachTheLine_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<speed_t>("speed");
    QTest::newRow("2400") << QStringLiteral("2400,N,8,1") << speed_t(B2400);
    QTest::newRow("9600") << QStringLiteral("9600,N,8,1") << speed_t(B9600);
    QTest::newRow("57600") << QStringLiteral("57600,N,8,1") << speed_t(B57600);
    QTest::newRow("115200") << QStringLiteral("115200,N,8,1") << speed_t(B115200);
}

void QtSerialPortTest::settingsReachTheLine()
{
    QFETCH(QString, settings);
    QFETCH(speed_t, speed);
    PseudoTerminal pty;
    QtSerialPort port([&](int) { return pty.slavePath(); });
    port.setSettings(settings);
    port.setPortOpen(true);
    termios line{};
    QFile device(pty.slavePath());
    QVERIFY(device.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QCOMPARE(::tcgetattr(device.handle(), &line), 0);
    QCOMPARE(::cfgetospeed(&line), speed);
    QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(port.settings(), settings);
}

void QtSerialPortTest::misuseRaisesNumberedErrors()
{
    PseudoTerminal pty;
    QString device = pty.slavePath();
    QtSerialPort port([&](int) { return device; });

    QCOMPARE(errorOf([&] { port.output("x"); }), PortErrorCode::PortNotOpen);
    QCOMPARE(errorOf([&] { port.input(); }), PortErrorCode::PortNotOpen);
    QCOMPARE(errorOf([&] { port.setSettings(QStringLiteral("fast,N,8,1")); }),
             PortErrorCode::InvalidPropertyValue);
    QCOMPARE(errorOf([&] { port.setSettings(QStringLiteral("9600,X,8,1")); }),
             PortErrorCode::InvalidPropertyValue);
    QCOMPARE(port.settings(), QStringLiteral("9600,N,8,1")); // a refused text changes nothing

    port.setPortOpen(true);
    QCOMPARE(errorOf([&] { port.setPortOpen(true); }), PortErrorCode::PortAlreadyOpen);
    QCOMPARE(errorOf([&] { port.setCommPort(2); }), PortErrorCode::PortOpenNotAllowed);
    port.setPortOpen(false);

    device.clear(); // the number resolves to nothing
    QCOMPARE(errorOf([&] { port.setPortOpen(true); }), PortErrorCode::InvalidPortNumber);
    device = QStringLiteral("/dev/lumivor-no-such-device");
    QCOMPARE(errorOf([&] { port.setPortOpen(true); }), PortErrorCode::InvalidPortNumber);
    QVERIFY(!port.portOpen());
}

QTEST_GUILESS_MAIN(QtSerialPortTest)
#include "tst_qt_serial_port.moc"

// A controller that sends while nobody reads (between two polls, or for as
// long as a connection without the poll lasts) fills at most the port's
// receive buffer; the rest waits in the operating system, which holds a
// bounded amount too, and comes in order on later reads.
void QtSerialPortTest::aFloodIsHeldToTheReceiveBuffer()
{
    constexpr int buffer = lumivor::link::SerialPort::receiveBufferBytes;
    PseudoTerminal pty;
    QtSerialPort port([&](int) { return pty.slavePath(); });
    port.setPortOpen(true);
    // Twice the buffer: the pseudo-terminal holds the other half without
    // blocking the writer.
    QByteArray sent;
    for (int i = 0; i < 2 * buffer; ++i)
        sent.append(static_cast<char>(i % 251));
    for (qsizetype at = 0; at < sent.size(); at += buffer) {
        QVERIFY(pty.write(sent.mid(at, buffer)));
        QTest::qWait(20); // the event loop runs: the port takes what it may
    }
    QByteArray received;
    const QDeadlineTimer deadline(5000);
    while (received.size() < sent.size() && !deadline.hasExpired()) {
        const QByteArray chunk = port.input();
        QVERIFY2(chunk.size() <= buffer, qPrintable(QString::number(chunk.size())));
        received += chunk;
        QTest::qWait(5);
    }
    QCOMPARE(received.size(), sent.size());
    QVERIFY(received == sent);
}
