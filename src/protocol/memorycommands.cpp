#include "protocol/memorycommands.h"

#include "protocol/commandbytes.h"
#include "protocol/textcommands.h"

namespace lumivor::protocol {

using detail::commandBytes;

namespace {
constexpr std::uint8_t flashCode = 0x29;

std::uint8_t rowMask(const std::array<bool, keypadKeys>& checked, int row)
{
    std::uint8_t mask = 0;
    for (int column = 0; column < keypadColumns; ++column) {
        const bool isChecked = checked[static_cast<std::size_t>(row * keypadColumns + column)];
        if (!isChecked)
            mask |= static_cast<std::uint8_t>(0x20 >> column);
    }
    return mask;
}
} // namespace

QByteArray loadScreen(std::uint8_t screen)
{
    return commandBytes({0x08, screen});
}

QByteArray saveScreen(std::uint8_t screen)
{
    return commandBytes({0x11, screen});
}

QByteArray readFlash()
{
    return commandBytes({flashCode, 0x01});
}

QByteArray nextBlock()
{
    return commandBytes({flashCode});
}

QByteArray writeFlash()
{
    return commandBytes({flashCode, 0x02});
}

QByteArray touchMode(TouchMode mode)
{
    return commandBytes({0x05, static_cast<std::uint8_t>(mode)});
}

QByteArray keypadMode(KeypadMode mode)
{
    return commandBytes({0x1C, static_cast<std::uint8_t>(mode)});
}

QByteArray keyMask(const std::array<bool, keypadKeys>& checked)
{
    return commandBytes({0x25, rowMask(checked, 0), rowMask(checked, 1), rowMask(checked, 2)});
}

QByteArray beepOnTouch(bool beep)
{
    const std::uint8_t setting = beep ? 0x02 : 0x03;
    return commandBytes({0x23, setting});
}

QByteArray calibrate()
{
    return commandBytes({0x19, 0x01});
}

QByteArray runAnimation(std::uint8_t delay, std::uint8_t startScreen, std::uint8_t stopScreen)
{
    return commandBytes({0x1B, delay, startScreen, stopScreen});
}

QByteArray stopAnimation()
{
    return clearScreen();
}

} // namespace lumivor::protocol
