#include "protocol/rates.h"

#include <array>

namespace lumivor::protocol::rates {

namespace {
constexpr std::array<std::int32_t, count> bps = {2400,  4800,  9600,  14400, 19200,
                                                 28800, 38400, 57600, 115200};

bool inTable(int index) { return index >= 0 && index < count; }
} // namespace

QString rateText(int index)
{
    return inTable(index) ? QString::number(bps[static_cast<std::size_t>(index)]) : QString();
}

QString settingsText(int index)
{
    return inTable(index) ? rateText(index) + QStringLiteral(",N,8,1") : QString();
}

std::optional<std::int32_t> bitsPerSecond(int index)
{
    if (!inTable(index))
        return std::nullopt;
    return bps[static_cast<std::size_t>(index)];
}

QStringList rateTexts()
{
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts << rateText(i);
    return texts;
}

std::optional<int> indexOfRateText(const QString& text)
{
    for (int i = 0; i < count; ++i)
        if (rateText(i) == text)
            return i;
    return std::nullopt;
}

} // namespace lumivor::protocol::rates
