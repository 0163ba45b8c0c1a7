#include "model/animation.h"

#include <algorithm>
#include <cstdlib>

namespace kestrin {

void Animation::start(int delay, int first, int last, Millis now)
{
    running_ = true;
    first_ = first;
    last_ = last;
    current_ = first;
    // A delay of 0 would spin; the shortest step is one unit.
    period_ = std::max(1, delay) * kDelayUnit;
    nextStepAt_ = now + period_;
}

std::optional<int> Animation::advance(Millis now)
{
    if (!running_ || now < nextStepAt_)
        return std::nullopt;
    // Steps missed while nobody asked are skipped at once rather than replayed.
    const Millis steps = 1 + (now - nextStepAt_) / period_;
    nextStepAt_ += steps * period_;
    const int length = std::abs(last_ - first_) + 1;
    const int direction = first_ <= last_ ? 1 : -1;
    const int position = static_cast<int>((std::abs(current_ - first_) + steps) % length);
    current_ = first_ + direction * position;
    return current_;
}

std::optional<Millis> Animation::deadline() const
{
    if (!running_)
        return std::nullopt;
    return nextStepAt_;
}

} // namespace kestrin
