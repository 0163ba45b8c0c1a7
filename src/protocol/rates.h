#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace lumivor::protocol {

// The controller's line rates. The index (0 to 8) fills both rate lists and is
// the argument byte of the baud-rate command 0F nn. Framing is always 8N1.
namespace rates {

inline constexpr int count = 9;
inline constexpr int defaultIndex = 2; // 9600

// The rate as the lists show it ("9600"), or an empty text outside 0..8.
QString rateText(int index);
// The line settings text for the port ("9600,N,8,1"), or empty outside 0..8.
QString settingsText(int index);
// Bits per second of the index, or nullopt outside 0..8.
std::optional<std::int32_t> bitsPerSecond(int index);
// The nine list entries in index order.
QStringList rateTexts();
// The index of a list text ("57600" -> 7), or nullopt when it is not one of the nine.
std::optional<int> indexOfRateText(const QString& text);

} // namespace rates
} // namespace lumivor::protocol
