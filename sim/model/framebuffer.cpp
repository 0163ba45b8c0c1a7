#include "model/framebuffer.h"

#include <algorithm>

namespace kestrin {

namespace {

std::uint8_t rowBit(int y)
{
    return static_cast<std::uint8_t>(1u << (y % kPageHeight));
}

} // namespace

bool FrameBuffer::pixel(int x, int y) const
{
    if (!onScreen(x, y))
        return false;
    return (byteAt(y / kPageHeight, x) & rowBit(y)) != 0;
}

void FrameBuffer::setPixel(int x, int y, bool on)
{
    if (!onScreen(x, y))
        return;
    std::uint8_t& byte = bytes_[index(y / kPageHeight, x)];
    byte = on ? (byte | rowBit(y)) : (byte & static_cast<std::uint8_t>(~rowBit(y)));
}

void FrameBuffer::invertPixel(int x, int y)
{
    if (onScreen(x, y))
        bytes_[index(y / kPageHeight, x)] ^= rowBit(y);
}

void FrameBuffer::clearPage(int page)
{
    std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(index(page, 0)), kWidth, 0);
}

void FrameBuffer::invertPage(int page)
{
    for (int column = 0; column < kWidth; ++column)
        bytes_[index(page, column)] = static_cast<std::uint8_t>(~bytes_[index(page, column)]);
}

void FrameBuffer::assign(std::span<const std::uint8_t, kScreenBytes> screen)
{
    std::copy(screen.begin(), screen.end(), bytes_.begin());
}

} // namespace kestrin
