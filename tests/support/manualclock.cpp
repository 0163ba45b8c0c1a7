#include "manualclock.h"

namespace lumivor::testing {

namespace {

class ManualTimer final : public link::ClockTimer
{
public:
    using ClockTimer::ClockTimer;
    void fireNow() { fire(); }

private:
    void arm() override {}
    void disarm() override {}
};

} // namespace

link::ClockTimer* ManualClock::createTimer(QObject* parent)
{
    auto* timer = new ManualTimer(*this, parent);
    timers_.append(timer);
    return timer;
}

link::ClockTimer* ManualClock::nextDue(link::Nanoseconds until) const
{
    link::ClockTimer* next = nullptr;
    for (const QPointer<link::ClockTimer>& timer : timers_) {
        if (!timer || !timer->isActive() || timer->deadline() > until)
            continue;
        if (!next || timer->deadline() < next->deadline())
            next = timer;
    }
    return next;
}

void ManualClock::advance(link::Nanoseconds step)
{
    const link::Nanoseconds until = now_ + step;
    while (link::ClockTimer* timer = nextDue(until)) {
        now_ = std::max(now_, timer->deadline());
        static_cast<ManualTimer*>(timer)->fireNow();
    }
    now_ = until;
}

} // namespace lumivor::testing
