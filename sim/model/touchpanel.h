#pragma once

#include "model/drawing.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrin {

enum class TouchMode { Off, Coordinates, Keypad, KeypadFlipped };

// What the controller does about one press: the text it sends, and whether it beeps.
struct TouchResult
{
    std::string report;
    bool beep = false;
};

// The touch screen: reporting mode, the 6 x 3 keypad with its key mask, beep on touch
// and the two-point calibration that maps panel positions to screen pixels.
class TouchPanel
{
public:
    static constexpr int kKeyColumns = 6;
    static constexpr int kKeyRows = 3;
    static constexpr std::array<Point, 2> kCalibrationTargets = {{{20, 12}, {219, 51}}};

    TouchMode mode() const { return mode_; }
    void setMode(TouchMode mode) { mode_ = mode; }
    bool beepOnTouch() const { return beepOnTouch_; }
    void setBeepOnTouch(bool on) { beepOnTouch_ = on; }

    // Three row masks, top row first; bit 5 is the leftmost key, a set bit enables the key.
    void setKeyMask(const std::array<std::uint8_t, 3>& rows) { keyMask_ = rows; }
    bool keyEnabled(int key) const;

    void startCalibration() { calibrationStep_ = 0; }
    bool calibrating() const { return calibrationStep_.has_value(); }
    std::optional<Point> calibrationTarget() const;

    // Key 1..18 under a screen position, numbered row by row from the top left; with flip
    // the keypad is turned by half a turn, for a panel mounted upside down.
    static int keyAt(Point screen, bool flipped);
    Point toScreen(Point panel) const;

    // A press at a panel position; nothing happens (and nothing is sent) when touch is
    // off or the key under it is masked.
    std::optional<TouchResult> press(Point panel);

private:
    std::optional<TouchResult> calibrationPress(Point panel);
    TouchResult result(std::string report) const { return {std::move(report), beepOnTouch_}; }

    TouchMode mode_ = TouchMode::Off;
    bool beepOnTouch_ = false;
    std::array<std::uint8_t, 3> keyMask_ = {0x3F, 0x3F, 0x3F};
    std::optional<int> calibrationStep_;
    // Panel positions touched for the two targets; equal to the targets until calibrated.
    std::array<Point, 2> touched_ = kCalibrationTargets;
    Point firstTouch_;
};

} // namespace kestrin
