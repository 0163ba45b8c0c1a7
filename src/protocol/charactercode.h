#pragma once

#include <QChar>

#include <cstdint>
#include <optional>

namespace lumivor::protocol {

// The byte a typed character goes out as: its code in the system's single-byte
// code page (Latin-1 on Linux, the ANSI code page on Windows). nullopt when the
// code page has no such character, so it cannot be sent.
std::optional<std::uint8_t> singleByteCode(QChar character);

} // namespace lumivor::protocol
