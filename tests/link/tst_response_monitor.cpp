// The response poll, the settle step, and what happens when the port fails
// or floods while connected.
#include "link/responsemonitor.h"
#include "windowfixture.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

using lumivor::link::PortErrorCode;
using lumivor::link::ResponseMonitor;
using lumivor::link::SerialPortError;
using lumivor::testing::WindowFixture;

class ResponseMonitorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pollReplacesTheResponseWithEachChunk();
    void settleStepDiscardsWhatFollowsTheDetectionReply();
    void withoutSettingsInTheReplyNothingIsPolled();
    void aTimedOutAttemptKeepsThePartialAnswer();
    void aFloodShowsOnlyItsNewestCharacters();
    void portFailures_data();
    void portFailures();
};

namespace {
QString buffer(const WindowFixture& f)
{
    return f.find<QPlainTextEdit>("txtBuffer")->toPlainText();
}
} // namespace

void ResponseMonitorTest::pollReplacesTheResponseWithEachChunk()
{
    WindowFixture f;
    f.connectWithPoll();
    f.port.queueInput("T 10,20!");
    f.clock.advance(250);
    QCOMPARE(f.text("Text7"), QStringLiteral("T 10,20!"));
    QCOMPARE(buffer(f), QStringLiteral("T 10,20!"));

    f.port.queueInput("K 3!");
    f.port.queueInput("K 4!");
    f.clock.advance(250);
    QCOMPARE(f.text("Text7"), QStringLiteral("K 3!K 4!"));

    f.clock.advance(5000); // nothing arrives: the last text stays
    QCOMPARE(f.text("Text7"), QStringLiteral("K 3!K 4!"));

    f.port.queueInput(QByteArray("\xe9\x00z", 3)); // one character per byte
    f.clock.advance(250);
    QCOMPARE(f.text("Text7").size(), 3);
    QCOMPARE(f.text("Text7").at(0), QChar(0xe9));
}

void ResponseMonitorTest::settleStepDiscardsWhatFollowsTheDetectionReply()
{
    WindowFixture f;
    f.answerIdentification("240x64,0!");
    f.connectAndDetect();
    f.port.queueInput("late part of the reply");
    f.clock.advance(499);
    QVERIFY(!f.timer("Timer2")->isActive());
    f.clock.advance(1);
    QVERIFY(f.timer("Timer2")->isActive());
    f.clock.advance(300);
    QCOMPARE(f.text("Text7"), QString());
    QCOMPARE(buffer(f), QString());
}

void ResponseMonitorTest::withoutSettingsInTheReplyNothingIsPolled()
{
    WindowFixture f;
    f.answerIdentification("240x64");
    f.connectAndDetect();
    f.port.queueInput("T 1,2!");
    f.clock.advance(900);
    QCOMPARE(f.text("Text7"), QStringLiteral("240x64"));
    QVERIFY(!f.timer("Timer2")->isActive());
    QVERIFY(!f.timer("Timer3")->isActive());
}

void ResponseMonitorTest::aTimedOutAttemptKeepsThePartialAnswer()
{
    WindowFixture f;
    f.answerIdentification("KESTR");
    f.connectAndDetect();
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.text("Text7"), QStringLiteral("KESTR"));
}

// A controller that floods the line (a finger dragged across the screen for
// ever, or garbage) fills at most the port's buffer; the box shows the newest
// characters of what one poll read.
void ResponseMonitorTest::aFloodShowsOnlyItsNewestCharacters()
{
    WindowFixture f;
    f.connectWithPoll();
    QByteArray flood(16 * 1024 * 1024, 'x');
    flood.replace(lumivor::link::SerialPort::receiveBufferBytes - 4, 4, "END!");
    f.port.queueInput(flood);
    f.clock.advance(250);
    QCOMPARE(f.text("Text7").size(), ResponseMonitor::shownCharacters);
    QVERIFY(f.text("Text7").endsWith(QStringLiteral("END!")));
    QCOMPARE(buffer(f).size(), lumivor::link::SerialPort::receiveBufferBytes);
    f.clock.advance(250);
    QVERIFY(f.text("Text7").endsWith(QStringLiteral("END!"))); // nothing more came
}

// A port that fails while connected drops the link and says so once,
// instead of failing again on every later key press.
void ResponseMonitorTest::portFailures_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("write fails") << QStringLiteral("write");
    QTest::newRow("read fails") << QStringLiteral("read");
    QTest::newRow("the port hangs up on its own") << QStringLiteral("hang-up");
}

void ResponseMonitorTest::portFailures()
{
    QFETCH(QString, how);
    WindowFixture f;
    f.connectWithPoll();
    const SerialPortError failure(PortErrorCode::WriteFailed, QStringLiteral("Input/output error"));
    if (how == QStringLiteral("write")) {
        f.port.failWrites(failure);
        f.find<QScrollBar>("HScroll5")->setValue(50); // sends 10 32
    } else if (how == QStringLiteral("read")) {
        f.port.failReads(failure);
    } else {
        f.port.hangUp(failure);
    }
    f.clock.advance(250);
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.first().title, QStringLiteral("Critical Error"));
    QCOMPARE(f.dialogs.messages.first().text,
             QStringLiteral("The connection to the selected COM Port was lost.\nError code: 8021\n"
                            "Description: Input/output error"));
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    QCOMPARE(f.status(1), QStringLiteral("Controller Disconnected "));
    QCOMPARE(f.text("txtController_ID"), QStringLiteral("N/A"));
    QVERIFY(!f.port.portOpen());
    QVERIFY(!f.timer("Timer2")->isActive());
    f.find<QScrollBar>("HScroll5")->setValue(60); // inert now
    f.clock.advance(1000);
    QCOMPARE(f.dialogs.messages.size(), 1);
}

QTEST_MAIN(ResponseMonitorTest)
#include "tst_response_monitor.moc"
