#pragma once

#include "model/framebuffer.h"

namespace kestrin {

struct Point
{
    int x = 0;
    int y = 0;
};

// What a shape does to the pixels it covers.
enum class Ink { Set, Clear, Invert };

void plot(FrameBuffer& frame, Point at, Ink ink);

// Shapes accept end points in any order and anywhere in 0..255; what falls off the
// screen is cut away.
void drawLine(FrameBuffer& frame, Point from, Point to, Ink ink);
void drawRectangle(FrameBuffer& frame, Point corner, Point opposite, Ink ink);
void fillRectangle(FrameBuffer& frame, Point corner, Point opposite, Ink ink);
void drawCircle(FrameBuffer& frame, Point centre, int radius, Ink ink);

} // namespace kestrin
