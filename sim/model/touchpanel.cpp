#include "model/touchpanel.h"

#include "model/geometry.h"

#include <algorithm>
#include <cstdio>

namespace kestrin {

namespace {

// A calibration whose two touches lie closer together than this (or the wrong way round)
// would stretch small errors over the whole screen, so it is refused.
constexpr int kMinimumSpreadX = 100;
constexpr int kMinimumSpreadY = 20;

int mapAxis(int panel, int touchedA, int touchedB, int targetA, int targetB)
{
    const int span = touchedB - touchedA;
    const int scaled = (panel - touchedA) * (targetB - targetA);
    // Rounded to the nearest pixel, halves away from zero.
    const int offset = (2 * scaled + (scaled >= 0 ? span : -span)) / (2 * span);
    return targetA + offset;
}

std::string coordinateReport(Point at)
{
    char text[24];
    std::snprintf(text, sizeof text, "T:%d,%d!", at.x, at.y);
    return text;
}

std::string keyReport(int key)
{
    char text[16];
    std::snprintf(text, sizeof text, "K:%02d!", key);
    return text;
}

} // namespace

bool TouchPanel::keyEnabled(int key) const
{
    const int row = (key - 1) / kKeyColumns;
    const int column = (key - 1) % kKeyColumns;
    return (keyMask_[static_cast<std::size_t>(row)] & (0x20 >> column)) != 0;
}

std::optional<Point> TouchPanel::calibrationTarget() const
{
    if (!calibrationStep_)
        return std::nullopt;
    return kCalibrationTargets[static_cast<std::size_t>(*calibrationStep_)];
}

int TouchPanel::keyAt(Point screen, bool flipped)
{
    int column = std::clamp(screen.x * kKeyColumns / kWidth, 0, kKeyColumns - 1);
    int row = std::clamp(screen.y * kKeyRows / kHeight, 0, kKeyRows - 1);
    if (flipped) {
        column = kKeyColumns - 1 - column;
        row = kKeyRows - 1 - row;
    }
    return row * kKeyColumns + column + 1;
}

Point TouchPanel::toScreen(Point panel) const
{
    const auto& [a, b] = kCalibrationTargets;
    const int x = mapAxis(panel.x, touched_[0].x, touched_[1].x, a.x, b.x);
    const int y = mapAxis(panel.y, touched_[0].y, touched_[1].y, a.y, b.y);
    return {std::clamp(x, 0, kWidth - 1), std::clamp(y, 0, kHeight - 1)};
}

std::optional<TouchResult> TouchPanel::press(Point panel)
{
    if (calibrating())
        return calibrationPress(panel);
    const Point screen = toScreen(panel);
    switch (mode_) {
    case TouchMode::Off:
        return std::nullopt;
    case TouchMode::Coordinates:
        return result(coordinateReport(screen));
    case TouchMode::Keypad:
    case TouchMode::KeypadFlipped: {
        const int key = keyAt(screen, mode_ == TouchMode::KeypadFlipped);
        if (!keyEnabled(key))
            return std::nullopt;
        return result(keyReport(key));
    }
    }
    return std::nullopt;
}

std::optional<TouchResult> TouchPanel::calibrationPress(Point panel)
{
    if (*calibrationStep_ == 0) {
        firstTouch_ = panel;
        calibrationStep_ = 1;
        return TouchResult{{}, beepOnTouch_};
    }
    calibrationStep_.reset();
    const bool spreadEnough =
        panel.x - firstTouch_.x >= kMinimumSpreadX && panel.y - firstTouch_.y >= kMinimumSpreadY;
    if (!spreadEnough)
        return result("C:ERR!");
    touched_ = {firstTouch_, panel};
    return result("C:OK!");
}

} // namespace kestrin
