// How long turning a picture into the 1920 data bytes of a screen takes.
#include "benchtiming.h"
#include "protocol/picture.h"

#include <QRandomGenerator>

using namespace lumivor::protocol;

namespace {

// Random colours, a quarter of them pure black, so the bit test cannot be predicted.
QImage noise(int width, int height, QImage::Format format)
{
    QRandomGenerator generator(42);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = generator.bounded(4) == 0 ? qRgb(0, 0, 0) : generator.generate() | 0xFF000000;
    }
    return image.convertToFormat(format);
}

} // namespace

int main()
{
    constexpr int runs = 20000;
    unsigned checksum = 0;
    const auto keep = [&](const QByteArray& bytes) { checksum += static_cast<unsigned>(bytes[7]); };
    const auto keepImage = [&](const QImage& image) { checksum += image.pixel(239, 63); };

    const QImage canvas = noise(screenWidth, screenHeight, QImage::Format_RGB32);
    lumivor::bench::report(
        "packCanvas, RGB32 canvas", runs, [&] { return packCanvas(canvas); }, keep);

    const QImage argbCanvas = noise(screenWidth, screenHeight, QImage::Format_ARGB32);
    lumivor::bench::report(
        "packCanvas, ARGB32 canvas (converted)", runs, [&] { return packCanvas(argbCanvas); },
        keep);

    const QImage photo = noise(1024, 768, QImage::Format_RGB888);
    lumivor::bench::report(
        "canvasFromPicture, 1024x768 RGB888 picture", runs / 10,
        [&] { return canvasFromPicture(photo, Qt::white); }, keepImage);
    lumivor::bench::report(
        "canvasFromPicture + packCanvas, same picture", runs / 10,
        [&] { return packCanvas(canvasFromPicture(photo, Qt::white)); }, keep);

    std::printf("(checksum %u)\n", checksum);
    return 0;
}
