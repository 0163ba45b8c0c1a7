#include "model/fontarea.h"

#include "model/drawing.h"

namespace kestrin {

namespace {

constexpr std::size_t kDescriptorSize = 4;
constexpr std::size_t kRecordHeaderSize = 3;
constexpr int kGlyphCount = 191;
constexpr int kMaxAdvance = 16;
// Used when a descriptor holds no sensible width, so the text position still moves.
constexpr int kNominalAdvance[FontArea::kFontCount] = {5, 7, 7, 10};

std::size_t bitBytes(int width, int height)
{
    return static_cast<std::size_t>(width * height + 7) / 8;
}

} // namespace

int FontArea::linePages(int font)
{
    return font == 4 ? 3 : font == 1 ? 1 : 2;
}

std::optional<int> FontArea::glyphIndex(std::uint8_t code)
{
    if (code >= 0x20 && code <= 0x7E)
        return code - 0x20;
    if (code >= 0xA0)
        return code - 0xA0 + (0x7F - 0x20);
    return std::nullopt;
}

int FontArea::advance(int font) const
{
    const std::size_t at = kDescriptorSize * static_cast<std::size_t>(font - 1);
    const int stored = at < area_.size() ? area_[at] : 0;
    return stored >= 1 && stored <= kMaxAdvance ? stored : kNominalAdvance[font - 1];
}

std::optional<FontArea::Glyph> FontArea::readRecord(std::size_t offset) const
{
    if (offset + kRecordHeaderSize > area_.size())
        return std::nullopt;
    Glyph glyph;
    glyph.x = area_[offset] >> 4;
    glyph.width = area_[offset] & 0x0F;
    glyph.y = area_[offset + 1];
    glyph.height = area_[offset + 2];
    glyph.bitsOffset = offset + kRecordHeaderSize;
    if (glyph.bitsOffset + bitBytes(glyph.width, glyph.height) > area_.size())
        return std::nullopt;
    return glyph;
}

// Records have different lengths, so a glyph is found by walking the font's records;
// 191 short steps at most, each one checked against the end of the area.
std::optional<FontArea::Glyph> FontArea::findGlyph(int font, int index) const
{
    const std::size_t at = kDescriptorSize * static_cast<std::size_t>(font - 1);
    std::size_t offset = (std::size_t{area_[at + 2]} << 8) | area_[at + 3];
    for (int i = 0; i < kGlyphCount; ++i) {
        const std::optional<Glyph> glyph = readRecord(offset);
        if (!glyph || i == index)
            return glyph;
        offset = glyph->bitsOffset + bitBytes(glyph->width, glyph->height);
    }
    return std::nullopt;
}

bool FontArea::bit(std::size_t bitsOffset, int index) const
{
    const std::uint8_t byte = area_[bitsOffset + static_cast<std::size_t>(index / 8)];
    return (byte & (0x80 >> (index % 8))) != 0;
}

void FontArea::drawCharacter(FrameBuffer& frame, int font, std::uint8_t code, int left,
                             int top) const
{
    const int cellWidth = advance(font);
    const int cellHeight = linePages(font) * kPageHeight;
    fillRectangle(frame, {left, top}, {left + cellWidth - 1, top + cellHeight - 1}, Ink::Clear);
    const std::optional<int> index = glyphIndex(code);
    if (!index || area_.size() < kDescriptorSize * kFontCount)
        return;
    const std::optional<Glyph> glyph = findGlyph(font, *index);
    if (!glyph)
        return;
    for (int row = 0; row < glyph->height; ++row) {
        for (int column = 0; column < glyph->width; ++column) {
            const int x = glyph->x + column;
            const int y = glyph->y + row;
            if (x < cellWidth && y < cellHeight &&
                bit(glyph->bitsOffset, row * glyph->width + column))
                frame.setPixel(left + x, top + y, true);
        }
    }
}

} // namespace kestrin
