#pragma once

#include <QByteArray>

#include <cstdint>
#include <initializer_list>

namespace lumivor::protocol::detail {

// One command sequence from its bytes, in order. Zero bytes and bytes above 0x7F
// are kept as they are: the sequence is binary, never text.
inline QByteArray commandBytes(std::initializer_list<std::uint8_t> bytes)
{
    QByteArray sequence;
    sequence.reserve(static_cast<qsizetype>(bytes.size()));
    for (const std::uint8_t byte : bytes)
        sequence.append(static_cast<char>(byte));
    return sequence;
}

} // namespace lumivor::protocol::detail
