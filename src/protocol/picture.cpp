#include "protocol/picture.h"

#include "protocol/memorycommands.h"
#include "protocol/textcommands.h"

#include <QPainter>

#include <algorithm>
#include <vector>

namespace lumivor::protocol {


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

namespace {

// The canvas's brightness, pixel by pixel; what a smaller canvas lacks is black.
std::vector<float> brightness(const QImage& canvas)
{
    std::vector<float> values(std::size_t(screenWidth) * screenHeight, 0.0f);
    const QImage rgb = canvas.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < std::min(screenHeight, rgb.height()); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < std::min(screenWidth, rgb.width()); ++x)
            values[std::size_t(y) * screenWidth + std::size_t(x)] = float(qGray(line[x]));
    }
    return values;
}

// Floyd-Steinberg: each pixel becomes ink (0 brightness) or paper (255), and
// the difference is handed on to the neighbours not yet decided.
std::vector<bool> ditheredInk(std::vector<float> values)
{
    std::vector<bool> ink(values.size());
    const auto at = [](int x, int y) { return std::size_t(y) * screenWidth + std::size_t(x); };
    const auto spread = [&](int x, int y, float error) {
        if (x >= 0 && x < screenWidth && y < screenHeight)
            values[at(x, y)] += error;
    };
    for (int y = 0; y < screenHeight; ++y) {
        for (int x = 0; x < screenWidth; ++x) {
            const float value = values[at(x, y)];
            ink[at(x, y)] = value < 128.0f;
            const float error = value - (ink[at(x, y)] ? 0.0f : 255.0f);
            spread(x + 1, y, error * 7 / 16);
            spread(x - 1, y + 1, error * 3 / 16);
            spread(x, y + 1, error * 5 / 16);
            spread(x + 1, y + 1, error * 1 / 16);
        }
    }
    return ink;
}

std::vector<bool> screenBits(const QImage& canvas, Conversion conversion, int threshold)
{
    if (conversion == Conversion::Dithered)
        return ditheredInk(brightness(canvas));
    std::vector<bool> bits(std::size_t(screenWidth) * screenHeight);
    if (conversion == Conversion::Threshold) {
        const std::vector<float> values = brightness(canvas);
        for (std::size_t i = 0; i < bits.size(); ++i)
            bits[i] = values[i] < float(threshold);
        return bits;
    }
    const QByteArray packed = packCanvas(canvas);
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x)
            bits[std::size_t(y) * screenWidth + std::size_t(x)] =
                (static_cast<unsigned char>(packed[(y / rowsPerPage) * screenWidth + x]) >>
                 (y % rowsPerPage)) &
                1;
    return bits;
}

} // namespace

QImage convertCanvas(const QImage& canvas, Conversion conversion, int threshold)
{
    const std::vector<bool> bits = screenBits(canvas, conversion, threshold);
    QImage screen(screenWidth, screenHeight, QImage::Format_Grayscale8);
    for (int y = 0; y < screenHeight; ++y) {
        uchar* line = screen.scanLine(y);
        for (int x = 0; x < screenWidth; ++x)
            line[x] = bits[std::size_t(y) * screenWidth + std::size_t(x)] ? 255 : 0;
    }
    return screen;
}

std::array<QByteArray, 3> pictureUploadPreamble()
{
    return {touchMode(TouchMode::Off), setTextColumn(Column(0)), setTextPage(Page(0))};
}

} // namespace lumivor::protocol
