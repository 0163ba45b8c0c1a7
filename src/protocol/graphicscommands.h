#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace lumivor::protocol {

// First byte of a line or rectangle: set the pixels or erase them.
enum class ShapeOperation : std::uint8_t {
    Draw = 0x1E,
    Clear = 0x1F,
};

// Second byte of a line or rectangle.
enum class Shape : std::uint8_t {
    Line = 0x00,
    Rectangle = 0x01,
    FilledRectangle = 0x02,
    ReversedRectangle = 0x03, // inverts the area; only ever drawn, never cleared
};

enum class CircleOperation : std::uint8_t {
    Draw = 0x20,
    Clear = 0x21,
};

// Writes one data byte (8 stacked pixels, bit 0 on top) at the controller's
// write position, which then moves one column on.
QByteArray writeDataByte(std::uint8_t byte);

// Announces a pixel string of pairCount coordinate pairs; each pair follows as
// a write of its own and nothing ends the string.
QByteArray pixelStringHeader(std::uint8_t pairCount);
QByteArray pixelPair(std::uint8_t x, std::uint8_t y);

// A line or rectangle from (x1, y1) to (x2, y2), in the order given; the
// controller, not the console, decides what to do with points off the screen.
// nullopt for clearing a reversed rectangle (1F 03), which is not a command.
std::optional<QByteArray> shape(ShapeOperation operation, Shape kind, std::uint8_t x1,
                                std::uint8_t y1, std::uint8_t x2, std::uint8_t y2);

QByteArray circle(CircleOperation operation, std::uint8_t radius, std::uint8_t centreX,
                  std::uint8_t centreY);

// The writes of a pattern: the text split at every comma, each entry that
// reads as a byte (0 to 255, in the locale) as 03 v; the others are skipped.
QList<QByteArray> patternWrites(const QString& text);

} // namespace lumivor::protocol
