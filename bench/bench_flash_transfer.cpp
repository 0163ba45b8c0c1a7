// The console's flash transfers against kestrin-sim --line-timing at 115200:
// how close a full read and a full write come to the line time of what they
// carry, and the longest stall of the window's event loop meanwhile. Then the
// same read by a minimal Python script (bench/flash_read.py) on the same link.
//
//   bench_flash_transfer [--no-python] [--traffic]
//
// With --traffic the read and the write run again with the traffic view open
// (View > Traffic, the window shown), to measure what watching costs.
//
// The console connects at 9600 and changes the rate to 115200 with "Change
// Baud Rate", as an operator does. The write puts back the image the read
// saved, so the simulator's flash stays as it was. Starts kestrin-sim in a
// private XDG_DATA_HOME.
#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/qtserialport.h"
#include "simprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace lumivor;

namespace {

constexpr int rate = 115200;
constexpr double readSentBytes = 2 + 2048;     // 29 01, then 29 after every block
constexpr double readReceivedBytes = 983'040;  // 2048 blocks of 480 characters
constexpr double writeSentBytes = 2 + 491'520; // 29 02, then the image
constexpr double writeReadyBytes = 2048;       // one ">" before each block
constexpr int tickMs = 5;                      // the stall probe's period

double lineSeconds(double bytes)
{
    return bytes * 10 / rate;
}

// Runs the event loop (exec, as the application does) until the condition
// holds or the limit passes, and records the longest gap between the ticks
// of a 5 ms timer meanwhile: how long the loop was kept from its timers.
struct LoopProbe
{
    double longestGapMs = 0;

    bool runUntil(const std::function<bool()>& condition, int limitMs)
    {
        QEventLoop loop;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QElapsedTimer sinceTick;
        QElapsedTimer elapsed;
        elapsed.start();
        sinceTick.start();
        longestGapMs = 0;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longestGapMs = std::max(longestGapMs, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
            if (condition() || elapsed.elapsed() > limitMs)
                loop.quit();
        });
        tick.start(tickMs);
        loop.exec();
        return condition();
    }
};

struct Console
{
    explicit Console(link::ComPortTable table)
        : ports(std::move(table)), port([this](int n) { return ports.deviceToOpen(n); }),
          window(port, dialogs, ports, clock)
    {}

    template<typename T> T* find(const char* name) const
    {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) const
    {
        QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton);
    }
    bool connected() const
    {
        return find<QPushButton>("cmd_conecta")->text() == QStringLiteral("Disconnect");
    }

    link::ComPortTable ports;
    link::QtSerialPort port;
    testing::FakeDialogs dialogs;
    link::SystemClock clock;
    app::MainWindow window;
};

struct Run
{
    double seconds = 0;
    double longestGapMs = 0;
    QString message;
};

// One transfer from the click on "OK" to its last message.
Run transfer(Console& console, LoopProbe& probe, const char* option, const QString& file)
{
    console.dialogs.fileNames << file;
    console.find<QRadioButton>(option)->setChecked(true);
    const qsizetype before = console.dialogs.messages.size();
    QElapsedTimer elapsed;
    elapsed.start();
    console.click("cmdFlash");
    probe.runUntil([&] { return console.dialogs.messages.size() > before; }, 600'000);
    Run run{double(elapsed.nsecsElapsed()) / 1e9, probe.longestGapMs, QString()};
    if (console.dialogs.messages.size() > before)
        run.message = console.dialogs.messages.back().text;
    return run;
}

void report(const char* name, const Run& run, double lineTime, double allowed)
{
    std::printf("%-6s %8.2f s   line time %8.2f s   ratio %.4f (allowed %.2f)   longest loop gap "
                "%.1f ms (%d ms ticks)\n",
                name, run.seconds, lineTime, run.seconds / lineTime, allowed, run.longestGapMs,
                tickMs);
    if (run.message != QStringLiteral("Memory transfer completed."))
        std::printf("       ended with: %s\n", qPrintable(run.message));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const bool python = !QCoreApplication::arguments().contains(QStringLiteral("--no-python"));
    const bool traffic = QCoreApplication::arguments().contains(QStringLiteral("--traffic"));

    QTemporaryDir files;
    testing::SimProcess sim({QStringLiteral("--line-timing")});
    if (!sim.isRunning()) {
        std::fprintf(stderr, "kestrin-sim did not start (%s)\n", KESTRIN_SIM_PATH);
        return 1;
    }
    Console console(link::ComPortTable::probe(sim.portDirectory(), {}));
    LoopProbe probe;

    console.click("cmd_conecta");
    if (!probe.runUntil([&] { return console.connected(); }, 5000)) {
        std::fprintf(stderr, "the console did not connect at 9600\n");
        return 1;
    }
    console.find<QComboBox>("cmbBoudRate")->setCurrentText(QString::number(rate));
    console.click("Command4");
    probe.runUntil([&] { return console.port.settings().startsWith(QStringLiteral("115200")); },
                   5000);
    if (!probe.runUntil([&] { return console.connected(); }, 5000)) {
        std::fprintf(stderr, "the console did not reconnect at 115200\n");
        return 1;
    }

    std::printf("console against kestrin-sim --line-timing at %d baud, %s\n", rate,
                qPrintable(sim.devicePath()));
    const QString image = files.filePath(QStringLiteral("flash.fls"));
    const double readLine = lineSeconds(readReceivedBytes + readSentBytes);
    const double writeLine = lineSeconds(writeSentBytes + writeReadyBytes);
    const Run read = transfer(console, probe, "optFlashCopy", image);
    report("read", read, readLine, 1.03);
    const Run write = transfer(console, probe, "optFlashLoad", image);
    report("write", write, writeLine, 1.05);
    bool completed = read.message == QStringLiteral("Memory transfer completed.") &&
                     write.message == QStringLiteral("Memory transfer completed.");
    if (traffic) {
        console.window.show();
        console.window.findChild<QDockWidget*>(QStringLiteral("dckTraffic"))->show();
        const Run watchedRead = transfer(console, probe, "optFlashCopy", image);
        report("read, traffic view open", watchedRead, readLine, 1.03);
        const Run watchedWrite = transfer(console, probe, "optFlashLoad", image);
        report("write, traffic view open", watchedWrite, writeLine, 1.05);
        std::printf("the traffic view costs %.2f %% of the read's time and %.2f %% of the "
                    "write's\n",
                    100.0 * (watchedRead.seconds - read.seconds) / read.seconds,
                    100.0 * (watchedWrite.seconds - write.seconds) / write.seconds);
    }
    console.click("cmd_conecta"); // the port goes to the script

    int status = completed ? 0 : 1;
    if (python) {
        QProcess script;
        script.setProcessChannelMode(QProcess::ForwardedChannels);
        script.start(QStringLiteral("python3"),
                     {QStringLiteral(FLASH_READ_SCRIPT), sim.devicePath(), QStringLiteral("--rate"),
                      QString::number(rate)});
        if (!script.waitForFinished(600'000) || script.exitCode() != 0)
            status = 1;
    }
    return status;
}
