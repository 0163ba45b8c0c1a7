#pragma once

#include "model/decoder.h"

#include <optional>

namespace kestrin {

// The built-in animation: shows the stored screens from 'first' to 'last' (downwards when
// first > last) one after the other, 'delay' units of 10 ms each, over and over.
class Animation
{
public:
    static constexpr Millis kDelayUnit = 10;

    void start(int delay, int first, int last, Millis now);
    void stop() { running_ = false; }
    bool running() const { return running_; }
    int currentScreen() const { return current_; }

    // The screen to show if the animation has moved on since the last call.
    std::optional<int> advance(Millis now);
    std::optional<Millis> deadline() const;

private:
    bool running_ = false;
    int first_ = 0;
    int last_ = 0;
    int current_ = 0;
    Millis period_ = kDelayUnit;
    Millis nextStepAt_ = 0;
};

} // namespace kestrin
