#pragma once

#include "model/fontarea.h"
#include "model/framebuffer.h"

#include <cstdint>
#include <string_view>

namespace kestrin {

// The write position shared by text and data bytes: a page (0..7) and a pixel column
// (0..239). Text lines are whole pages high; a character that would cross the right edge
// goes to column 0 of the next line; below the last page it goes on at page 0.
class TextWriter
{
public:
    int page() const { return page_; }
    int column() const { return column_; }
    int font() const { return font_; }

    void setPage(int page);
    void setColumn(int column);
    void setFont(int font);
    void home();

    // Control codes: 0D starts the next line, 08 steps back one cell and blanks it; codes
    // without a glyph print nothing.
    void putCharacter(FrameBuffer& frame, const FontArea& fonts, std::uint8_t code);
    void putText(FrameBuffer& frame, const FontArea& fonts, std::string_view text);
    // A data byte lands at the position, which then moves one column right, and after
    // column 239 to column 0 of the next page (after page 7: page 0).
    void writeData(FrameBuffer& frame, std::uint8_t byte);

private:
    void newLine();
    void backspace(FrameBuffer& frame, const FontArea& fonts);

    int page_ = 0;
    int column_ = 0;
    int font_ = 1;
};

} // namespace kestrin
