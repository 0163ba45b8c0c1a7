// The console on its real port backend against kestrin-sim, headless, in a private data
// directory: the touch screen panel switches the controller's reporting mode, the
// simulator is touched through its standard input, and the report shows in Text7.
#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/qtserialport.h"
#include "simprocess.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace lumivor;

namespace {
constexpr int waitMs = 10000; // every wait ends here at the latest
} // namespace

class TouchEndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aTouchOnTheSimulatorShowsItsReport();
};

void TouchEndToEndTest::aTouchOnTheSimulatorShowsItsReport()
{
    testing::SimProcess simulator({QStringLiteral("--touch-input")});
    QVERIFY(simulator.isRunning());
    auto ports = link::ComPortTable::probe(simulator.portDirectory(), {});
    link::QtSerialPort port([&](int n) { return ports.deviceToOpen(n); });
    testing::FakeDialogs dialogs;
    link::SystemClock clock;
    app::MainWindow window(port, dialogs, ports, clock);
    const auto find = [&window](const char* name) {
        return window.findChild<QWidget*>(QString::fromLatin1(name));
    };
    const auto click = [&find](const char* name) {
        qobject_cast<QAbstractButton*>(find(name))->click();
    };
    auto* response = qobject_cast<QLineEdit*>(find("Text7"));
    auto* controllerId = qobject_cast<QLineEdit*>(find("txtController_ID"));

    QCOMPARE(qobject_cast<QComboBox*>(find("cbo_mostraporta"))->currentText(), QStringLiteral("1"));
    click("cmd_conecta");
    QTRY_COMPARE_WITH_TIMEOUT(qobject_cast<QPushButton*>(find("cmd_conecta"))->text(),
                              QStringLiteral("Disconnect"), waitMs);
    QTRY_VERIFY_WITH_TIMEOUT(
        window.findChild<link::ClockTimer*>(QStringLiteral("Timer2"))->isActive(), waitMs);

    // The controller takes commands in order: once it has answered Get ID it has
    // switched its touch screen, so the touch comes after.
    const auto switchThenTouch = [&](const char* button, int x, int y) {
        click(button);
        controllerId->clear();
        click("cmdGetID");
        QTRY_COMPARE_WITH_TIMEOUT(controllerId->text(), QStringLiteral("KT24064"), waitMs);
        simulator.touch(x, y);
    };
    switchThenTouch("Cmd6x3", 45, 30); // keypad: the second key of the middle row
    QTRY_COMPARE_WITH_TIMEOUT(response->text(), QStringLiteral("K:08!"), waitMs);
    switchThenTouch("CmdAnalog", 120, 32);
    QTRY_COMPARE_WITH_TIMEOUT(response->text(), QStringLiteral("T:120,32!"), waitMs);

    click("cmd_conecta");
    QVERIFY(!port.portOpen());
    QVERIFY(dialogs.messages.isEmpty());
}

QTEST_MAIN(TouchEndToEndTest)
#include "tst_touch_end_to_end.moc"
