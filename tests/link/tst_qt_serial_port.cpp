// The real port over a pseudo-terminal, for what the double cannot show:
// every byte value both ways, writes handed to the system before output()
// returns, drains, stale bytes, hang-ups reported once, zero-byte reads, a
// bounded receive buffer and lock files.
#include "link/qtserialport.h"
#include "porterrors.h"
#include "pty.h"
#include "testsuite.h"

#include <QSocketNotifier>
#include <QTest>

using namespace lumivor;
using link::PortErrorCode;
using link::QtSerialPort;
using link::SerialPort;
using link::SerialPortError;
using testing::caught;
using testing::PseudoTerminal;

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
    [[maybe_unused]] const bool complete =
        QTest::qWaitFor([&] { return (received += port.input()).size() >= count; }, 3000);
    return received;
}

} // namespace

class QtSerialPortTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // What the terminal held before the port opened is no answer; every byte
    // value passes both ways; output() has handed its bytes to the system when
    // it returns (no event loop runs before the other side reads them), and a
    // drain returns once they have left.
    void bytesPassBothWaysUnchanged()
    {
        PseudoTerminal pty;
        QVERIFY(pty.write("stale reply"));
        QTRY_COMPARE_WITH_TIMEOUT(pty.waitingAtSlave(), 11, 3000);
        QtSerialPort port([&](int) { return pty.slavePath(); });
        port.setPortOpen(true);
        QCOMPARE(port.input(), QByteArray());
        port.output(allByteValues());
        QCOMPARE(pty.read(256, 2000), allByteValues());
        QVERIFY(pty.write(allByteValues()));
        QCOMPARE(receive(port, 256), allByteValues());
        QCOMPARE(port.inBufferCount(), 0);
        port.output(allByteValues().repeated(8));
        port.drain();
        QCOMPARE(pty.read(8 * 256, 3000), allByteValues().repeated(8));
    }

    void aHangUpOfAnIdlePortIsReportedOnce_data()
    {
        QTest::addColumn<bool>("qtNotifierSilent");
        QTest::newRow("Qt's notifier reports it") << false;
        QTest::newRow("only the line check sees it") << true;
    }

    // Nobody reads or writes: the controller vanishes.
    void aHangUpOfAnIdlePortIsReportedOnce()
    {
        QFETCH(bool, qtNotifierSilent);
        PseudoTerminal pty;
        QtSerialPort port([&](int) { return pty.slavePath(); });
        port.setCommPort(3);
        QList<SerialPortError> reports;
        port.setFailureWatcher([&](const SerialPortError& error) { reports.append(error); });
        port.setPortOpen(true);
        if (qtNotifierSilent) {
            for (QSocketNotifier* notifier : port.qtPort().findChildren<QSocketNotifier*>())
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
        QCOMPARE(errorOf([&] { port.output("ID"); }), PortErrorCode::ReadFailed);
        QCOMPARE(errorOf([&] { port.drain(); }), PortErrorCode::ReadFailed);
    }

    // A reader told of arrivals can take the bytes in the same turn of the loop
    // in which Qt's own read notifier is due; that notifier then reads nothing.
    // The port is fine and must stay so, and arrivals go on being told.
    void aReaderAheadOfQtsNotifierIsNoFailure()
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

    // Nobody reads while a controller chatters: the port keeps the oldest
    // receiveBufferBytes as a UART would, and Qt's own buffer stays empty.
    void aFloodKeepsTheOldestBytesAndNothingGrows()
    {
        PseudoTerminal pty;
        QtSerialPort port([&](int) { return pty.slavePath(); });
        port.setPortOpen(true);
        QByteArray flood(64 * 1024, '\0');
        for (qsizetype i = 0; i < flood.size(); ++i)
            flood[i] = static_cast<char>(i % 251);
        QVERIFY(pty.writeWhileProcessingEvents(flood, 20000));
        QTRY_COMPARE_WITH_TIMEOUT(port.lostBytes() + port.inBufferCount(), qint64(flood.size()),
                                  5000);
        QCOMPARE(port.qtPort().bytesAvailable(), qint64(0));
        QCOMPARE(port.input(), flood.left(SerialPort::receiveBufferBytes));
        QVERIFY(pty.write("!"));
        QCOMPARE(receive(port, 1), QByteArray("!"));
    }

    void aPortHeldByAnotherProgramNamesIt()
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
        holder.setPortOpen(false);
        port.setPortOpen(true); // free again
        QVERIFY(port.portOpen());
    }
};

LUMIVOR_TEST(QtSerialPortTest)
#include "tst_qt_serial_port.moc"
