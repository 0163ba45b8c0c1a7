// How long the flash image window takes to open an image and draw all 256
// screen thumbnails (offscreen): reading and checking the .fls file, then
// painting the whole thumbnail grid into a picture from an empty cache, as
// the first paint after opening does.
//
//   QT_QPA_PLATFORM=offscreen bench_flash_studio
#include "benchtiming.h"
#include "link/flashfile.h"
#include "panels/memory/screengrid.h"
#include "protocol/flashimage.h"
#include "protocol/flashscreens.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace lumivor;

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    constexpr int runs = 50;

    QRandomGenerator generator(7);
    QByteArray image(protocol::flashImageBytes, '\0');
    for (char& byte : image)
        byte = static_cast<char>(generator.bounded(256));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.fls"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image.toHex()) != 2 * image.size())
        return 1;
    file.close();

    panels::ScreenGrid grid;
    grid.resize(grid.sizeHint());
    QImage canvas(grid.size(), QImage::Format_RGB32);
    protocol::FlashScreens screens;
    unsigned checksum = 0;
    const auto keep = [&](int value) { checksum += static_cast<unsigned>(value); };

    bench::report(
        "open a .fls (read, check, decode)", runs,
        [&] {
            screens = *protocol::FlashScreens::fromImage(link::FlashImageFile(path).load().bytes());
            return int(screens.image().size());
        },
        keep);
    bench::report(
        "draw 256 thumbnails, empty cache", runs,
        [&] {
            grid.setScreens(&screens);
            grid.render(&canvas);
            return int(canvas.pixel(20, 40));
        },
        keep);
    bench::report(
        "open and draw, together", runs,
        [&] {
            screens = *protocol::FlashScreens::fromImage(link::FlashImageFile(path).load().bytes());
            grid.setScreens(&screens);
            grid.render(&canvas);
            return int(canvas.pixel(20, 40));
        },
        keep);
    bench::report(
        "repaint 256 thumbnails, cached", runs,
        [&] {
            grid.render(&canvas);
            return int(canvas.pixel(20, 40));
        },
        keep);
    std::printf("grid %d x %d pixels (checksum %u)\n", grid.width(), grid.height(), checksum);
    return 0;
}
