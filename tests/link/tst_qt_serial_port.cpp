// The real port backend over a pseudo-terminal: every byte value passes both
// ways unchanged, writes reach the operating system before output() returns,
// the rate reaches the line, misuse raises the port's numbered errors, a
// hang-up of an idle port is reported once, and a chattering controller
// cannot make the console's memory grow.
#include "link/qtserialport.h"
#include "porterrors.h"
#include "pty.h"

#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

#include <termios.h>
#include <unistd.h>

using lumivor::link::OpenFailure;
using lumivor::link::PortErrorCode;
using lumivor::link::PortHolder;
using lumivor::link::QtSerialPort;
using lumivor::link::SerialPort;
using lumivor::link::SerialPortError;
using lumivor::testing::caught;
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
    void bytesSentBeforeOpenAreDiscarded();
    void drainReturnsWithTheBytesAtTheOtherEnd();
    void aHangUpOfAnIdlePortIsReportedOnce_data();
    void aHangUpOfAnIdlePortIsReportedOnce();
    void theWatcherMayCloseThePortAndItOpensAgain();
    void aReaderAheadOfQtsNotifierIsNoFailure();
    void aFailureAReaderMetIsNotReportedAfterClose();
    void aFloodKeepsTheOldestBytesAndNothingGrows();
    void onlySerialTerminalsAreOpened_data();
    void onlySerialTerminalsAreOpened();
    void aPortHeldByAnotherProgramNamesIt();
    void openFailuresTellWhatIsWrong_data();
    void openFailuresTellWhatIsWrong();
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
    return caught(action).code();
}

// Reads until `count` bytes came, within a bounded time.
QByteArray receive(SerialPort& port, int count)
{
    QByteArray received;
    const bool complete =
        QTest::qWaitFor([&] { return (received += port.input()).size() >= count; }, 3000);
    Q_UNUSED(complete); // the caller compares what came
    return received;
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

void QtSerialPortTest::bytesSentBeforeOpenAreDiscarded()
{
    PseudoTerminal pty;
    QVERIFY(pty.write("stale reply"));
    QTRY_COMPARE_WITH_TIMEOUT(pty.waitingAtSlave(), 11, 3000); // in the terminal before open
    QtSerialPort port([&](int) { return pty.slavePath(); });
    port.setPortOpen(true);
    QCOMPARE(port.input(), QByteArray());
    QVERIFY(pty.write("fresh"));
    QCOMPARE(receive(port, 5), QByteArray("fresh"));
}

void QtSerialPortTest::drainReturnsWithTheBytesAtTheOtherEnd()
{
    PseudoTerminal pty;
    QtSerialPort port([&](int) { return pty.slavePath(); });
    QCOMPARE(errorOf([&] { port.drain(); }), PortErrorCode::PortNotOpen);
    port.setPortOpen(true);
    const QByteArray block = allByteValues().repeated(8);
    port.output(block);
    port.drain();
    QCOMPARE(pty.read(static_cast<int>(block.size()), 3000), block);
}

void QtSerialPortTest::aHangUpOfAnIdlePortIsReportedOnce_data()
{
    QTest::addColumn<bool>("qtNotifierSilent");
    QTest::newRow("Qt's notifier reports it") << false;
    QTest::newRow("only the line check sees it") << true;
}

// Nobody reads or writes: the controller vanishes.
void QtSerialPortTest::aHangUpOfAnIdlePortIsReportedOnce()
{
    QFETCH(bool, qtNotifierSilent);
    PseudoTerminal pty;
    QtSerialPort port([&](int) { return pty.slavePath(); });
    port.setCommPort(3);
    QList<SerialPortError> reports;
    port.setFailureWatcher([&](const SerialPortError& error) { reports.append(error); });
    port.setPortOpen(true);
    if (qtNotifierSilent) {
        const auto notifiers = port.qtPort().findChildren<QSocketNotifier*>();
        QVERIFY(!notifiers.isEmpty());
        for (QSocketNotifier* notifier : notifiers)
            notifier->setEnabled(false);
    }
    int qtSignals = 0; // each one is a turn of the spin of a dead handle
    QObject::connect(&port.qtPort(), &QSerialPort::errorOccurred, [&] { ++qtSignals; });
    QObject::connect(&port.qtPort(), &QSerialPort::readyRead, [&] { ++qtSignals; });

    pty.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 3000);
    QCOMPARE(reports[0].code(), PortErrorCode::ReadFailed);
    QVERIFY2(reports[0].description().startsWith(QStringLiteral("COM3 (")) &&
                 reports[0].description().contains(QStringLiteral("hung up")),
             qPrintable(reports[0].description()));

    const int signalsAtReport = qtSignals;
    QTest::qWait(3 * QtSerialPort::lineCheckMs);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(qtSignals, signalsAtReport);
    QVERIFY(port.portOpen()); // closing is the owner's choice
    QCOMPARE(errorOf([&] { port.input(); }), PortErrorCode::ReadFailed);
    QCOMPARE(errorOf([&] { port.inBufferCount(); }), PortErrorCode::ReadFailed);
    QCOMPARE(errorOf([&] { port.output("ID"); }), PortErrorCode::ReadFailed);
    QCOMPARE(errorOf([&] { port.drain(); }), PortErrorCode::ReadFailed);
}

// A reader that looks when told of arrivals can take the bytes in the same
// turn of the event loop in which Qt's own read notifier is due; that
// notifier then reads nothing. The port is fine and must stay so, and the
// arrivals go on being told.
void QtSerialPortTest::aReaderAheadOfQtsNotifierIsNoFailure()
{
    PseudoTerminal pty;
    QtSerialPort port([&](int) { return pty.slavePath(); });
    QList<SerialPortError> reports;
    port.setFailureWatcher([&](const SerialPortError& error) { reports.append(error); });
    int arrivals = 0;
    port.setArrivalWatcher([&] { ++arrivals; });
    port.setPortOpen(true);
    QByteArray received;
    QObject context;
    for (int round = 0; round < 200; ++round) {
        QVERIFY(pty.write(QByteArray(1, char('a' + round % 26))));
        QMetaObject::invokeMethod(
            &context, [&] { received += port.input(); }, Qt::QueuedConnection);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    QTRY_COMPARE(received.size() + port.inBufferCount(), 200);
    QVERIFY2(reports.isEmpty(),
             qPrintable(reports.isEmpty() ? QString() : reports[0].description()));
    const int before = arrivals;
    QVERIFY(pty.write("z"));
    QTRY_VERIFY(arrivals > before);
    QCOMPARE(port.input().right(1), QByteArray("z"));
}

void QtSerialPortTest::theWatcherMayCloseThePortAndItOpensAgain()
{
    auto first = std::make_unique<PseudoTerminal>();
    PseudoTerminal second;
    QString device = first->slavePath();
    QtSerialPort port([&](int) { return device; });
    int reports = 0;
    port.setFailureWatcher([&](const SerialPortError&) {
        ++reports;
        port.setPortOpen(false);
    });
    port.setPortOpen(true);
    first->hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(!port.portOpen(), 3000);
    QCOMPARE(reports, 1);

    device = second.slavePath();
    port.setPortOpen(true);
    port.output("ID");
    QCOMPARE(second.read(2, 3000), QByteArray("ID"));
    QVERIFY(second.write("64"));
    QCOMPARE(receive(port, 2), QByteArray("64"));
    QTest::qWait(2 * QtSerialPort::lineCheckMs);
    QCOMPARE(reports, 1);
}

// A reader that meets the hang-up first hears of it by its error; once it
// has closed the port, the watcher is not told of that failure again.
void QtSerialPortTest::aFailureAReaderMetIsNotReportedAfterClose()
{
    PseudoTerminal pty;
    QtSerialPort port([&](int) { return pty.slavePath(); });
    int reports = 0;
    port.setFailureWatcher([&](const SerialPortError&) { ++reports; });
    port.setPortOpen(true);
    pty.hangUp();
    QCOMPARE(errorOf([&] { port.input(); }), PortErrorCode::ReadFailed);
    port.setPortOpen(false);
    QTest::qWait(2 * QtSerialPort::lineCheckMs);
    QCOMPARE(reports, 0);
}

void QtSerialPortTest::aFloodKeepsTheOldestBytesAndNothingGrows()
{
    PseudoTerminal pty;
    QtSerialPort port([&](int) { return pty.slavePath(); });
    port.setPortOpen(true);
    QByteArray flood(8 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < flood.size(); ++i)
        flood[i] = static_cast<char>(i % 251);

    QVERIFY(pty.writeWhileProcessingEvents(flood, 60000));
    QTRY_COMPARE_WITH_TIMEOUT(port.lostBytes() + port.inBufferCount(), qint64(flood.size()), 5000);
    QCOMPARE(port.qtPort().bytesAvailable(), qint64(0));
    QCOMPARE(port.inBufferCount(), SerialPort::receiveBufferBytes);
    QCOMPARE(port.input(), flood.left(SerialPort::receiveBufferBytes));

    QVERIFY(pty.write("!"));
    QCOMPARE(receive(port, 1), QByteArray("!"));
}

void QtSerialPortTest::onlySerialTerminalsAreOpened_data()
{
    QTest::addColumn<QString>("device");
    QTest::newRow("null device") << QStringLiteral("/dev/null");
    QTest::newRow("pseudo-terminal multiplexer") << QStringLiteral("/dev/ptmx"); // would open
    QTest::newRow("regular file") << QStringLiteral("file");
}

void QtSerialPortTest::onlySerialTerminalsAreOpened()
{
    QFETCH(QString, device);
    QTemporaryDir dir;
    if (!device.startsWith(QLatin1Char('/'))) {
        device = dir.filePath(device);
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QtSerialPort port([&](int) { return device; });
    const SerialPortError error = caught([&] { port.setPortOpen(true); });
    QCOMPARE(error.code(), PortErrorCode::InvalidPortNumber);
    QCOMPARE(error.description(), device + QStringLiteral(" is not a serial port"));
    QVERIFY(!port.portOpen());
}

void QtSerialPortTest::aPortHeldByAnotherProgramNamesIt()
{
    PseudoTerminal pty;
    QtSerialPort holder([&](int) { return pty.slavePath(); });
    holder.setPortOpen(true);
    QtSerialPort port([&](int) { return pty.slavePath(); });
    port.setCommPort(3);
    const SerialPortError error = caught([&] { port.setPortOpen(true); });
    QCOMPARE(error.code(), PortErrorCode::HardwareUnavailable);
    QCOMPARE(error.description(),
             QStringLiteral("COM3 (%1) is in use by another program (%2, process %3)")
                 .arg(pty.slavePath(), QCoreApplication::applicationName())
                 .arg(QCoreApplication::applicationPid()));
    QVERIFY(!port.portOpen());

    holder.setPortOpen(false);
    port.setPortOpen(true); // free again
    QVERIFY(port.portOpen());
}

void QtSerialPortTest::openFailuresTellWhatIsWrong_data()
{
    QTest::addColumn<OpenFailure>("failure");
    QTest::addColumn<PortErrorCode>("code");
    QTest::addColumn<QString>("description");
    const QString port = QStringLiteral("COM3 (/dev/ttyUSB0)");
    const QString device = QStringLiteral("/dev/ttyUSB0");
    const QString lockText = QStringLiteral("Permission error while locking the device");
    const QString hint =
        QStringLiteral(" (to use serial ports, add your user to the dialout group, "
                       "for example: sudo usermod -aG dialout $USER, then log in again)");
    const auto failure = [&](QSerialPort::SerialPortError error, const QString& text) {
        OpenFailure f;
        f.port = port;
        f.device = device;
        f.error = error;
        f.systemText = text;
        return f;
    };

    OpenFailure locked = failure(QSerialPort::PermissionError, lockText);
    locked.holder = PortHolder{4711, QStringLiteral("lumivor"), QStringLiteral("host")};
    locked.superuser = true;
    QTest::newRow("locked by a named program, as root")
        << locked << PortErrorCode::HardwareUnavailable
        << port + QStringLiteral(" is in use by another program (lumivor, process 4711)");
    locked.holder->appName.clear();
    locked.superuser = false;
    QTest::newRow("locked by an unnamed program")
        << locked << PortErrorCode::HardwareUnavailable
        << port + QStringLiteral(" is in use by another program (process 4711)");

    const OpenFailure busy = failure(QSerialPort::PermissionError, QStringLiteral("busy"));
    QTest::newRow("opened exclusively") << busy << PortErrorCode::HardwareUnavailable
                                        << port + QStringLiteral(" is in use by another program");

    OpenFailure denied = failure(QSerialPort::PermissionError, QStringLiteral("denied"));
    denied.accessible = false;
    QTest::newRow("no permission") << denied << PortErrorCode::HardwareUnavailable
                                   << port + QStringLiteral(": permission denied") + hint;
    denied.superuser = true;
    QTest::newRow("no permission as root") << denied << PortErrorCode::HardwareUnavailable
                                           << port + QStringLiteral(": permission denied");

    QTest::newRow("terminal ioctls refused")
        << failure(QSerialPort::UnsupportedOperationError,
                   QStringLiteral("Inappropriate ioctl for device"))
        << PortErrorCode::InvalidPortNumber << device + QStringLiteral(" is not a serial port");
    QTest::newRow("gone") << failure(QSerialPort::DeviceNotFoundError,
                                     QStringLiteral("No such file or directory"))
                          << PortErrorCode::InvalidPortNumber
                          << port + QStringLiteral(" is not present: No such file or directory");
}

void QtSerialPortTest::openFailuresTellWhatIsWrong()
{
    QFETCH(OpenFailure, failure);
    QFETCH(PortErrorCode, code);
    QFETCH(QString, description);
    const SerialPortError error = lumivor::link::describeOpenFailure(failure);
    QCOMPARE(error.code(), code);
    QCOMPARE(error.description(), description);
}

QTEST_GUILESS_MAIN(QtSerialPortTest)
#include "tst_qt_serial_port.moc"
