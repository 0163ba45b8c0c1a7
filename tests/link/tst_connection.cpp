// Connecting, detecting the controller, the time-out and the error path,
// driven through the real window with a port double and a manual clock.
#include "link/connection.h"
#include "link/linkservice.h"
#include "panels/link/linkpanel.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using lumivor::link::Dialogs;
using lumivor::link::PortErrorCode;
using lumivor::link::SerialPortError;
using lumivor::testing::WindowFixture;

namespace {
const QByteArray identificationQuery("\x49\x44", 2);
}

class ConnectionTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void startsDisconnectedWithTheProbedPorts();
    void detectionReplies_data();
    void detectionReplies();
    void contrastEqualToTheCurrentOneIsNotSentBack();
    void noAnswerTimesOutAfterDetectionTime();
    void portThatFailsToOpenTakesTheErrorPath();
    void secondPressDuringDetectionTakesTheErrorPath();
    void noPortsStartsEmptyAndConnectSaysNoPortIsSelected();
    void disconnectSendsNothingAndResetsTheId();
    void disconnectDuringSettleStepStopsIt();
    void chosenPortAndRateReachThePort();
    void closingTheWindowDuringDetectionEndsTheWait();
    void closingTheWindowWhileConnectedSendsNothing();
    void aClickInsideTheTimeOutMessageStartsAFreshAttempt();
    void linkLostDuringDetection_data();
    void linkLostDuringDetection();
};

void ConnectionTest::startsDisconnectedWithTheProbedPorts()
{
    WindowFixture f({1, 3, 17});
    auto* ports = f.find<QComboBox>("cbo_mostraporta");
    QCOMPARE(ports->count(), 2);
    QCOMPARE(ports->itemText(0), QStringLiteral("1"));
    QCOMPARE(ports->itemText(1), QStringLiteral("3"));
    QCOMPARE(ports->currentIndex(), 0);
    QCOMPARE(ports->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/null"));
    QCOMPARE(f.find<QComboBox>("cboBR")->currentText(), QStringLiteral("9600"));
    QCOMPARE(f.find<QComboBox>("cmbBoudRate")->currentText(), QStringLiteral("9600"));
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    QCOMPARE(f.status(1), QStringLiteral("Controller Disconnected "));
    QCOMPARE(f.text("txtController_ID"), QStringLiteral("N/A"));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Lumivor 240x64"));
    QCOMPARE(f.window->objectName(), QStringLiteral("frmSettings"));
    QCOMPARE(f.window->link().state(), lumivor::link::LinkState::Disconnected);
    QCOMPARE(f.port.openCount, 0);
    QVERIFY(f.port.writes.isEmpty());
}

void ConnectionTest::detectionReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("contrast"); // HScroll5 afterwards
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<QString>("response"); // Text7 right after connecting
    QTest::addColumn<bool>("polls");       // Timer2 runs 500 ms later

    const QList<QByteArray> idOnly{identificationQuery};
    QTest::newRow("settings with contrast 40")
        << QByteArray("KESTRIN 240x64,40!v1.0") << 40
        << QList<QByteArray>{identificationQuery, QByteArray("\x10\x28", 2)} << QString() << true;
    QTest::newRow("answer with 64 but no settings")
        << QByteArray("KESTRIN 240x64") << 0 << idOnly << QStringLiteral("KESTRIN 240x64") << false;
    QTest::newRow("first chunk holds only a 6")
        << QByteArray("6") << 0 << idOnly << QStringLiteral("6") << false;
    QTest::newRow("no comma: the whole reply is the contrast")
        << QByteArray("77!") << 77
        << QList<QByteArray>{identificationQuery, QByteArray("\x10\x4d", 2)} << QString() << true;
    QTest::newRow("contrast that is not a number is skipped")
        << QByteArray("240x64,abc!") << 0 << idOnly << QString() << true;
    QTest::newRow("contrast above 255 is skipped")
        << QByteArray("240x64,300!") << 0 << idOnly << QString() << true;
    QTest::newRow("contrast 255 with a comma in the rest")
        << QByteArray("240x64,255!a,b") << 255
        << QList<QByteArray>{identificationQuery, QByteArray("\x10\xff", 2)} << QString() << true;
}

void ConnectionTest::detectionReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, contrast);
    QFETCH(QList<QByteArray>, writes);
    QFETCH(QString, response);
    QFETCH(bool, polls);

    WindowFixture f;
    f.answerIdentification(reply);
    f.click("cmd_conecta");
    QCOMPARE(f.window->link().state(), lumivor::link::LinkState::Detecting);
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    f.clock.advance(50); // the first read finds the answer

    QCOMPARE(f.window->link().state(), lumivor::link::LinkState::Connected);
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Disconnect"));
    QCOMPARE(f.status(1), QStringLiteral("Connected: COM1 9600,N,8,1"));
    QVERIFY(!f.find<QComboBox>("cbo_mostraporta")->isEnabled());
    QVERIFY(!f.find<QComboBox>("cboBR")->isEnabled());
    QVERIFY(f.port.portOpen());
    QCOMPARE(f.port.writes, writes);
    QCOMPARE(f.find<QScrollBar>("HScroll5")->value(), contrast);
    QCOMPARE(f.text("Text5"), QString::number(contrast));
    QCOMPARE(f.text("Text7"), response);
    QVERIFY(!f.timer("Timer1")->isActive());
    QCOMPARE(f.window->linkPanel().connection().baudChangePrompt(),
             polls ? QStringLiteral("Remove jumper #1 from J5 and click OK.") : QString());
    QCOMPARE(f.timer("Timer3")->isActive(), polls);
    f.clock.advance(499);
    QVERIFY(!f.timer("Timer2")->isActive());
    f.clock.advance(1);
    QCOMPARE(f.timer("Timer2")->isActive(), polls);
}

void ConnectionTest::contrastEqualToTheCurrentOneIsNotSentBack()
{
    WindowFixture f;
    f.answerIdentification("240x64,0!");
    f.connectAndDetect();
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Disconnect"));
    QCOMPARE(f.port.writes, QList<QByteArray>{identificationQuery});
    QCOMPARE(f.text("Text5"), QStringLiteral("0"));
}

// The click returns at once; exactly 1500 ms after the query the time-out
// closes the port and says so, once.
void ConnectionTest::noAnswerTimesOutAfterDetectionTime()
{
    WindowFixture f;
    QString statusWhileShown;
    f.dialogs.whileShown = [&](const auto&) { statusWhileShown = f.status(1); };
    f.click("cmd_conecta");
    f.clock.advance(1499);
    QVERIFY(f.dialogs.messages.isEmpty());
    QVERIFY(f.port.portOpen());
    f.clock.advance(1);

    QCOMPARE(f.dialogs.messages.size(), 1);
    const auto& shown = f.dialogs.messages.first();
    QCOMPARE(shown.text, QStringLiteral("Controller not found"));
    QCOMPARE(shown.title, QStringLiteral("Demo mode"));
    QCOMPARE(shown.icon, Dialogs::Icon::Information);
    QCOMPARE(shown.buttons, Dialogs::Buttons::Ok);
    QCOMPARE(statusWhileShown, QStringLiteral("Controller Disconnected"));
    QCOMPARE(f.status(1), QStringLiteral("Controller Disconnected"));
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    QVERIFY(f.find<QComboBox>("cbo_mostraporta")->isEnabled());
    QVERIFY(f.find<QComboBox>("cboBR")->isEnabled());
    QVERIFY(!f.port.portOpen());
    QCOMPARE(f.port.writes, QList<QByteArray>{identificationQuery});
    for (const char* name : {"Timer1", "Timer2", "Timer3", "Timer4"})
        QVERIFY2(!f.timer(name)->isActive(), name);
    f.clock.advance(5000);
    QCOMPARE(f.dialogs.messages.size(), 1);
}

void ConnectionTest::portThatFailsToOpenTakesTheErrorPath()
{
    WindowFixture f;
    f.port.failNextOpen(SerialPortError(PortErrorCode::HardwareUnavailable,
                                        QStringLiteral("Device or resource busy")));
    f.click("cmd_conecta");

    QCOMPARE(f.dialogs.messages.size(), 1);
    const auto& shown = f.dialogs.messages.first();
    QCOMPARE(shown.text, QStringLiteral("Can't open the selected COM Port.\nError code: 8010\n"
                                        "Description: Device or resource busy"));
    QCOMPARE(shown.title, QStringLiteral("Critical Error"));
    QCOMPARE(shown.icon, Dialogs::Icon::Critical);
    QCOMPARE(shown.buttons, Dialogs::Buttons::Ok);
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    QVERIFY(f.find<QComboBox>("cbo_mostraporta")->isEnabled());
    QVERIFY(f.find<QComboBox>("cboBR")->isEnabled());
    QVERIFY(!f.port.portOpen());
    QVERIFY(f.port.writes.isEmpty());
    QCOMPARE(f.status(1), QStringLiteral("Controller Disconnected "));
    f.clock.advance(2000);
    QCOMPARE(f.dialogs.messages.size(), 1);
}

// The second press finds the port open: the error path runs and enables the
// lists, while the first attempt goes on waiting and still connects.
void ConnectionTest::secondPressDuringDetectionTakesTheErrorPath()
{
    WindowFixture f;
    f.click("cmd_conecta");
    f.clock.advance(100);
    f.click("cmd_conecta");
    QVERIFY(f.find<QComboBox>("cbo_mostraporta")->isEnabled());
    f.port.queueInput("240x64,9!");
    f.clock.advance(50);

    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.first().text,
             QStringLiteral("Can't open the selected COM Port.\nError code: 8000\n"
                            "Description: Operation not valid while the port is opened"));
    QCOMPARE(f.port.openCount, 1);
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Disconnect"));
    QCOMPARE(f.find<QScrollBar>("HScroll5")->value(), 9);
}

void ConnectionTest::noPortsStartsEmptyAndConnectSaysNoPortIsSelected()
{
    WindowFixture f(QList<int>{});
    auto* ports = f.find<QComboBox>("cbo_mostraporta");
    QCOMPARE(ports->count(), 0);
    QCOMPARE(ports->currentIndex(), -1);
    f.click("cmd_conecta");
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.first().title, QStringLiteral("Critical Error"));
    QVERIFY(f.dialogs.messages.first().text.startsWith(
        QStringLiteral("Can't open the selected COM Port.\nError code: 8002\n")));
    QVERIFY(f.dialogs.messages.first().text.endsWith(QStringLiteral("No COM port is selected.")));
    QCOMPARE(f.port.openCount, 0);
    QVERIFY(ports->isEnabled());
}

void ConnectionTest::disconnectSendsNothingAndResetsTheId()
{
    WindowFixture f;
    f.connectWithPoll();
    f.find<QLineEdit>("txtController_ID")->setText(QStringLiteral("KESTRIN-7"));
    const auto writesBefore = f.port.writes;

    f.click("cmd_conecta");
    QCOMPARE(f.port.writes, writesBefore);
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    QCOMPARE(f.status(1), QStringLiteral("Controller Disconnected "));
    QCOMPARE(f.text("txtController_ID"), QStringLiteral("N/A"));
    QVERIFY(f.find<QComboBox>("cbo_mostraporta")->isEnabled());
    QVERIFY(!f.port.portOpen());
    QVERIFY(!f.timer("Timer2")->isActive());
    QCOMPARE(f.window->link().state(), lumivor::link::LinkState::Disconnected);
    QVERIFY(f.dialogs.messages.isEmpty());
}

// The port double throws on a read while closed: a settle step left running
// after a disconnect would surface here.
void ConnectionTest::disconnectDuringSettleStepStopsIt()
{
    WindowFixture f;
    f.answerIdentification("240x64,0!");
    f.connectAndDetect();
    QVERIFY(f.timer("Timer3")->isActive());
    f.click("cmd_conecta");
    QVERIFY(!f.timer("Timer3")->isActive());
    f.clock.advance(650);
    QVERIFY(!f.timer("Timer2")->isActive());
    QVERIFY(f.dialogs.messages.isEmpty());
}

void ConnectionTest::chosenPortAndRateReachThePort()
{
    WindowFixture f;
    f.find<QComboBox>("cbo_mostraporta")->setCurrentIndex(1);
    f.find<QComboBox>("cboBR")->setCurrentIndex(7);
    f.answerIdentification("64");
    f.connectAndDetect();
    QCOMPARE(f.port.commPort(), 3);
    QCOMPARE(f.port.settings(), QStringLiteral("57600,N,8,1"));
    QCOMPARE(f.status(1), QStringLiteral("Connected: COM3 57600,N,8,1"));
}

void ConnectionTest::closingTheWindowDuringDetectionEndsTheWait()
{
    WindowFixture f;
    f.window->show();
    f.click("cmd_conecta");
    f.clock.advance(120);
    QVERIFY(f.window->close());
    QVERIFY(!f.port.portOpen());
    for (const char* name : {"Timer1", "Timer2", "Timer3", "Timer4"})
        QVERIFY2(!f.timer(name)->isActive(), name);
    f.clock.advance(2000);
    QVERIFY(f.dialogs.messages.isEmpty());
}

void ConnectionTest::closingTheWindowWhileConnectedSendsNothing()
{
    WindowFixture f;
    f.connectWithPoll();
    const auto writes = f.port.writes;
    f.window->show();
    QVERIFY(f.window->close());
    QCOMPARE(f.port.writes, writes);
    QVERIFY(!f.port.portOpen());
    for (const char* name : {"Timer1", "Timer2", "Timer3", "Timer4"})
        QVERIFY2(!f.timer(name)->isActive(), name);
}

// The time-out's message is modal; a Connect click while it is shown starts
// a new attempt, which owns the port from then on and connects.
void ConnectionTest::aClickInsideTheTimeOutMessageStartsAFreshAttempt()
{
    WindowFixture f;
    bool reconnected = false;
    f.dialogs.whileShown = [&](const auto&) {
        if (std::exchange(reconnected, true))
            return;
        f.answerIdentification("240x64,12!");
        f.click("cmd_conecta");
    };
    f.click("cmd_conecta");
    f.clock.advance(1500);
    QVERIFY(reconnected);
    f.clock.advance(50);
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Disconnect"));
    QCOMPARE(f.dialogs.messages.size(), 1);
    f.clock.advance(500);
    QVERIFY(f.timer("Timer2")->isActive());
    f.port.queueInput("T 5,6!");
    f.clock.advance(250);
    QCOMPARE(f.text("Text7"), QStringLiteral("T 5,6!"));
    QCOMPARE(f.find<QScrollBar>("HScroll5")->value(), 12);
}

// The port failing while the detection waits (the controller's adapter
// pulled): one "connection lost" message, no "Controller not found" later,
// no timer left running.
void ConnectionTest::linkLostDuringDetection_data()
{
    QTest::addColumn<bool>("hangUp"); // the port tells on its own, or the read fails
    QTest::newRow("hang-up reported by the port") << true;
    QTest::newRow("read fails") << false;
}

void ConnectionTest::linkLostDuringDetection()
{
    QFETCH(bool, hangUp);
    WindowFixture f;
    f.click("cmd_conecta");
    f.clock.advance(100);
    const SerialPortError lost(PortErrorCode::ReadFailed, QStringLiteral("The device hung up"));
    if (hangUp)
        f.port.hangUp(lost);
    else
        f.port.failReads(lost);
    f.clock.advance(3000);

    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.first().text,
             QStringLiteral("The connection to the selected COM Port was lost.\nError code: 8020\n"
                            "Description: The device hung up"));
    QCOMPARE(f.dialogs.messages.first().title, QStringLiteral("Critical Error"));
    QVERIFY(!f.port.portOpen());
    QCOMPARE(f.text("cmd_conecta"), QStringLiteral("Connect"));
    QCOMPARE(f.status(1), QStringLiteral("Controller Disconnected "));
    QVERIFY(f.find<QComboBox>("cbo_mostraporta")->isEnabled());
    for (const char* name : {"Timer1", "Timer2", "Timer3", "Timer4"})
        QVERIFY2(!f.timer(name)->isActive(), name);
}

QTEST_MAIN(ConnectionTest)
#include "tst_connection.moc"
