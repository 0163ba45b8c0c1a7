#pragma once

#include <cstdint>

namespace kestrin {

// The seven modes of 0B: which part of the panel shows the display RAM reversed.
enum class DisplayMode : std::uint8_t {
    Normal,
    Reverse,
    TopNormalBottomReverse,
    TopReverseBottomNormal,
    RightReverseLeftNormal,
    DiagonalBackslash, // [\]: the triangle below the diagonal from top left to bottom right
    DiagonalSlash,     // [/]: the triangle below the diagonal from bottom left to top right
};

inline constexpr int kDisplayModeCount = 7;

// What the panel shows besides the display RAM.
struct DisplaySettings
{
    DisplayMode mode = DisplayMode::Normal;
    bool poweredOn = true;
    bool backlightOn = true;
    int contrast = 128;
};

// Whether the mode shows the pixel (x, y) reversed.
bool reversedByMode(DisplayMode mode, int x, int y);

} // namespace kestrin
