#include "fonts/fontdata.h"
#include "model/drawing.h"
#include "model/flash.h"
#include "model/fontarea.h"
#include "model/textwriter.h"

#include <algorithm>
#include <array>
#include <string>

// The flash content of a new controller: the fonts in screens 1 to 5 and a few screens to
// show off, so that an animation or a screen load does something visible from the start.
namespace kestrin {

namespace {

constexpr int kFirstAnimationScreen = 6;
constexpr int kAnimationFrames = 5;
constexpr int kFontSampleScreen = 11;
constexpr int kShapesScreen = 12;

void fillDisc(FrameBuffer& frame, Point centre, int radius)
{
    for (int dy = -radius; dy <= radius; ++dy) {
        int dx = 0;
        while ((dx + 1) * (dx + 1) + dy * dy <= radius * radius)
            ++dx;
        drawLine(frame, {centre.x - dx, centre.y + dy}, {centre.x + dx, centre.y + dy}, Ink::Set);
    }
}

void write(FrameBuffer& frame, const FontArea& fonts, int font, int page, int column,
           const std::string& text)
{
    TextWriter writer;
    writer.setFont(font);
    writer.setPage(page);
    writer.setColumn(column);
    writer.putText(frame, fonts, text);
}

// Screens 6 to 10: a ball bouncing across under the title, one position per screen.
FrameBuffer bouncingBallFrame(const FontArea& fonts, int frameIndex)
{
    static constexpr std::array<int, kAnimationFrames> kHeights = {50, 36, 28, 36, 50};
    FrameBuffer frame;
    drawRectangle(frame, {0, 0}, {kWidth - 1, kHeight - 1}, Ink::Set);
    write(frame, fonts, 3, 0, 6, "Kestrin 240x64");
    write(frame, fonts, 1, 6, 186, "screen " + std::to_string(kFirstAnimationScreen + frameIndex));
    drawLine(frame, {4, 59}, {kWidth - 5, 59}, Ink::Set);
    fillDisc(frame, {30 + 45 * frameIndex, kHeights[static_cast<std::size_t>(frameIndex)]}, 7);
    return frame;
}

FrameBuffer fontSampleScreen(const FontArea& fonts)
{
    FrameBuffer frame;
    write(frame, fonts, 1, 0, 0, "7 Pix: ABC abc 0123 \xC4\xD6\xDC \xE4\xF6\xFC\xDF \xA9");
    write(frame, fonts, 2, 1, 0, "14 Pix: Kestrin \xE9\xE8\xEA");
    write(frame, fonts, 3, 3, 0, "14 Pix Bold: 240x64");
    write(frame, fonts, 4, 5, 0, "22 Pix \xC5\xE6\xF8");
    return frame;
}

FrameBuffer shapesScreen()
{
    FrameBuffer frame;
    for (int x = 0; x < 120; x += 12)
        drawLine(frame, {0, kHeight - 1}, {x, 0}, Ink::Set);
    drawCircle(frame, {150, 32}, 28, Ink::Set);
    drawCircle(frame, {150, 32}, 14, Ink::Set);
    drawRectangle(frame, {186, 6}, {234, 57}, Ink::Set);
    fillRectangle(frame, {194, 14}, {226, 49}, Ink::Set);
    fillRectangle(frame, {140, 22}, {210, 42}, Ink::Invert);
    return frame;
}

} // namespace

Flash makeDefaultFlash()
{
    Flash flash;
    for (std::size_t i = 0; i < kFontAreaSize; ++i)
        flash.writeByte(kFontAreaOffset + i, kDefaultFontArea[i]);
    const FontArea fonts(kDefaultFontArea);
    for (int i = 0; i < kAnimationFrames; ++i)
        flash.saveScreen(kFirstAnimationScreen + i, bouncingBallFrame(fonts, i));
    flash.saveScreen(kFontSampleScreen, fontSampleScreen(fonts));
    flash.saveScreen(kShapesScreen, shapesScreen());
    return flash;
}

} // namespace kestrin
