// The flash image commands on files, as lumivor-cli runs them: an image built
// from 250 pictures (a third each exact, threshold and dithered), a diff of
// two images, and every screen extracted as a PNG.
//
//   bench_flash_images
#include "benchtiming.h"
#include "cli/flashimages.h"
#include "protocol/flashimage.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>

using namespace lumivor;

namespace {

constexpr int pictureCount = 250; // screens 6 to 255

QImage picture(int number)
{
    QImage image(240, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 240; ++x) {
            const int grey = (x * (number + 1) + y * 7) % 256;
            image.setPixel(x, y, qRgb(grey, (grey + number) % 256, 255 - grey));
        }
    return image;
}

// 250 PNGs and the manifest that lists them; the manifest's path.
QString writePictures(const QTemporaryDir& dir)
{
    const char* conversions[] = {"", " --threshold 100", " --dither"};
    QByteArray manifest = "# 250 screens\n";
    for (int i = 0; i < pictureCount; ++i) {
        const QString name = QStringLiteral("picture-%1.png").arg(i);
        if (!picture(i).save(dir.filePath(name)))
            return {};
        manifest += QByteArray::number(6 + i) + ' ' + name.toUtf8() + conversions[i % 3] + '\n';
    }
    QFile file(dir.filePath(QStringLiteral("manifest.txt")));
    if (!file.open(QIODevice::WriteOnly) || file.write(manifest) != manifest.size())
        return {};
    return file.fileName();
}

cli::Request request(cli::Command command, const QString& file, const QString& second = {})
{
    cli::Request request;
    request.command = command;
    request.file = file;
    request.secondFile = second;
    return request;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QTemporaryDir dir;
    const QString manifest = writePictures(dir);
    if (manifest.isEmpty())
        return 1;

    cli::Request build = request(cli::Command::FlashBuild, manifest);
    build.output = dir.filePath(QStringLiteral("built.fls"));
    bool allWell = true;
    bench::report("flash-build: 250 pictures -> .fls", 5, [&] { return cli::buildImage(build); },
                  [&](const cli::FileCommandResult& result) {
                      allWell = allWell && result.code == cli::ExitCode::Success;
                  });

    // The same image with one byte changed in each of three screens.
    QFile built(build.output);
    if (!built.open(QIODevice::ReadOnly))
        return 1;
    QByteArray other = built.readAll();
    for (const int screen : {6, 100, 255})
        other[qsizetype(screen) * 3840 + 17] = other[qsizetype(screen) * 3840 + 17] == '0' ? '1' : '0';
    QFile changed(dir.filePath(QStringLiteral("changed.fls")));
    if (!changed.open(QIODevice::WriteOnly) || changed.write(other) != other.size())
        return 1;
    changed.close();
    bench::report("flash-diff: two .fls, 3 screens differ", 20,
                  [&] { return cli::diffImages(request(cli::Command::FlashDiff, build.output,
                                                       changed.fileName())); },
                  [&](const cli::FileCommandResult& result) {
                      allWell = allWell && result.code == cli::ExitCode::Differ;
                  });
    bench::report("flash-extract: 256 PNGs and the index", 3,
                  [&] { return cli::extractScreens(request(cli::Command::FlashExtract,
                                                           build.output, dir.filePath("png"))); },
                  [&](const cli::FileCommandResult& result) {
                      allWell = allWell && result.code == cli::ExitCode::Success;
                  });
    return allWell ? 0 : 2;
}
