#pragma once

#include "link/clock.h"

#include <QList>
#include <QPointer>

namespace lumivor::testing {

// A clock that moves only when a test steps it: advance() fires every timer
// whose deadline falls within the step, in deadline order, each at its own
// moment, so a 1500 ms time-out runs in no time and exactly on schedule.
// Timers started at a moment that has passed fire on the next advance (an
// advance of 0 fires them).
class ManualClock final : public link::Clock
{
public:
    link::Nanoseconds now() const override { return now_; }
    link::ClockTimer* createTimer(QObject* parent) override;

    void advance(link::Nanoseconds step);
    void advance(int ms) { advance(std::chrono::milliseconds(ms)); }
    // Steps in `stepMs` until the condition holds or `limitMs` has passed on
    // the clock; whether it held.
    template<typename Condition> bool advanceUntil(Condition condition, int limitMs, int stepMs = 1)
    {
        for (int elapsed = 0; !condition(); elapsed += stepMs) {
            if (elapsed >= limitMs)
                return false;
            advance(stepMs);
        }
        return true;
    }

private:
    link::ClockTimer* nextDue(link::Nanoseconds until) const;

    link::Nanoseconds now_{0};
    QList<QPointer<link::ClockTimer>> timers_;
};

} // namespace lumivor::testing
