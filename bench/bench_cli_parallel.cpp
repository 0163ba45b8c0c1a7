// lumivor-cli against three virtual controllers at once: flash loads at
// 115200 with kestrin-sim --line-timing, first on one controller, then on
// all three in one run. Each port keeps its own line speed, so the three
// together should take about as long as one, and about its line time.
//
//   bench_cli_parallel
#include "protocol/flashimage.h"
#include "simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

using namespace lumivor;

namespace {

constexpr double rate = 115200;
// A load sends 29 02 and 491,520 data bytes, and hears a ready byte per block.
constexpr double loadLineSeconds =
    (2 + protocol::flashImageBytes + protocol::flashBlockCount) * 10 / rate;

// Runs lumivor-cli and returns its wall time in seconds, or a negative
// number when it failed.
double runCli(const QStringList& arguments)
{
    QProcess cli;
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer elapsed;
    elapsed.start();
    cli.start(QStringLiteral(LUMIVOR_CLI_PATH), arguments);
    if (!cli.waitForFinished(600'000) || cli.exitCode() != 0) {
        std::fprintf(stderr, "lumivor-cli %s failed:\n%s\n", qPrintable(arguments.join(' ')),
                     cli.readAllStandardOutput().constData());
        return -1;
    }
    return double(elapsed.nsecsElapsed()) / 1e9;
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    std::vector<std::unique_ptr<testing::SimProcess>> sims;
    QStringList devices;
    for (int i = 0; i < 3; ++i) {
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
    if (image.isEmpty() || runCli({"baud", "115200", "--quiet", "--port", all}) < 0)
        return 1;

    const QStringList load{"flash-load", image, "--yes", "--quiet", "--rate", "115200", "--port"};
    const double one = runCli(load + QStringList{devices.first()});
    const double three = runCli(load + QStringList{all});
    if (one < 0 || three < 0)
        return 1;
    std::printf("line time of one flash load at 115200 baud: %.2f s\n", loadLineSeconds);
    std::printf("one controller:    %6.2f s  (%.3f x line time)\n", one, one / loadLineSeconds);
    std::printf("three at once:     %6.2f s  (%.3f x line time, allowed 1.10; %.3f x one)\n", three,
                three / loadLineSeconds, three / one);
    return three <= 1.10 * loadLineSeconds ? 0 : 2;
}
