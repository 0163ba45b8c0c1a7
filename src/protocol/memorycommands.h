#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

namespace lumivor::protocol {

enum class TouchMode : std::uint8_t {
    Off = 0x00,
    Coordinates = 0x01, // the controller reports where it is touched
};

enum class KeypadMode : std::uint8_t {
    WithoutFlip = 0x01,
    WithFlip = 0x02,
};

// The touch keypad: 18 keys in 3 rows of 6.
inline constexpr int keypadColumns = 6;
inline constexpr int keypadRows = 3;
inline constexpr int keypadKeys = keypadColumns * keypadRows;

// Screens are stored and recalled by number; screens 1 to 5 hold the fonts.
QByteArray loadScreen(std::uint8_t screen);
QByteArray saveScreen(std::uint8_t screen);

// The flash exchange: readFlash() asks for the first block, nextBlock() for
// each following one (sent after every block, the last included);
// writeFlash() asks the controller to take an image.
QByteArray readFlash();
QByteArray nextBlock();
QByteArray writeFlash();

QByteArray touchMode(TouchMode mode);
QByteArray keypadMode(KeypadMode mode);

// The key mask from the 18 key boxes, row by row from the top, left to right.
// A checked box turns its key's bit off; a clear box sets it (leftmost key
// 0x20 down to rightmost 0x01), so all clear gives 25 3F 3F 3F.
QByteArray keyMask(const std::array<bool, keypadKeys>& checked);

QByteArray beepOnTouch(bool beep); // 23 02 beeps, 23 03 stays silent
QByteArray calibrate();

// Runs the built-in animation through the stored screens start..stop. The
// values go out as they stand: a start above the stop is the controller's affair.
QByteArray runAnimation(std::uint8_t delay, std::uint8_t startScreen, std::uint8_t stopScreen);
QByteArray stopAnimation(); // 01 08, the same bytes as the screen-wide clear

} // namespace lumivor::protocol
