// The whole console on its real port backend over a pseudo-terminal, against
// kestrin-sim or a bare terminal: what only a real port shows (hang-ups, a
// rate change that must leave at the old rate, replies at the pace of real
// arrivals, the one full-size backup).
#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/qtserialport.h"
#include "model/flash.h"
#include "pty.h"
#include "simprocess.h"
#include "testsuite.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace lumivor;

namespace {

// The console on the ports linked in a directory, with a real clock.
struct Console
{
    explicit Console(const QString& portDirectory)
        : ports(link::ComPortTable::probe(portDirectory, {})),
          window(std::make_unique<app::MainWindow>(port, dialogs, ports, clock))
    {}

    template<typename T = QWidget> T* find(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) const
    {
        QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton);
    }
    QString text(const char* name) const
    {
        const auto* edit = find<QLineEdit>(name);
        return edit ? edit->text() : find<QAbstractButton>(name)->text();
    }
    bool pollRuns() const { return find<link::ClockTimer>("Timer2")->isActive(); }
    // Clicks Connect and waits until the console says it is connected.
    bool connect()
    {
        click("cmd_conecta");
        return QTest::qWaitFor([this] { return text("cmd_conecta") == "Disconnect"; }, 5000);
    }

    link::ComPortTable ports;
    link::QtSerialPort port{[this](int n) { return ports.deviceToOpen(n); }};
    testing::FakeDialogs dialogs;
    link::SystemClock clock;
    std::unique_ptr<app::MainWindow> window;
};

// Runs the event loop as the application does (QTest's waits sleep 10 ms
// between turns, which would slow a transfer's 1 ms steps tenfold) until the
// condition holds or the time is up; whether it held.
bool runUntil(const std::function<bool()>& condition, int limitMs)
{
    QTimer wake; // so a turn of the loop never waits for long
    wake.start(20);
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The simulator's flash as backup text: as it ships, but for screen 6, stored
// cleared with page 3 reversed.
QByteArray simulatorFlashText()
{
    const auto shipped = kestrin::makeDefaultFlash();
    QByteArray flash(reinterpret_cast<const char*>(shipped.bytes().data()),
                     qsizetype(shipped.bytes().size()));
    flash.replace(6 * 1920, 1920,
                  QByteArray(720, '\0') + QByteArray(240, '\xff') + QByteArray(960, '\0'));
    return flash.toHex();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void aControllerThatVanishes_data();
    void aControllerThatVanishes();
    void touchesAndARateChangeAgainstTheSimulator();
    void aBackupHoldsTheSimulatorsFlash();
};

void EndToEndTest::aControllerThatVanishes_data()
{
    QTest::addColumn<bool>("connected"); // or still detecting
    QTest::newRow("while connected without a poll") << true;
    QTest::newRow("during the detection") << false;
}

// The controller's end goes away while nothing is sent or polled: the console
// notices by itself, drops the link and says so once, and nothing later
// ("Can't open", "Controller not found").
void EndToEndTest::aControllerThatVanishes()
{
    QFETCH(bool, connected);
    testing::PseudoTerminal controller;
    QTemporaryDir portDir;
    QVERIFY(QFile::link(controller.slavePath(), portDir.path() + QStringLiteral("/com2")));
    Console console(portDir.path());
    console.click("cmd_conecta");
    if (connected) {
        QByteArray heard;
        QTRY_VERIFY((heard += controller.readAvailable()).contains("ID"));
        controller.write("KESTRIN 240x64"); // no "!": no response poll
        QTRY_COMPARE(console.text("cmd_conecta"), QStringLiteral("Disconnect"));
        QVERIFY(!console.pollRuns());
    }
    controller.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(console.dialogs.messages.size(), 1, 5000);
    QVERIFY(console.dialogs.messages.first().text.startsWith(
        QStringLiteral("The connection to the selected COM Port was lost.")));
    QCOMPARE(console.text("cmd_conecta"), QStringLiteral("Connect"));
    QVERIFY(!console.port.portOpen());
    // The detection is over too: nothing is left to time out later.
    for (const char* timer : {"Timer1", "Timer4"})
        QVERIFY2(!console.find<link::ClockTimer>(timer)->isActive(), timer);
    QCOMPARE(console.dialogs.messages.size(), 1);
}

// Keypad and coordinate touches on the simulator show in Text7; 0F 08 leaves
// at 9600 before the port reopens at 115200, where Get ID is answered. The
// simulator takes the line time of every byte, so a reply is read only after
// it has come. It takes commands in order: once it has answered Get ID it has
// switched its touch screen, so the touch comes after.
void EndToEndTest::touchesAndARateChangeAgainstTheSimulator()
{
    testing::SimProcess sim({QStringLiteral("--touch-input"), QStringLiteral("--line-timing")});
    QVERIFY(sim.isRunning());
    Console console(sim.portDirectory());
    QVERIFY(console.connect());
    QCOMPARE(console.find<QScrollBar>("HScroll5")->value(), 128); // the simulator's contrast
    QTRY_VERIFY_WITH_TIMEOUT(console.pollRuns(), 5000);
    const auto getId = [&] {
        console.find<QLineEdit>("txtController_ID")->clear();
        console.click("cmdGetID");
        QTRY_COMPARE_WITH_TIMEOUT(console.text("txtController_ID"), QStringLiteral("KT24064"),
                                  5000);
    };
    console.click("Cmd6x3");
    getId();
    sim.touch(45, 30); // the second key of the middle row
    QTRY_COMPARE_WITH_TIMEOUT(console.text("Text7"), QStringLiteral("K:08!"), 5000);

    console.find<QComboBox>("cmbBoudRate")->setCurrentText(QStringLiteral("115200"));
    console.click("Command4");
    QTRY_COMPARE_WITH_TIMEOUT(console.port.settings(), QStringLiteral("115200,N,8,1"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(console.text("cmd_conecta"), QStringLiteral("Disconnect"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(console.pollRuns(), 5000);
    console.click("CmdAnalog");
    getId();
    sim.touch(120, 32);
    QTRY_COMPARE_WITH_TIMEOUT(console.text("Text7"), QStringLiteral("T:120,32!"), 5000);
    QCOMPARE(console.dialogs.messages.size(), 1); // the rate change's confirmation
}

// The suite's one full-size transfer: a backup read from the simulator after
// a screen store, byte for byte what its flash holds. A second backup into
// the same file, cut short when the simulator dies, leaves the first intact
// and the blocks it got in the .part.
void EndToEndTest::aBackupHoldsTheSimulatorsFlash()
{
    testing::SimProcess sim;
    QVERIFY(sim.isRunning());
    Console console(sim.portDirectory());
    QVERIFY(console.connect());
    console.click("Command11"); // clear the screen
    console.find<QScrollBar>("PageScroll")->setValue(3);
    console.click("Command21"); // and reverse page 3
    console.find<QRadioButton>("optSave")->setChecked(true);
    console.click("cmdOk"); // into screen 6, after the Yes
    QTemporaryDir files;
    const QString backup = files.filePath(QStringLiteral("backup.fls"));
    console.dialogs.fileNames << backup << backup;
    console.click("cmdFlash");
    QVERIFY(runUntil([&] { return console.dialogs.messages.size() == 2; }, 60'000));
    QCOMPARE(console.dialogs.messages.back().text, QStringLiteral("Memory transfer completed."));
    const QByteArray flash = simulatorFlashText();
    QVERIFY(contents(backup) == flash);
    QVERIFY(console.pollRuns());

    console.click("cmdFlash");
    QVERIFY(runUntil([&] { return console.find<QProgressBar>("ProgressBar1")->value() >= 50; },
                     30'000));
    sim.kill();
    QVERIFY(runUntil([&] { return console.dialogs.messages.size() == 3; }, 10'000));
    QVERIFY(contents(backup) == flash);
    const QByteArray part = contents(backup + QStringLiteral(".part"));
    QVERIFY(part.size() >= 50 * 480 && part.size() % 480 == 0);
    QVERIFY(part == flash.left(part.size()));
    const QString told = console.dialogs.messages.back().text;
    QVERIFY2(told.startsWith(QStringLiteral("The flash memory transfer stopped at block %1 of 2048")
                                 .arg(part.size() / 480 + 1)),
             qPrintable(told));
    QVERIFY2(told.endsWith(backup + QStringLiteral(" was not changed.")), qPrintable(told));
}

LUMIVOR_TEST(EndToEndTest)
#include "tst_end_to_end.moc"
