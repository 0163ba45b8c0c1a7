#pragma once

#include "model/geometry.h"

#include <array>
#include <cstdint>
#include <span>

namespace kestrin {

// The display RAM: 8 pages of 240 data bytes; bit 0 of a byte is the top row of its page.
class FrameBuffer
{
public:
    static bool onScreen(int x, int y) { return x >= 0 && x < kWidth && y >= 0 && y < kHeight; }

    bool pixel(int x, int y) const;
    // Off-screen pixels are ignored, so shapes may reach beyond the edges.
    void setPixel(int x, int y, bool on);
    void invertPixel(int x, int y);

    std::uint8_t byteAt(int page, int column) const { return bytes_[index(page, column)]; }
    void setByte(int page, int column, std::uint8_t value) { bytes_[index(page, column)] = value; }

    void clear() { bytes_.fill(0); }
    void clearPage(int page);
    void invertPage(int page);

    std::span<const std::uint8_t, kScreenBytes> bytes() const { return bytes_; }
    void assign(std::span<const std::uint8_t, kScreenBytes> screen);

    bool operator==(const FrameBuffer&) const = default;

private:
    static std::size_t index(int page, int column)
    {
        return static_cast<std::size_t>(page) * kWidth + static_cast<std::size_t>(column);
    }

    std::array<std::uint8_t, kScreenBytes> bytes_{};
};

} // namespace kestrin
