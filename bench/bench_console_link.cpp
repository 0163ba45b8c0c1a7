// The console against the virtual controller over a real pseudo-terminal:
// how long a connect attempt takes from the click to "Connected", and what a
// single command write costs (the QSerialPort backend hands every write to
// the operating system before it returns).
//
//   bench_console_link [--line-timing]
//
// Starts kestrin-sim --headless in a private XDG_DATA_HOME, so the operator's
// own port links are neither seen nor touched.
#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "link/clock.h"
#include "link/comports.h"
#include "link/qtserialport.h"
#include "protocol/graphicscommands.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace lumivor;

namespace {

struct Stats
{
    double min, median, mean;
};

Stats statsOf(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    double total = 0;
    for (double v : values)
        total += v;
    return {values.front(), values[values.size() / 2], total / static_cast<double>(values.size())};
}

bool startSimulator(QProcess& sim, const QString& dataHome, bool lineTiming)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    sim.setProcessEnvironment(environment);
    QStringList arguments{QStringLiteral("--headless")};
    if (lineTiming)
        arguments << QStringLiteral("--line-timing");
    sim.start(QStringLiteral(KESTRIN_SIM_PATH), arguments);
    return sim.waitForStarted(5000) && sim.waitForReadyRead(5000) &&
           sim.readLine().startsWith("kestrin-sim: COM");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const bool lineTiming = QCoreApplication::arguments().contains(QStringLiteral("--line-timing"));

    QTemporaryDir dataHome;
    QProcess sim;
    if (!startSimulator(sim, dataHome.path(), lineTiming)) {
        std::fprintf(stderr, "kestrin-sim did not start (%s)\n", KESTRIN_SIM_PATH);
        return 1;
    }
    auto ports = link::ComPortTable::probe(dataHome.path() + QStringLiteral("/lumivor/ports"), {});
    link::QtSerialPort port([&](int n) { return ports.deviceToOpen(n); });
    testing::FakeDialogs dialogs;
    link::SystemClock clock;
    app::MainWindow window(port, dialogs, ports, clock);
    auto* connect = window.findChild<QPushButton*>(QStringLiteral("cmd_conecta"));

    constexpr int attempts = 20;
    std::vector<double> connectMs;
    for (int i = 0; i < attempts; ++i) {
        QElapsedTimer elapsed;
        elapsed.start();
        QTest::mouseClick(connect, Qt::LeftButton); // the detection runs on timers
        while (connect->text() != QStringLiteral("Disconnect") && elapsed.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        connectMs.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e6);
        if (connect->text() != QStringLiteral("Disconnect")) {
            std::fprintf(stderr, "attempt %d did not connect\n", i);
            return 1;
        }
        QTest::mouseClick(connect, Qt::LeftButton);
    }
    const Stats connectStats = statsOf(connectMs);
    std::printf("connect click to \"Connected\" (%d attempts)      min %7.1f ms  median %7.1f ms  "
                "mean %7.1f ms\n",
                attempts, connectStats.min, connectStats.median, connectStats.mean);

    // A screen's worth of data-byte writes, one write each, as fast as the
    // backend takes them (no pacing): the cost of a write itself.
    QTest::mouseClick(connect, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return connect->text() == QStringLiteral("Disconnect"); }, 3000))
        return 1;
    std::vector<double> writeUs;
    for (int i = 0; i < 1920; ++i) {
        QElapsedTimer elapsed;
        elapsed.start();
        port.output(protocol::writeDataByte(static_cast<std::uint8_t>(i)));
        writeUs.push_back(static_cast<double>(elapsed.nsecsElapsed()) / 1e3);
    }
    const Stats writeStats = statsOf(writeUs);
    double totalUs = 0;
    for (double us : writeUs)
        totalUs += us;
    std::printf("one 2-byte write through output() (1920 writes) min %7.1f us  median %7.1f us  "
                "mean %7.1f us  total %.1f ms\n",
                writeStats.min, writeStats.median, writeStats.mean, totalUs / 1000);
    std::printf("(the same 3840 bytes take %.0f ms on a real 9600 baud line)\n",
                3840 * 10 * 1000.0 / 9600);
    QTest::mouseClick(connect, Qt::LeftButton);

    sim.terminate();
    sim.waitForFinished(5000);
    return dialogs.messages.isEmpty() ? 0 : 1;
}
