#include "model/flash.h"

#include <algorithm>

namespace kestrin {

std::span<const std::uint8_t, kScreenBytes> Flash::screen(int number) const
{
    return std::span<const std::uint8_t, kScreenBytes>(
        bytes_.data() + kScreenBytes * static_cast<std::size_t>(number), kScreenBytes);
}

void Flash::saveScreen(int number, const FrameBuffer& frame)
{
    const auto source = frame.bytes();
    std::copy(source.begin(), source.end(),
              bytes_.begin() + static_cast<std::ptrdiff_t>(kScreenBytes * number));
}

std::span<const std::uint8_t> Flash::fontArea() const
{
    return std::span<const std::uint8_t>(bytes_).subspan(kFontAreaOffset, kFontAreaSize);
}

std::string Flash::hexBlock(int block) const
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * kFlashBlockSize);
    const std::size_t start = kFlashBlockSize * static_cast<std::size_t>(block);
    for (std::size_t i = start; i < start + kFlashBlockSize; ++i) {
        text.push_back(kDigits[bytes_[i] >> 4]);
        text.push_back(kDigits[bytes_[i] & 0x0F]);
    }
    return text;
}

} // namespace kestrin
