// The console on its real port backend against kestrin-sim, headless, in a private data
// directory: the touch screen panel switches the controller's reporting mode, the
// simulator is touched through its standard input, and the report shows in Text7.
#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/qtserialport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace lumivor;

namespace {

constexpr int waitMs = 10000; // every wait ends here at the latest

// kestrin-sim on a pseudo-terminal, taking touches on its standard input.
class Simulator
{
public:
    explicit Simulator(const QString& dataHome)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        process_.setProcessEnvironment(environment);
        process_.start(QStringLiteral(KESTRIN_SIM_EXECUTABLE),
                       {QStringLiteral("--headless"), QStringLiteral("--touch-input")});
    }
    ~Simulator()
    {
        process_.terminate();
        if (!process_.waitForFinished(waitMs))
            process_.kill();
    }

    // The line the simulator prints once its port is registered.
    QString startLine()
    {
        for (QDeadlineTimer deadline(waitMs); !process_.canReadLine() && !deadline.hasExpired();)
            process_.waitForReadyRead(100);
        return QString::fromUtf8(process_.readLine()).trimmed();
    }
    void touch(int x, int y)
    {
        process_.write(QStringLiteral("touch %1 %2\n").arg(x).arg(y).toLatin1());
    }

private:
    QProcess process_;
};

} // namespace

class TouchEndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aTouchOnTheSimulatorShowsItsReport();
};

void TouchEndToEndTest::aTouchOnTheSimulatorShowsItsReport()
{
    QTemporaryDir dataHome;
    Simulator simulator(dataHome.path());
    const QString line = simulator.startLine();
    QVERIFY2(QRegularExpression(QStringLiteral("^kestrin-sim: COM1 on /dev/pts/\\d+$"))
                 .match(line)
                 .hasMatch(),
             qPrintable(line));
    const auto ports =
        link::ComPortTable::probe(dataHome.path() + QStringLiteral("/lumivor/ports"), {});
    link::QtSerialPort port([&](int n) { return ports.devicePath(n); });
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
