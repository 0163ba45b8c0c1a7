#include "model/drawing.h"

#include <algorithm>
#include <cstdlib>

namespace kestrin {

void plot(FrameBuffer& frame, Point at, Ink ink)
{
    switch (ink) {
    case Ink::Set:
        frame.setPixel(at.x, at.y, true);
        break;
    case Ink::Clear:
        frame.setPixel(at.x, at.y, false);
        break;
    case Ink::Invert:
        frame.invertPixel(at.x, at.y);
        break;
    }
}

// Bresenham's line: every step moves one pixel along the longer axis, so the line has
// no gaps and both end points are drawn.
void drawLine(FrameBuffer& frame, Point from, Point to, Ink ink)
{
    const int dx = std::abs(to.x - from.x);
    const int dy = -std::abs(to.y - from.y);
    const int stepX = from.x < to.x ? 1 : -1;
    const int stepY = from.y < to.y ? 1 : -1;
    int error = dx + dy;
    Point at = from;
    for (;;) {
        plot(frame, at, ink);
        if (at.x == to.x && at.y == to.y)
            return;
        const int doubled = 2 * error;
        if (doubled >= dy) {
            error += dy;
            at.x += stepX;
        }
        if (doubled <= dx) {
            error += dx;
            at.y += stepY;
        }
    }
}

void drawRectangle(FrameBuffer& frame, Point corner, Point opposite, Ink ink)
{
    const int left = std::min(corner.x, opposite.x);
    const int right = std::max(corner.x, opposite.x);
    const int top = std::min(corner.y, opposite.y);
    const int bottom = std::max(corner.y, opposite.y);
    // Each edge pixel is touched once, so an inverting outline stays closed at the corners.
    for (int x = left; x <= right; ++x) {
        plot(frame, {x, top}, ink);
        if (bottom != top)
            plot(frame, {x, bottom}, ink);
    }
    for (int y = top + 1; y < bottom; ++y) {
        plot(frame, {left, y}, ink);
        if (right != left)
            plot(frame, {right, y}, ink);
    }
}

void fillRectangle(FrameBuffer& frame, Point corner, Point opposite, Ink ink)
{
    const int left = std::max(0, std::min(corner.x, opposite.x));
    const int right = std::min(kWidth - 1, std::max(corner.x, opposite.x));
    const int top = std::max(0, std::min(corner.y, opposite.y));
    const int bottom = std::min(kHeight - 1, std::max(corner.y, opposite.y));
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            plot(frame, {x, y}, ink);
}

// Midpoint circle: eight symmetric points per step; the four axis points are the centre
// plus or minus the radius, so the circle reaches exactly radius pixels from its centre.
void drawCircle(FrameBuffer& frame, Point centre, int radius, Ink ink)
{
    int x = radius;
    int y = 0;
    int error = 1 - radius;
    while (x >= y) {
        const Point points[] = {{x, y},   {y, x},   {-y, x}, {-x, y},
                                {-x, -y}, {-y, -x}, {y, -x}, {x, -y}};
        for (const Point& offset : points)
            plot(frame, {centre.x + offset.x, centre.y + offset.y}, ink);
        ++y;
        if (error < 0) {
            error += 2 * y + 1;
        } else {
            --x;
            error += 2 * (y - x) + 1;
        }
    }
}

} // namespace kestrin
