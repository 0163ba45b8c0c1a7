#pragma once

#include "protocol/rates.h"

#include <cstdint>
#include <optional>

namespace lumivor::protocol {

// The controller's screen: 240 columns by 64 rows, cut into 8 pages of 8 rows.
inline constexpr int screenWidth = 240;
inline constexpr int screenHeight = 64;
inline constexpr int rowsPerPage = 8;
inline constexpr int pageCount = screenHeight / rowsPerPage;

// An argument byte that only some values fit, such as a page (0 to 7). A value
// can be made in two ways only: from(int) at run time, which says nullopt for a
// value outside the range, or the constructor with a constant, which refuses to
// compile for such a value. So a command can never carry an out-of-range byte.
template<int Lowest, int Highest, typename Tag> class BoundedByte
{
    static_assert(0 <= Lowest && Lowest <= Highest && Highest <= 255);

public:
    static constexpr int lowest = Lowest;
    static constexpr int highest = Highest;

    static constexpr bool contains(int value) { return value >= Lowest && value <= Highest; }

    static constexpr std::optional<BoundedByte> from(int value)
    {
        if (!contains(value))
            return std::nullopt;
        return BoundedByte(checked, value);
    }

    // Page(3) compiles; Page(8) stops the build, because the throw is not a constant.
    consteval explicit BoundedByte(int value) : byte(static_cast<std::uint8_t>(value))
    {
        if (!contains(value))
            throw "argument byte out of range";
    }

    constexpr std::uint8_t value() const { return byte; }

    friend constexpr bool operator==(BoundedByte, BoundedByte) = default;

private:
    struct Checked
    {
    };
    static constexpr Checked checked{};
    constexpr BoundedByte(Checked, int value) : byte(static_cast<std::uint8_t>(value)) {}

    std::uint8_t byte;
};

using Page = BoundedByte<0, pageCount - 1, struct PageTag>;
using Column = BoundedByte<0, screenWidth - 1, struct ColumnTag>;
using RateIndex = BoundedByte<0, rates::count - 1, struct RateIndexTag>;

} // namespace lumivor::protocol
