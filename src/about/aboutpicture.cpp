#include "about/aboutpicture.h"

#include <QPainter>

#include <array>

namespace lumivor::about {

namespace {

// 5 x 7 glyphs, one text row per pixel row, '#' lit.
using Glyph = std::array<const char*, 7>;

Glyph glyphOf(char character)
{
    switch (character) {
    case '2':
        return {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"};
    case '4':
        return {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."};
    case '0':
        return {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."};
    case '6':
        return {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."};
    case 'x':
        return {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"};
    default:
        return {".....", ".....", ".....", ".....", ".....", ".....", "....."};
    }
}

// Each glyph pixel is a `dot` x `dot` square; glyphs stand 6 dots apart.
void drawPixelText(QPainter& painter, const char* text, QPoint origin, int dot)
{
    const QColor ink(0x1c, 0x2b, 0x12);
    for (int i = 0; text[i] != '\0'; ++i) {
        const Glyph glyph = glyphOf(text[i]);
        const int left = origin.x() + i * 6 * dot;
        for (int row = 0; row < 7; ++row)
            for (int column = 0; column < 5; ++column)
                if (glyph[static_cast<std::size_t>(row)][column] == '#')
                    painter.fillRect(left + column * dot, origin.y() + row * dot, dot, dot, ink);
    }
}

void drawBoard(QPainter& painter)
{
    painter.setPen(QColor(0x0b, 0x3d, 0x1f));
    painter.setBrush(QColor(0x1e, 0x6b, 0x3a));
    painter.drawRoundedRect(QRectF(0.5, 6.5, aboutPictureWidth - 1, aboutPictureHeight - 7), 3, 3);
    // Mounting holes in the corners and the connector's pins along the top.
    painter.setBrush(QColor(0xd8, 0xd8, 0xd0));
    for (const QPoint hole : {QPoint(5, 11), QPoint(96, 11), QPoint(5, 66), QPoint(96, 66)})
        painter.drawEllipse(hole, 2, 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xc9, 0xa2, 0x3c));
    for (int pin = 0; pin < 10; ++pin)
        painter.drawRect(26 + pin * 5, 0, 2, 8);
}

void drawGlass(QPainter& painter)
{
    const QRect bezel(10, 15, 82, 46);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x2a, 0x2a, 0x2a));
    painter.drawRect(bezel);
    const QRect glass = bezel.adjusted(3, 3, -3, -3);
    painter.setBrush(QColor(0xa8, 0xc6, 0x4e));
    painter.drawRect(glass);
    // "240x64": six glyphs of 6 dots at 2 pixels a dot, centred on the glass.
    const int dot = 2;
    const int width = 6 * 6 * dot - dot;
    drawPixelText(painter, "240x64",
                  QPoint(glass.left() + (glass.width() - width) / 2,
                         glass.top() + (glass.height() - 7 * dot) / 2),
                  dot);
}

} // namespace

QPixmap aboutPicture()
{
    QPixmap picture(aboutPictureWidth, aboutPictureHeight);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawBoard(painter);
    drawGlass(painter);
    return picture;
}

} // namespace lumivor::about
