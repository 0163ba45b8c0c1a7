#include "model/display.h"

#include "model/geometry.h"

namespace kestrin {

namespace {

// The diagonal runs from one corner (0 or 63 at x = 0) to the opposite one; a pixel is
// below it when y / 63 > x / 239, compared without division.
bool belowDiagonal(int x, int yFromCornerRow)
{
    return yFromCornerRow * (kWidth - 1) > x * (kHeight - 1);
}

} // namespace

bool reversedByMode(DisplayMode mode, int x, int y)
{
    switch (mode) {
    case DisplayMode::Normal:
        return false;
    case DisplayMode::Reverse:
        return true;
    case DisplayMode::TopNormalBottomReverse:
        return y >= kHeight / 2;
    case DisplayMode::TopReverseBottomNormal:
        return y < kHeight / 2;
    case DisplayMode::RightReverseLeftNormal:
        return x >= kWidth / 2;
    case DisplayMode::DiagonalBackslash:
        return belowDiagonal(x, y);
    case DisplayMode::DiagonalSlash:
        return belowDiagonal(kWidth - 1 - x, y);
    }
    return false;
}

} // namespace kestrin
