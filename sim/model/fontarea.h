#pragma once

#include "model/framebuffer.h"

#include <cstdint>
#include <optional>
#include <span>

namespace kestrin {

// The four fonts live in flash screens 1 to 5 (the font area), and text is drawn from
// there, so writing those screens changes the fonts. Layout of the area:
//   offset 0: four descriptors of 4 bytes, fonts 1 to 4: advance (cell width in pixels),
//             0, offset of the font's first glyph record (2 bytes, big-endian)
//   glyph records, 191 per font, back to back, for the codes 0x20-0x7E then 0xA0-0xFF:
//             byte 0 = x of the ink box in the cell (high nibble) and its width (low nibble),
//             byte 1 = y of the box, byte 2 = its height, then width x height bits, row by
//             row, most significant bit first, padded to a whole byte.
// Whatever the area holds, drawing stays inside the character cell and inside the area.
class FontArea
{
public:
    static constexpr int kFontCount = 4;

    explicit FontArea(std::span<const std::uint8_t> area) : area_(area) {}

    // Font numbers are 1 (7 pixels), 2 (14), 3 (14 bold) and 4 (22).
    static bool validFont(int font) { return font >= 1 && font <= kFontCount; }
    // Text lines are whole pages: 1 page for the 7-pixel font, 2 for 14, 3 for 22.
    static int linePages(int font);
    static std::optional<int> glyphIndex(std::uint8_t code);

    int advance(int font) const;
    // Replaces the cell whose top-left pixel is (left, top) by the glyph of code.
    void drawCharacter(FrameBuffer& frame, int font, std::uint8_t code, int left, int top) const;

private:
    struct Glyph
    {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        std::size_t bitsOffset = 0;
    };

    std::optional<Glyph> findGlyph(int font, int index) const;
    std::optional<Glyph> readRecord(std::size_t offset) const;
    bool bit(std::size_t bitsOffset, int index) const;

    std::span<const std::uint8_t> area_;
};

} // namespace kestrin
