#pragma once

#include "model/framebuffer.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrin {

// The controller's flash: 256 screens of 1920 bytes, screen n at offset 1920 n, read and
// written by the PC in 2048 blocks of 240 bytes.
class Flash
{
public:
    Flash() : bytes_(kFlashSize, 0) {}

    static bool validScreen(int screen) { return screen >= 0 && screen < kScreenCount; }

    std::span<const std::uint8_t, kScreenBytes> screen(int number) const;
    void saveScreen(int number, const FrameBuffer& frame);
    std::span<const std::uint8_t> fontArea() const;

    // A block as the controller sends it: 480 lowercase hexadecimal digits, high digit first.
    std::string hexBlock(int block) const;
    void writeByte(std::size_t offset, std::uint8_t value) { bytes_.at(offset) = value; }

    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// The content a new controller ships with: the fonts in screens 1 to 5 and demonstration
// screens from 6 on (see sim/README.md).
Flash makeDefaultFlash();

} // namespace kestrin
