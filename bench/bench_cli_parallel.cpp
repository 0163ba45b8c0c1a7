// lumivor-cli against many virtual controllers at once: flash loads at
// 115200 with kestrin-sim --line-timing, first on one controller, then on
// all of them in one run, then the same with --verify (the write and a full
// read back). Each port keeps its own line speed, so all together should
// take about as long as one, and about its line time; the CPU time the
// command line spends per controller shows what one machine can drive.
//
//   bench_cli_parallel [CONTROLLERS]      (16 by default)
#include "protocol/flashimage.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>
#include <vector>

using namespace lumivor;

namespace {

constexpr double rate = 115200;
// A load sends 29 02 and 491,520 data bytes, and hears a ready byte per block.
constexpr double loadLineSeconds =
    (2 + protocol::flashImageBytes + protocol::flashBlockCount) * 10 / rate;
// The read back sends 29 01 and a 29 per block, and hears 983,040 characters.
constexpr double readLineSeconds =
    (2 + protocol::flashBlockCount + protocol::flashFileBytes) * 10 / rate;

struct Run
{
    double wall = -1; // seconds; negative when it failed
    double cpu = 0;   // user + system seconds of lumivor-cli
};

double childCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs lumivor-cli: its wall time and the CPU time it used (the simulators
// are children too, but count only once they have ended).
Run runCli(const QStringList& arguments)
{
    QProcess cli;
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    cli.start(QStringLiteral(LUMIVOR_CLI_PATH), arguments);
    if (!cli.waitForFinished(1'200'000) || cli.exitCode() != 0) {
        std::fprintf(stderr, "lumivor-cli %s failed:\n%s\n", qPrintable(arguments.join(' ')),
                     cli.readAllStandardOutput().constData());
        return {};
    }
    return {double(elapsed.nsecsElapsed()) / 1e9, childCpuSeconds() - cpuBefore};
}

QString imageFile(const QTemporaryDir& dir)
{
    QByteArray image(protocol::flashImageBytes, '\0');
    quint32 state = 7;
    for (char& byte : image) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    const QString path = dir.filePath(QStringLiteral("image.fls"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(protocol::encodeFlashImage(image).bytes()) != protocol::flashFileBytes)
        return {};
    return path;
}

void print(const char* what, const Run& run, int controllers, double lineSeconds)
{
    std::printf("%-28s %7.2f s  (%.3f x line time)   lumivor-cli CPU %6.2f s, %.3f s per "
                "controller\n",
                what, run.wall, run.wall / lineSeconds, run.cpu, run.cpu / controllers);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 16;
    std::vector<std::unique_ptr<testing::SimProcess>> sims;
    QStringList devices;
    for (int i = 0; i < count; ++i) {
        sims.push_back(
            std::make_unique<testing::SimProcess>(QStringList{QStringLiteral("--line-timing")}));
        if (!sims.back()->isRunning()) {
            std::fprintf(stderr, "kestrin-sim did not start (%s)\n", KESTRIN_SIM_PATH);
            return 1;
        }
        devices << sims.back()->devicePath();
    }
    QTemporaryDir dir;
    const QString image = imageFile(dir);
    const QString all = devices.join(QLatin1Char(','));
    if (image.isEmpty() || runCli({"baud", "115200", "--quiet", "--port", all}).wall < 0)
        return 1;

    const QStringList load{"flash-load", image, "--yes", "--quiet", "--rate", "115200"};
    const Run one = runCli(load + QStringList{"--port", devices.first()});
    const Run every = runCli(load + QStringList{"--port", all});
    const Run verified = runCli(load + QStringList{"--verify", "--port", all});
    if (one.wall < 0 || every.wall < 0 || verified.wall < 0)
        return 1;
    std::printf("line time at 115200 baud: a load %.2f s, a load and read back %.2f s\n",
                loadLineSeconds, loadLineSeconds + readLineSeconds);
    print("one controller", one, 1, loadLineSeconds);
    const QByteArray label = QByteArray::number(count) + " at once";
    print(label.constData(), every, count, loadLineSeconds);
    print((label + ", --verify").constData(), verified, count, loadLineSeconds + readLineSeconds);
    return every.wall <= 1.10 * loadLineSeconds ? 0 : 2;
}
