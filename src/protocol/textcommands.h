#pragma once

#include "protocol/arguments.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace lumivor::protocol {

// The controller's display modes, argument of 0B.
enum class DisplayMode : std::uint8_t {
    Normal = 0x00,
    Reverse = 0x01,
    TopNormalBottomReverse = 0x02,
    TopReverseBottomNormal = 0x03,
    RightReverseLeftNormal = 0x04,
    DiagonalBackslash = 0x05,
    DiagonalSlash = 0x06,
};

// The controller's text fonts, argument of 15.
enum class Font : std::uint8_t {
    Pix7 = 0x01,
    Pix14 = 0x02,
    Pix14Bold = 0x03,
    Pix22 = 0x04,
};

// Every mode and font in the order their buttons and options are laid out.
inline constexpr std::array<DisplayMode, 7> allDisplayModes = {
    DisplayMode::Normal,
    DisplayMode::Reverse,
    DisplayMode::TopNormalBottomReverse,
    DisplayMode::TopReverseBottomNormal,
    DisplayMode::RightReverseLeftNormal,
    DisplayMode::DiagonalBackslash,
    DisplayMode::DiagonalSlash,
};
inline constexpr std::array<Font, 4> allFonts = {Font::Pix7, Font::Pix14, Font::Pix14Bold,
                                                 Font::Pix22};

// Caption of the button that sends the mode ("Top Normal Bottom Reverse").
QString displayModeCaption(DisplayMode mode);
// Caption of the option that selects the font ("14 Pix Bold").
QString fontCaption(Font font);

// The controller takes at most this many characters into one string; the sender
// starts a new string (26 again) after that many, without a terminator.
inline constexpr int stringCharacterLimit = 45;

QByteArray clearPage(Page page);
QByteArray clearScreen(); // 01 08, the same bytes as the animation stop
QByteArray displayPower(bool on);
QByteArray displayMode(DisplayMode mode);
QByteArray contrast(std::uint8_t level);
QByteArray flipPage(Page page);
QByteArray backlight(bool on);
QByteArray beep(); // 23 01; 23 02 and 23 03 are the beep-on-touch settings
QByteArray selectFont(Font font);
QByteArray setTextPage(Page page);
QByteArray setTextColumn(Column column);
QByteArray putCharacter(std::uint8_t character);

// A string travels in pieces as the operator types: 26 with its first
// character, then each further character alone, then 0D to end it.
QByteArray stringStart(std::uint8_t firstCharacter);
QByteArray stringByte(std::uint8_t character);
QByteArray stringEnd();

} // namespace lumivor::protocol
