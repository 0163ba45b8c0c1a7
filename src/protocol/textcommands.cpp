#include "protocol/textcommands.h"

#include "protocol/commandbytes.h"

namespace lumivor::protocol {

using detail::commandBytes;

namespace {
constexpr std::uint8_t clearCode = 0x01;
constexpr std::uint8_t wholeScreen = 0x08;

constexpr std::uint8_t onOff(bool on)
{
    return on ? 0x01 : 0x00;
}
} // namespace

QString displayModeCaption(DisplayMode mode)
{
    switch (mode) {
    case DisplayMode::Normal:
        return QStringLiteral("Normal");
    case DisplayMode::Reverse:
        return QStringLiteral("Reverse");
    case DisplayMode::TopNormalBottomReverse:
        return QStringLiteral("Top Normal Bottom Reverse");
    case DisplayMode::TopReverseBottomNormal:
        return QStringLiteral("Top Reverse Bottom Normal");
    case DisplayMode::RightReverseLeftNormal:
        return QStringLiteral("Right Reverse Left Normal");
    case DisplayMode::DiagonalBackslash:
        return QStringLiteral("Diagonal [\\]");
    case DisplayMode::DiagonalSlash:
        return QStringLiteral("Diagonal [/]");
    }
    return QString();
}

QString fontCaption(Font font)
{
    switch (font) {
    case Font::Pix7:
        return QStringLiteral("7 Pix");
    case Font::Pix14:
        return QStringLiteral("14 Pix");
    case Font::Pix14Bold:
        return QStringLiteral("14 Pix Bold");
    case Font::Pix22:
        return QStringLiteral("22 Pix");
    }
    return QString();
}

QByteArray clearPage(Page page)
{
    return commandBytes({clearCode, page.value()});
}

QByteArray clearScreen()
{
    return commandBytes({clearCode, wholeScreen});
}

QByteArray displayPower(bool on)
{
    return commandBytes({0x0D, onOff(on)});
}

QByteArray displayMode(DisplayMode mode)
{
    return commandBytes({0x0B, static_cast<std::uint8_t>(mode)});
}

QByteArray contrast(std::uint8_t level)
{
    return commandBytes({0x10, level});
}

QByteArray flipPage(Page page)
{
    return commandBytes({0x1D, page.value()});
}

QByteArray backlight(bool on)
{
    return commandBytes({0x09, onOff(on)});
}

QByteArray beep()
{
    return commandBytes({0x23, 0x01});
}

QByteArray selectFont(Font font)
{
    return commandBytes({0x15, static_cast<std::uint8_t>(font)});
}

QByteArray setTextPage(Page page)
{
    return commandBytes({0x06, page.value()});
}

QByteArray setTextColumn(Column column)
{
    return commandBytes({0x12, column.value()});
}

QByteArray putCharacter(std::uint8_t character)
{
    return commandBytes({0x02, character});
}

QByteArray stringStart(std::uint8_t firstCharacter)
{
    return commandBytes({0x26, firstCharacter});
}

QByteArray stringByte(std::uint8_t character)
{
    return commandBytes({character});
}

QByteArray stringEnd()
{
    return commandBytes({0x0D});
}

} // namespace lumivor::protocol
