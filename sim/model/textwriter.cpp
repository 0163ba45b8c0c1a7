#include "model/textwriter.h"

#include "model/commandcodes.h"
#include "model/geometry.h"

#include <algorithm>

namespace kestrin {

void TextWriter::setPage(int page)
{
    if (page >= 0 && page < kPageCount)
        page_ = page;
}

void TextWriter::setColumn(int column)
{
    if (column >= 0 && column < kWidth)
        column_ = column;
}

void TextWriter::setFont(int font)
{
    if (FontArea::validFont(font))
        font_ = font;
}

void TextWriter::home()
{
    page_ = 0;
    column_ = 0;
}

void TextWriter::newLine()
{
    column_ = 0;
    page_ = (page_ + FontArea::linePages(font_)) % kPageCount;
}

void TextWriter::backspace(FrameBuffer& frame, const FontArea& fonts)
{
    column_ = std::max(0, column_ - fonts.advance(font_));
    fonts.drawCharacter(frame, font_, ' ', column_, page_ * kPageHeight);
}

void TextWriter::putCharacter(FrameBuffer& frame, const FontArea& fonts, std::uint8_t code)
{
    if (code == code::kCarriageReturn) {
        newLine();
        return;
    }
    if (code == code::kBackspace) {
        backspace(frame, fonts);
        return;
    }
    if (!FontArea::glyphIndex(code))
        return;
    const int advance = fonts.advance(font_);
    if (column_ + advance > kWidth)
        newLine();
    fonts.drawCharacter(frame, font_, code, column_, page_ * kPageHeight);
    column_ += advance;
    if (column_ >= kWidth)
        newLine();
}

void TextWriter::putText(FrameBuffer& frame, const FontArea& fonts, std::string_view text)
{
    for (const char c : text)
        putCharacter(frame, fonts, static_cast<std::uint8_t>(c));
}

void TextWriter::writeData(FrameBuffer& frame, std::uint8_t byte)
{
    frame.setByte(page_, column_, byte);
    if (++column_ == kWidth) {
        column_ = 0;
        page_ = (page_ + 1) % kPageCount;
    }
}

} // namespace kestrin
