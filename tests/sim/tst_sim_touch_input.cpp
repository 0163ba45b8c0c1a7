// Touches from standard input (--touch-input): the line format, and lines as they come
// through a pipe, whole, split, mixed with bad lines or far too long.
#include "transport/pseudoterminal.h"
#include "transport/session.h"
#include "transport/touchinput.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QtTest>

#include <unistd.h>

using namespace kestrin;

class TestSimTouchInput : public QObject
{
    Q_OBJECT

private slots:
    void parsesTouchLines_data();
    void parsesTouchLines();
    void touchesComeAsLinesThroughAPipe_data();
    void touchesComeAsLinesThroughAPipe();
};

void TestSimTouchInput::parsesTouchLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("touch");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("error");
    QTest::newRow("touch") << QByteArray("touch 120 32") << true << 120 << 32 << false;
    QTest::newRow("corners") << QByteArray("touch 239 63") << true << 239 << 63 << false;
    QTest::newRow("origin") << QByteArray("touch 0 0") << true << 0 << 0 << false;
    QTest::newRow("blanks and a carriage return")
        << QByteArray(" \ttouch  7\t8 \r") << true << 7 << 8 << false;
    QTest::newRow("blank line") << QByteArray(" \t\r") << false << 0 << 0 << false;
    QTest::newRow("empty line") << QByteArray() << false << 0 << 0 << false;
    QTest::newRow("x off the panel") << QByteArray("touch 240 0") << false << 0 << 0 << true;
    QTest::newRow("y off the panel") << QByteArray("touch 0 64") << false << 0 << 0 << true;
    QTest::newRow("negative") << QByteArray("touch -1 5") << false << 0 << 0 << true;
    QTest::newRow("not a number") << QByteArray("touch 1x 5") << false << 0 << 0 << true;
    QTest::newRow("one number") << QByteArray("touch 1") << false << 0 << 0 << true;
    QTest::newRow("three numbers") << QByteArray("touch 1 2 3") << false << 0 << 0 << true;
    QTest::newRow("other word") << QByteArray("press 1 2") << false << 0 << 0 << true;
    QTest::newRow("capitals") << QByteArray("TOUCH 1 2") << false << 0 << 0 << true;
}

void TestSimTouchInput::parsesTouchLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, touch);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(bool, error);
    std::string why = "left over";
    const std::optional<Point> at = parseTouchLine(line.toStdString(), why);
    QCOMPARE(at.has_value(), touch);
    if (at) {
        QCOMPARE(at->x, x);
        QCOMPARE(at->y, y);
    }
    QCOMPARE(!why.empty(), error);
}

void TestSimTouchInput::touchesComeAsLinesThroughAPipe_data()
{
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<bool>("closeInput");
    QTest::addColumn<QByteArray>("reports");
    const QByteArray longLine(TouchInput::kLongestLine + 1, ' ');
    QTest::newRow("one touch") << QList<QByteArray>{"touch 10 20\n"} << false
                               << QByteArray("T:10,20!");
    QTest::newRow("split across writes")
        << QList<QByteArray>{"tou", "ch 1 2", "\n"} << false << QByteArray("T:1,2!");
    QTest::newRow("several in one write") << QList<QByteArray>{"touch 0 0\ntouch 239 63\r\n"}
                                          << false << QByteArray("T:0,0!T:239,63!");
    QTest::newRow("bad lines are skipped")
        << QList<QByteArray>{"hello\ntouch 240 0\n\n touch 1\ntouch 7 8\n"} << false
        << QByteArray("T:7,8!");
    QTest::newRow("an overlong line is skipped whole")
        << QList<QByteArray>{longLine + "touch 1 1\n", "touch 2 2\n"} << false
        << QByteArray("T:2,2!");
    QTest::newRow("an overlong line across writes")
        << QList<QByteArray>{longLine, longLine, "touch 3 3\ntouch 4 4\n"} << false
        << QByteArray("T:4,4!");
    QTest::newRow("the last line needs no line feed")
        << QList<QByteArray>{"touch 5 6\ntouch 9 9"} << true << QByteArray("T:5,6!T:9,9!");
}

// The controller reports in coordinates mode, so each touch taken shows as its report on
// the console's side of the line. A last touch (or the end of the input) marks the end.
void TestSimTouchInput::touchesComeAsLinesThroughAPipe()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(bool, closeInput);
    QFETCH(QByteArray, reports);
    PseudoTerminal terminal;
    std::string error;
    QVERIFY2(terminal.open(error), error.c_str());
    Controller controller;
    Session session(controller, terminal.masterFd(), false);
    const std::uint8_t coordinates[] = {0x05, 0x01};
    controller.receive(coordinates, controller.ownRate(), session.now());
    int pipeEnds[2];
    QCOMPARE(::pipe(pipeEnds), 0);
    TouchInput input(session, pipeEnds[0]);
    QSerialPort console;
    console.setPortName(QString::fromStdString(terminal.devicePath()));
    console.setBaudRate(9600);
    QVERIFY(console.open(QIODevice::ReadWrite));

    for (const QByteArray& bytes : writes) {
        QCOMPARE(::write(pipeEnds[1], bytes.constData(), size_t(bytes.size())), bytes.size());
        QTest::qWait(10); // lets each write arrive as its own read
    }
    QByteArray expected = reports;
    if (closeInput) {
        ::close(pipeEnds[1]);
    } else {
        QCOMPARE(::write(pipeEnds[1], "touch 100 50\n", 13), 13);
        expected += "T:100,50!";
    }
    QByteArray received;
    const QDeadlineTimer deadline(5000);
    while (received.size() < expected.size() && !deadline.hasExpired()) {
        QTest::qWait(5);
        received += console.readAll();
    }
    QCOMPARE(received, expected);
    ::close(pipeEnds[0]);
    if (!closeInput)
        ::close(pipeEnds[1]);
}

QTEST_GUILESS_MAIN(TestSimTouchInput)
#include "tst_sim_touch_input.moc"
