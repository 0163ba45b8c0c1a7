#include "protocol/picture.h"

#include "protocol/memorycommands.h"
#include "protocol/textcommands.h"

#include <QImageReader>
#include <QPainter>

#include <algorithm>

namespace lumivor::protocol {

QImage readPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

namespace {
constexpr QRgb colourBits = 0x00FFFFFF;

// Scan lines of the eight rows of one page; rows the canvas lacks are null.
std::array<const QRgb*, rowsPerPage> pageRows(const QImage& rgb32, int page)
{
    std::array<const QRgb*, rowsPerPage> rows{};
    for (int bit = 0; bit < rowsPerPage; ++bit) {
        const int y = page * rowsPerPage + bit;
        if (y < rgb32.height())
            rows[static_cast<std::size_t>(bit)] =
                reinterpret_cast<const QRgb*>(rgb32.constScanLine(y));
    }
    return rows;
}

char columnByte(const std::array<const QRgb*, rowsPerPage>& rows, int x)
{
    unsigned byte = 0;
    for (int bit = 0; bit < rowsPerPage; ++bit) {
        const QRgb* row = rows[static_cast<std::size_t>(bit)];
        if (row && (row[x] & colourBits) != 0)
            byte |= 1u << bit;
    }
    return static_cast<char>(byte);
}
} // namespace

QImage canvasFromPicture(const QImage& picture, const QColor& background)
{
    QImage canvas(screenWidth, screenHeight, QImage::Format_RGB32);
    canvas.fill(background);
    const int width = std::min(picture.width(), screenWidth);
    const int height = std::min(picture.height(), screenHeight);
    if (width <= 0 || height <= 0)
        return canvas;
    // Explicit pixel rectangles on both sides: drawing at a point would scale a
    // picture that carries a device pixel ratio other than 1.
    const QRect corner(0, 0, width, height);
    QPainter painter(&canvas);
    painter.drawImage(corner, picture, corner);
    return canvas;
}

QByteArray packCanvas(const QImage& canvas)
{
    // One conversion up front (none for a canvas from canvasFromPicture), so
    // every pixel is read straight from a scan line as 0xAARRGGBB.
    const QImage rgb32 = canvas.convertToFormat(QImage::Format_RGB32);
    const int width = std::min(rgb32.width(), screenWidth);
    QByteArray bytes(screenDataBytes, '\0');
    char* out = bytes.data();
    for (int page = 0; page < pageCount; ++page) {
        const auto rows = pageRows(rgb32, page);
        char* pageOut = out + page * screenWidth;
        for (int x = 0; x < width; ++x)
            pageOut[x] = columnByte(rows, x);
    }
    return bytes;
}

std::array<QByteArray, 3> pictureUploadPreamble()
{
    return {touchMode(TouchMode::Off), setTextColumn(Column(0)), setTextPage(Page(0))};
}

} // namespace lumivor::protocol
