// The console on its real port backend, talking over a pseudo-terminal to a
// scripted controller that answers the identification query.
#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/connection.h"
#include "link/qtserialport.h"
#include "pty.h"
#include "simprocess.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace lumivor;

class EndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void connectsTakesOverTheContrastAndShowsTouchReports();
    void changesTheVirtualControllersRateAndStaysConnected();
    void aControllerThatVanishes_data();
    void aControllerThatVanishes();
};

void EndToEndTest::connectsTakesOverTheContrastAndShowsTouchReports()
{
    testing::PseudoTerminal controller;
    QTemporaryDir portDir;
    QVERIFY(QFile::link(controller.slavePath(), portDir.path() + QStringLiteral("/com4")));
    auto ports = link::ComPortTable::probe(portDir.path(), {});
    link::QtSerialPort port([&](int n) { return ports.deviceToOpen(n); });
    testing::FakeDialogs dialogs;
    link::SystemClock clock;
    app::MainWindow window(port, dialogs, ports, clock);

    QByteArray heard;
    QTimer controllerLoop;
    QObject::connect(&controllerLoop, &QTimer::timeout, [&] {
        const QByteArray bytes = controller.readAvailable();
        heard += bytes;
        if (bytes.contains("ID"))
            controller.write("KESTRIN 240x64,40!\r\n");
    });
    controllerLoop.start(5);

    auto* connect = window.findChild<QPushButton*>(QStringLiteral("cmd_conecta"));
    QCOMPARE(window.findChild<QComboBox*>(QStringLiteral("cbo_mostraporta"))->currentText(),
             QStringLiteral("4"));
    QTest::mouseClick(connect, Qt::LeftButton);
    QTRY_COMPARE(connect->text(), QStringLiteral("Disconnect"));
    QCOMPARE(window.findChild<QScrollBar*>(QStringLiteral("HScroll5"))->value(), 40);
    QTRY_COMPARE(heard, QByteArray("ID\x10\x28"));

    QTRY_VERIFY(window.findChild<link::ClockTimer*>(QStringLiteral("Timer2"))->isActive());
    controller.write(QByteArray("T 12,34!\x00\xff", 10));
    auto* response = window.findChild<QLineEdit*>(QStringLiteral("Text7"));
    QTRY_COMPARE(response->text().size(), 10);
    QCOMPARE(response->text(), QString::fromLatin1(QByteArray("T 12,34!\x00\xff", 10)));

    QTest::mouseClick(connect, Qt::LeftButton);
    QVERIFY(!port.portOpen());
    QVERIFY(dialogs.messages.isEmpty());
}

// Against kestrin-sim: 0F 08 at 9600, the port reopened at 115200, the
// controller found again, and the ID query answered at the new rate.
void EndToEndTest::changesTheVirtualControllersRateAndStaysConnected()
{
    testing::SimProcess sim;
    QVERIFY(sim.isRunning());
    auto ports = link::ComPortTable::probe(sim.portDirectory(), {});
    link::QtSerialPort port([&](int n) { return ports.deviceToOpen(n); });
    testing::FakeDialogs dialogs;
    link::SystemClock clock;
    app::MainWindow window(port, dialogs, ports, clock);
    auto* connect = window.findChild<QPushButton*>(QStringLiteral("cmd_conecta"));
    auto* status = window.findChild<QLabel*>(QStringLiteral("StatusPanel1"));
    const QString com = QStringLiteral("Connected: COM%1 ").arg(sim.comNumber());

    QTest::mouseClick(connect, Qt::LeftButton);
    QTRY_COMPARE(status->text(), com + QStringLiteral("9600,N,8,1"));
    window.findChild<QComboBox*>(QStringLiteral("cmbBoudRate"))->setCurrentIndex(8);
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command4")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), com + QStringLiteral("115200,N,8,1"), 5000);
    QCOMPARE(connect->text(), QStringLiteral("Disconnect"));

    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdGetID")), Qt::LeftButton);
    QTRY_COMPARE(window.findChild<QLineEdit*>(QStringLiteral("txtController_ID"))->text(),
                 QStringLiteral("KT24064"));
    QCOMPARE(dialogs.messages.size(), 1); // the confirmation only
}

void EndToEndTest::aControllerThatVanishes_data()
{
    QTest::addColumn<bool>("connected"); // or still detecting
    QTest::newRow("while connected without a poll") << true;
    QTest::newRow("during the detection") << false;
}

// The controller's end goes away while nothing is being sent or polled: the
// console notices by itself, drops the link and says so once, and says
// nothing else later ("Can't open", "Controller not found").
void EndToEndTest::aControllerThatVanishes()
{
    QFETCH(bool, connected);
    testing::PseudoTerminal controller;
    QTemporaryDir portDir;
    QVERIFY(QFile::link(controller.slavePath(), portDir.path() + QStringLiteral("/com2")));
    auto ports = link::ComPortTable::probe(portDir.path(), {});
    link::QtSerialPort port([&](int n) { return ports.deviceToOpen(n); });
    testing::FakeDialogs dialogs;
    link::SystemClock clock;
    app::MainWindow window(port, dialogs, ports, clock);
    auto* connect = window.findChild<QPushButton*>(QStringLiteral("cmd_conecta"));
    QTest::mouseClick(connect, Qt::LeftButton);
    if (connected) {
        QByteArray heard;
        QTRY_VERIFY((heard += controller.readAvailable()).contains("ID"));
        controller.write("KESTRIN 240x64"); // no "!": no response poll
        QTRY_COMPARE(connect->text(), QStringLiteral("Disconnect"));
        QVERIFY(!window.findChild<link::ClockTimer*>(QStringLiteral("Timer2"))->isActive());
    }
    controller.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(dialogs.messages.size(), 1, 5000);
    QVERIFY2(dialogs.messages.first().text.startsWith(
                 QStringLiteral("The connection to the selected COM Port was lost.")),
             qPrintable(dialogs.messages.first().text));
    QCOMPARE(connect->text(), QStringLiteral("Connect"));
    QVERIFY(!port.portOpen());
    QTest::qWait(link::Connection::detectionTimeoutMs + 300);
    QCOMPARE(dialogs.messages.size(), 1);
}

QTEST_MAIN(EndToEndTest)
#include "tst_end_to_end.moc"
