// The response poll, the settle step, the pause wait and what happens when
// the port fails while in use.
#include "link/pausewait.h"
#include "windowfixture.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

using lumivor::link::PortErrorCode;
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
    void pauseWaitLetsAClickRunBeforeItEnds();
    void portFailures_data();
    void portFailures();
};

namespace {
QString buffer(const WindowFixture& f)
{
    return f.find<QPlainTextEdit>("txtBuffer")->toPlainText();
}

void connectWithSettings(WindowFixture& f)
{
    f.answerIdentification("240x64,0!");
    f.click("cmd_conecta");
    QTRY_VERIFY(f.timer("Timer2")->isActive());
}
} // namespace

void ResponseMonitorTest::pollReplacesTheResponseWithEachChunk()
{
    WindowFixture f;
    connectWithSettings(f);
    f.port.queueInput("T 10,20!");
    QTRY_COMPARE(f.text("Text7"), QStringLiteral("T 10,20!"));
    QCOMPARE(buffer(f), QStringLiteral("T 10,20!"));

    f.port.queueInput("K 3!");
    f.port.queueInput("K 4!");
    QTRY_COMPARE(f.text("Text7"), QStringLiteral("K 3!K 4!"));

    QTest::qWait(600); // nothing arrives: the last text stays
    QCOMPARE(f.text("Text7"), QStringLiteral("K 3!K 4!"));

    f.port.queueInput(QByteArray("\xe9\x00z", 3)); // one character per byte
    QTRY_COMPARE(f.text("Text7").size(), 3);
    QCOMPARE(f.text("Text7").at(0), QChar(0xe9));
}

void ResponseMonitorTest::settleStepDiscardsWhatFollowsTheDetectionReply()
{
    WindowFixture f;
    f.answerIdentification("240x64,0!");
    f.click("cmd_conecta");
    f.port.queueInput("late part of the reply");
    QTRY_VERIFY(f.timer("Timer2")->isActive());
    QTest::qWait(300);
    QCOMPARE(f.text("Text7"), QString());
    QCOMPARE(buffer(f), QString());
}

void ResponseMonitorTest::withoutSettingsInTheReplyNothingIsPolled()
{
    WindowFixture f;
    f.answerIdentification("240x64");
    f.click("cmd_conecta");
    f.port.queueInput("T 1,2!");
    QTest::qWait(900);
    QCOMPARE(f.text("Text7"), QStringLiteral("240x64"));
    QVERIFY(!f.timer("Timer2")->isActive());
    QVERIFY(!f.timer("Timer3")->isActive());
}

void ResponseMonitorTest::aTimedOutAttemptKeepsThePartialAnswer()
{
    WindowFixture f;
    f.answerIdentification("KESTR");
    f.click("cmd_conecta");
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.text("Text7"), QStringLiteral("KESTR"));
}

void ResponseMonitorTest::pauseWaitLetsAClickRunBeforeItEnds()
{
    QTimer tick;
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, &tick, &QTimer::stop);
    lumivor::link::PauseWait pause(tick);
    bool clicked = false;
    QTimer::singleShot(10, [&] { clicked = true; });
    QElapsedTimer clock;
    clock.start();
    pause.wait();
    QVERIFY(clicked);
    QVERIFY2(clock.elapsed() >= 45, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!tick.isActive());
}

// A port that fails while connected drops the link and says so, instead of
// failing again on every later key press.
void ResponseMonitorTest::portFailures_data()
{
    QTest::addColumn<bool>("failWrites");
    QTest::newRow("write fails") << true;
    QTest::newRow("read fails") << false;
}

void ResponseMonitorTest::portFailures()
{
    QFETCH(bool, failWrites);
    WindowFixture f;
    connectWithSettings(f);
    const SerialPortError failure(PortErrorCode::WriteFailed, QStringLiteral("Input/output error"));
    if (failWrites) {
        f.port.failWrites(failure);
        f.find<QScrollBar>("HScroll5")->setValue(50); // sends 10 32
    } else {
        f.port.failReads(failure);
    }
    QTRY_COMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.first().title, QStringLiteral("Critical Error"));
    QCOMPARE(f.dialogs.messages.first().text,
             QStringLiteral("The connection to the selected COM Port was lost.\nError code: 8021\n"
                            "Description: Input/output error"));
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    QCOMPARE(f.status(1), QStringLiteral("Controller Disconnected "));
    QVERIFY(!f.port.portOpen());
    QVERIFY(!f.timer("Timer2")->isActive());
    QTest::qWait(300);
    QCOMPARE(f.dialogs.messages.size(), 1);
}

QTEST_MAIN(ResponseMonitorTest)
#include "tst_response_monitor.moc"
