// "Get ID": the ID query, the "!" rule, silence on every failure, and the
// response poll and settle step kept off the reply.
#include "link/linkservice.h"
#include "windowfixture.h"

#include <QLineEdit>
#include <QTest>

using lumivor::link::PortErrorCode;
using lumivor::link::SerialPortError;
using lumivor::testing::WindowFixture;

namespace {
const QByteArray idQuery("\x28\x00", 2);

// Makes the controller answer 28 00 with `reply`.
void answerId(WindowFixture& f, const QByteArray& reply)
{
    const auto identification = f.port.onOutput;
    f.port.onOutput = [&f, reply, identification](const QByteArray& bytes) {
        if (bytes == idQuery)
            f.port.queueInput(reply);
        else if (identification)
            identification(bytes);
    };
}
} // namespace

class ControllerIdTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replies_data();
    void replies();
    void withThePortClosedOnlyTheResponseBoxIsCleared();
    void theRunningPollDoesNotTakeTheReply();
    void aQueryRightAfterConnectingKeepsItsReply();
    void aSecondClickDuringThePauseSendsNothing();
    void aFailingPortEndsItSilently();
};

void ControllerIdTest::replies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("response"); // Text7 afterwards
    QTest::addColumn<QString>("id");       // txtController_ID afterwards
    QTest::newRow("identifier and !") << QByteArray("KT24064!") << "KT24064"
                                      << "KT24064";
    QTest::newRow("identifier, ! and more") << QByteArray("KT!x!y") << "KT"
                                            << "KT";
    QTest::newRow("only !") << QByteArray("!") << "N/A"
                            << "N/A";
    QTest::newRow("no !") << QByteArray("KT24064") << "KT24064"
                          << "KT24064";
    QTest::newRow("nothing within the pause") << QByteArray() << ""
                                              << "previous";
}

void ControllerIdTest::replies()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, response);
    QFETCH(QString, id);
    WindowFixture f;
    f.answerIdentification("KESTRIN 64"); // connected without a poll
    f.connectAndDetect();
    f.find<QLineEdit>("txtController_ID")->setText(QStringLiteral("previous"));
    answerId(f, reply);
    f.click("cmdGetID");
    QCOMPARE(f.text("Text7"), QString()); // cleared at once
    QCOMPARE(f.port.writes.last(), idQuery);
    f.clock.advance(49);
    QCOMPARE(f.text("txtController_ID"), QStringLiteral("previous"));
    f.clock.advance(1);
    QCOMPARE(f.text("Text7"), response);
    QCOMPARE(f.text("txtController_ID"), id);
    QVERIFY(!f.window->link().isBusy());
    QVERIFY(f.dialogs.messages.isEmpty());
}

void ControllerIdTest::withThePortClosedOnlyTheResponseBoxIsCleared()
{
    WindowFixture f;
    f.find<QLineEdit>("Text7")->setText(QStringLiteral("old"));
    f.click("cmdGetID");
    f.clock.advance(100);
    QCOMPARE(f.text("Text7"), QString());
    QCOMPARE(f.text("txtController_ID"), QStringLiteral("N/A"));
    QVERIFY(f.port.writes.isEmpty());
    QVERIFY(f.dialogs.messages.isEmpty());
}

// The poll ticks during the 50 ms pause; it must neither show the raw reply
// nor take it from the query.
void ControllerIdTest::theRunningPollDoesNotTakeTheReply()
{
    WindowFixture f;
    f.connectWithPoll();
    f.clock.advance(230); // the next poll tick falls inside the pause
    QStringList shown;
    connect(f.find<QLineEdit>("Text7"), &QLineEdit::textChanged,
            [&](const QString& text) { shown << text; });
    answerId(f, "KT24064!");
    f.click("cmdGetID");
    f.clock.advance(50);
    QCOMPARE(f.text("txtController_ID"), QStringLiteral("KT24064"));
    QVERIFY2(!shown.contains(QStringLiteral("KT24064!")), qPrintable(shown.join(u'|')));
    QVERIFY(f.timer("Timer2")->isActive()); // resumed
    f.port.queueInput("T:3,4!");
    f.clock.advance(250);
    QCOMPARE(f.text("Text7"), QStringLiteral("T:3,4!"));
}

// Asked within the 500 ms settle step, the query's reply is not discarded as
// the rest of the detection reply; the poll starts once the query is done.
void ControllerIdTest::aQueryRightAfterConnectingKeepsItsReply()
{
    WindowFixture f;
    f.answerIdentification("240x64,0!");
    f.connectAndDetect();
    answerId(f, "KT24064!");
    f.clock.advance(470);
    f.click("cmdGetID");
    f.clock.advance(50);
    QCOMPARE(f.text("txtController_ID"), QStringLiteral("KT24064"));
    QVERIFY(f.timer("Timer2")->isActive());
}

void ControllerIdTest::aSecondClickDuringThePauseSendsNothing()
{
    WindowFixture f;
    f.answerIdentification("64");
    f.connectAndDetect();
    answerId(f, "KT!");
    f.click("cmdGetID");
    f.clock.advance(20);
    f.click("cmdGetID");
    f.clock.advance(100);
    QCOMPARE(f.port.writes.count(idQuery), 1);
    QCOMPARE(f.text("txtController_ID"), QStringLiteral("KT"));
}

void ControllerIdTest::aFailingPortEndsItSilently()
{
    WindowFixture f;
    f.answerIdentification("64");
    f.connectAndDetect();
    f.port.failWrites(SerialPortError(PortErrorCode::WriteFailed, QStringLiteral("stalled")));
    f.click("cmdGetID");
    f.clock.advance(100);
    QCOMPARE(f.text("txtController_ID"), QStringLiteral("N/A"));
    QVERIFY(f.dialogs.messages.isEmpty());
    QVERIFY(!f.window->link().isBusy());
}

QTEST_MAIN(ControllerIdTest)
#include "tst_controller_id.moc"
