#pragma once

#include <cstdint>

// The controller's command codes, as it decodes them from the line. The console has its
// own encoders; the two are kept apart on purpose so that a wrong constant on either side
// shows up when they talk to each other.
namespace kestrin::code {

inline constexpr std::uint8_t kClear = 0x01;        // 01 page, or 01 08 = screen + stop animation
inline constexpr std::uint8_t kPutCharacter = 0x02; // 02 character
inline constexpr std::uint8_t kWriteData = 0x03;    // 03 data byte
inline constexpr std::uint8_t kTouchMode = 0x05;    // 05 00 off / 01 coordinates
inline constexpr std::uint8_t kTextPage = 0x06;     // 06 page
inline constexpr std::uint8_t kLoadScreen = 0x08;   // 08 screen
inline constexpr std::uint8_t kBacklight = 0x09;    // 09 00 / 01
inline constexpr std::uint8_t kPixelString = 0x0A;  // 0A n, then n pairs x y
inline constexpr std::uint8_t kDisplayMode = 0x0B;  // 0B 00..06
inline constexpr std::uint8_t kDisplayPower = 0x0D; // 0D 00 / 01
inline constexpr std::uint8_t kBaudRate = 0x0F;     // 0F rate index 0..8
inline constexpr std::uint8_t kContrast = 0x10;     // 10 level
inline constexpr std::uint8_t kSaveScreen = 0x11;   // 11 screen
inline constexpr std::uint8_t kTextColumn = 0x12;   // 12 column
inline constexpr std::uint8_t kSelectFont = 0x15;   // 15 01..04
inline constexpr std::uint8_t kCalibrate = 0x19;    // 19 01
inline constexpr std::uint8_t kAnimation = 0x1B;    // 1B delay start stop
inline constexpr std::uint8_t kKeypadMode = 0x1C;   // 1C 01 / 02 (flipped)
inline constexpr std::uint8_t kFlipPage = 0x1D;     // 1D page
inline constexpr std::uint8_t kDrawShape = 0x1E;    // 1E shape x1 y1 x2 y2
inline constexpr std::uint8_t kClearShape = 0x1F;   // 1F shape x1 y1 x2 y2
inline constexpr std::uint8_t kDrawCircle = 0x20;   // 20 r x y
inline constexpr std::uint8_t kClearCircle = 0x21;  // 21 r x y
inline constexpr std::uint8_t kBeep = 0x23;         // 23 01 beep, 02 / 03 beep on touch on / off
inline constexpr std::uint8_t kKeyMask = 0x25;      // 25 top middle bottom
inline constexpr std::uint8_t kString = 0x26;       // 26 characters... 0D
inline constexpr std::uint8_t kQueryId = 0x28;      // 28 00
inline constexpr std::uint8_t kFlash = 0x29;        // 29 01 read / 29 02 write; 29 = next block
inline constexpr std::uint8_t kIdentify = 0x49;     // 49 44 ("ID")

inline constexpr std::uint8_t kIdentifySecond = 0x44;
inline constexpr std::uint8_t kWholeScreen = 0x08;
inline constexpr std::uint8_t kFlashRead = 0x01;
inline constexpr std::uint8_t kFlashWrite = 0x02;
inline constexpr std::uint8_t kCarriageReturn = 0x0D;
inline constexpr std::uint8_t kBackspace = 0x08;

} // namespace kestrin::code
