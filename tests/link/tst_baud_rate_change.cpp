// "Change Baud Rate": the confirmation, 0F nn at the old rate drained before
// the port closes, the pause in which nothing is sent, and the reconnection
// at the new rate.
#include "link/baudratechange.h"
#include "link/linkservice.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using lumivor::link::BaudRateChange;
using lumivor::link::Dialogs;
using lumivor::testing::WindowFixture;

namespace {
const QByteArray identificationQuery("ID");

struct Write
{
    QByteArray bytes;
    QString settings; // the port's line settings when it was written
    int drainsBefore;
};
} // namespace

class BaudRateChangeTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void confirmedChangeReconnectsAtTheNewRate();
    void nothingHappensWithoutAConfirmedRate_data();
    void nothingHappensWithoutAConfirmedRate();
    void thePromptIsEmptyAfterADetectionWithoutSettings();
    void nothingIsSentWhileTheControllerSwitches();
    void aControllerThatDidNotSwitchIsNotFound();
    void withThePortClosedNothingIsShown();
};

void BaudRateChangeTest::confirmedChangeReconnectsAtTheNewRate()
{
    WindowFixture f;
    f.connectWithPoll("64,128!KESTRIN 240x64");
    QList<Write> writes;
    const auto controller = f.port.onOutput;
    f.port.onOutput = [&](const QByteArray& bytes) {
        writes.append({bytes, f.port.settings(), f.port.drainCount});
        controller(bytes);
    };
    f.find<QComboBox>("cmbBoudRate")->setCurrentIndex(7);
    f.click("Command4");

    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.first().text,
             QStringLiteral("Remove jumper #1 from J5 and click OK."));
    QCOMPARE(f.dialogs.messages.first().title, QStringLiteral("Attention"));
    QCOMPARE(f.dialogs.messages.first().icon, Dialogs::Icon::Exclamation);
    QCOMPARE(f.dialogs.messages.first().buttons, Dialogs::Buttons::OkCancel);
    QCOMPARE(writes.size(), 1);
    QCOMPARE(writes.first().bytes, QByteArray("\x0f\x07"));
    QCOMPARE(writes.first().settings, QStringLiteral("9600,N,8,1"));

    // The port closes once the command's line time (2.1 ms) and the margin
    // have passed, drained first.
    f.clock.advance(22);
    QVERIFY(f.port.portOpen());
    QCOMPARE(f.port.drainCount, 0);
    f.clock.advance(1);
    QCOMPARE(f.port.drainCount, 1);
    QVERIFY(!f.port.portOpen());
    QVERIFY(!f.timer("Timer2")->isActive());
    QCOMPARE(f.find<QComboBox>("cboBR")->currentText(), QStringLiteral("57600"));
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    QCOMPARE(f.status(1), QStringLiteral("Controller Disconnected "));

    f.clock.advance(BaudRateChange::switchPauseMs - 2);
    QCOMPARE(writes.size(), 1);
    QVERIFY(!f.port.portOpen());
    f.clock.advance(2);
    QVERIFY(f.port.portOpen());
    QCOMPARE(f.port.settings(), QStringLiteral("57600,N,8,1"));
    QCOMPARE(writes.last().bytes, identificationQuery);
    f.clock.advance(50);
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Disconnect"));
    QCOMPARE(f.status(1), QStringLiteral("Connected: COM1 57600,N,8,1"));
    QCOMPARE(f.dialogs.messages.size(), 1);
}

void BaudRateChangeTest::nothingHappensWithoutAConfirmedRate_data()
{
    QTest::addColumn<QString>("rateText");
    QTest::addColumn<Dialogs::Answer>("answer");
    QTest::newRow("cancelled") << QStringLiteral("57600") << Dialogs::Answer::Cancel;
    QTest::newRow("a typed text that is no rate") << QStringLiteral("12345") << Dialogs::Answer::Ok;
    QTest::newRow("an empty list text") << QString() << Dialogs::Answer::Ok;
}

void BaudRateChangeTest::nothingHappensWithoutAConfirmedRate()
{
    QFETCH(QString, rateText);
    QFETCH(Dialogs::Answer, answer);
    WindowFixture f;
    f.connectWithPoll();
    const auto writes = f.port.writes;
    f.find<QComboBox>("cmbBoudRate")->setEditText(rateText);
    f.dialogs.answers = {answer};
    f.click("Command4");
    f.clock.advance(2000);
    QCOMPARE(f.dialogs.messages.size(), 1); // the question, nothing more
    QCOMPARE(f.port.writes, writes);
    QVERIFY(f.port.portOpen());
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Disconnect"));
    QVERIFY(!f.window->link().isBusy());
}

void BaudRateChangeTest::thePromptIsEmptyAfterADetectionWithoutSettings()
{
    WindowFixture f;
    f.answerIdentification("KESTRIN 64");
    f.connectAndDetect();
    f.dialogs.answers = {Dialogs::Answer::Cancel};
    f.click("Command4");
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.first().text, QString());
}

// While the controller switches, a Connect click, Get ID and any other
// panel's button send nothing: the change holds the link.
void BaudRateChangeTest::nothingIsSentWhileTheControllerSwitches()
{
    WindowFixture f;
    f.connectWithPoll();
    f.find<QComboBox>("cmbBoudRate")->setCurrentIndex(8);
    f.click("Command4");
    f.clock.advance(100);
    QVERIFY(!f.port.portOpen());
    const auto writes = f.port.writes;
    const int opens = f.port.openCount;
    f.click("cmd_conecta");
    f.click("cmdGetID");
    f.click("Command28");
    QCOMPARE(f.port.writes, writes);
    QCOMPARE(f.port.openCount, opens);
    QVERIFY(f.dialogs.messages.size() == 1);
    f.clock.advance(BaudRateChange::switchPauseMs);
    QCOMPARE(f.port.openCount, opens + 1);
    QCOMPARE(f.port.settings(), QStringLiteral("115200,N,8,1"));
}

void BaudRateChangeTest::aControllerThatDidNotSwitchIsNotFound()
{
    WindowFixture f;
    f.connectWithPoll();
    f.find<QComboBox>("cmbBoudRate")->setCurrentIndex(0);
    f.click("Command4");
    f.port.onOutput = {}; // no answer at the new rate
    f.clock.advance(3000);
    QCOMPARE(f.dialogs.messages.size(), 2);
    QCOMPARE(f.dialogs.messages.last().text, QStringLiteral("Controller not found"));
    QCOMPARE(f.find<QComboBox>("cboBR")->currentText(), QStringLiteral("2400"));
    QVERIFY(!f.port.portOpen());
    QVERIFY(!f.window->link().isBusy());
}

void BaudRateChangeTest::withThePortClosedNothingIsShown()
{
    WindowFixture f;
    f.click("Command4");
    f.clock.advance(1000);
    QVERIFY(f.dialogs.messages.isEmpty());
    QVERIFY(f.port.writes.isEmpty());
}

QTEST_MAIN(BaudRateChangeTest)
#include "tst_baud_rate_change.moc"
