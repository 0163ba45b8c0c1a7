// The whole console on its real port backend over a pseudo-terminal, against
// kestrin-sim: what only a real port shows (the one full-size backup, at the
// pace of real arrivals, and a simulator that dies in the middle of the next).
#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/qtserialport.h"
#include "model/flash.h"
#include "simprocess.h"
#include "testsuite.h"

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
    // The suite's one full-size transfer: a backup read from the simulator after
    // a screen store, byte for byte what its flash holds. A second backup into
    // the same file, cut short when the simulator dies, leaves the first intact
    // and the blocks it got in the .part.
    void aBackupHoldsTheSimulatorsFlash()
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
        QCOMPARE(console.dialogs.messages.back().text,
                 QStringLiteral("Memory transfer completed."));
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
        QVERIFY2(
            told.startsWith(QStringLiteral("The flash memory transfer stopped at block %1 of 2048")
                                .arg(part.size() / 480 + 1)),
            qPrintable(told));
        QVERIFY2(told.endsWith(backup + QStringLiteral(" was not changed.")), qPrintable(told));
    }
};

LUMIVOR_TEST(EndToEndTest)
#include "tst_end_to_end.moc"
