// The controller on a real pseudo-terminal: line pacing, a console talking through
// QSerialPort at rates read from the terminal, and the live view.
#include "simtest.h"
#include "testsuite.h"
#include "transport/linepacer.h"
#include "transport/pseudoterminal.h"
#include "transport/session.h"
#include "transport/touchinput.h"
#include "view/lcdrenderer.h"
#include "view/lcdwidget.h"
#include "view/simwindow.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QtTest>

#include <unistd.h>

using namespace kestrin;
using simtest::Rig;

namespace {

// The controller's end of a terminal, and the console's port on the other.
struct Wire
{
    PseudoTerminal terminal;
    Controller controller;
    std::unique_ptr<Session> session;
    QSerialPort port;

    bool open(bool lineTiming = false)
    {
        std::string error;
        if (!terminal.open(error))
            return false;
        session = std::make_unique<Session>(controller, terminal.masterFd(), lineTiming);
        port.setPortName(QString::fromStdString(terminal.devicePath()));
        port.setBaudRate(9600);
        return port.open(QIODevice::ReadWrite);
    }
    // Sends as the console does and collects what comes back, up to 'expected' bytes.
    QByteArray exchange(const char* hexBytes, int expected, int timeoutMs = 3000)
    {
        port.write(QByteArray::fromHex(hexBytes));
        QByteArray reply;
        const QDeadlineTimer deadline(timeoutMs);
        while (reply.size() < expected && !deadline.hasExpired()) {
            QTest::qWait(5);
            reply += port.readAll();
        }
        return reply;
    }
};

} // namespace

class TestSimTransport : public QObject
{
    Q_OBJECT

private slots:
    void pacerTakesTenBitsPerByte_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<qint64>("afterNs");
        QTest::addColumn<int>("due"); // of 20 bytes queued at time 0
        QTest::newRow("9600, before the first stop bit") << 9600 << qint64(1'041'000) << 0;
        QTest::newRow("9600, first byte over") << 9600 << qint64(1'041'700) << 1;
        QTest::newRow("2400, 100 ms: all") << 2400 << qint64(100'000'000) << 20;
        QTest::newRow("14400, 7 ms") << 14400 << qint64(7'000'000) << 10;
    }
    void pacerTakesTenBitsPerByte()
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
        pacer.startIfIdle(afterNs * 50, 0);
        QCOMPARE(int(pacer.takeDue(afterNs * 50 + pacer.byteTime() - 1, 5)), 0);
        QCOMPARE(int(pacer.takeDue(afterNs * 50 + pacer.byteTime(), 5)), 1);
    }

    // The console sets 14400 as an arbitrary rate; the controller still reads it exactly,
    // bytes at a rate other than its own are garbage to it, and with line timing its
    // answer takes at least the line time.
    void answersAtTheRateReadFromTheTerminal()
    {
        Wire wire;
        QVERIFY(wire.open(true));
        wire.port.write(QByteArray::fromHex("0f03"));
        QTRY_COMPARE(wire.controller.ownRate(), 14400);
        wire.port.setBaudRate(14400);
        QTRY_COMPARE(wire.session->consoleRate(), 14400);
        QCOMPARE(wire.exchange("2800", 8), QByteArray("KT24064!"));
        wire.port.setBaudRate(9600);
        QTRY_COMPARE(wire.session->consoleRate(), 9600);
        QCOMPARE(wire.exchange("2800", 1, 100), QByteArray());
        wire.port.setBaudRate(14400);
        wire.port.write(QByteArray::fromHex("0f00"));
        QTRY_COMPARE(wire.controller.ownRate(), 2400);
        wire.port.setBaudRate(2400);
        QTRY_COMPARE(wire.session->consoleRate(), 2400);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(wire.exchange("4944", 21, 5000), QByteArray("64,128!KESTRIN 240x64"));
        // 2 + 21 bytes of 10 bits cannot cross the line any sooner than 95.8 ms.
        QVERIFY2(clock.nsecsElapsed() >= 95'833'333, qPrintable(QString::number(clock.elapsed())));
    }

    void windowTakesTouchesBeepsAndShowsTheBytes()
    {
        Wire wire;
        QVERIFY(wire.open());
        SimWindow window(*wire.session, "COM1", LcdWidget::kDefaultZoom);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        wire.port.write(QByteArray::fromHex("1c01253f3f3e2301"));
        QTRY_VERIFY(window.lcd()->flashing()); // the beep flashes the bezel
        QTRY_VERIFY(!window.lcd()->flashing());
        QTRY_COMPARE(window.receivedText().right(23), "1C 01 25 3F 3F 3E 23 01");
        // A mouse press is a touch: the masked key bottom right says nothing, key 1 does.
        LcdWidget* lcd = window.lcd();
        for (const QPoint pixel : {QPoint(235, 60), QPoint(5, 5)})
            QTest::mouseClick(lcd, Qt::LeftButton, {},
                              lcd->panelRect().topLeft() + pixel * lcd->zoom());
        QByteArray received;
        QTRY_COMPARE((received += wire.port.readAll()), QByteArray("K:01!"));
        // The strip keeps the latest bytes only.
        wire.port.write(QByteArray::fromHex(QByteArray("03ab").repeated(100)));
        QTRY_VERIFY(window.receivedText().endsWith("03 AB 03 AB"));
        QVERIFY(!window.receivedText().contains("3E"));
        QVERIFY(window.receivedText().count(' ') <= SimWindow::kBytesShown + 1);
    }
};

LUMIVOR_TEST(TestSimTransport)
#include "tst_sim_transport.moc"
