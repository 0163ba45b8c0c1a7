#include "link/clock.h"

#include <QTimer>

#include <algorithm>
#include <climits>

namespace lumivor::link {

ClockTimer::ClockTimer(Clock& clock, QObject* parent) : QObject(parent), clock_(clock) {}

void ClockTimer::start()
{
    startAt(clock_.now() + interval_);
}

void ClockTimer::start(Nanoseconds interval)
{
    interval_ = interval;
    start();
}

void ClockTimer::startAt(Nanoseconds deadline)
{
    deadline_ = deadline;
    active_ = true;
    arm();
}

void ClockTimer::stop()
{
    active_ = false;
    disarm();
}

// A repeating timer keeps its rhythm on the clock; one that fell behind by
// more than an interval starts again from now rather than firing in a burst.
void ClockTimer::fire()
{
    if (!active_)
        return;
    if (singleShot_) {
        active_ = false;
    } else {
        const Nanoseconds now = clock_.now();
        deadline_ = std::max(deadline_ + interval_, now);
        arm();
    }
    emit timeout();
}

namespace {

class SystemTimer final : public ClockTimer
{
public:
    SystemTimer(Clock& clock, QObject* parent) : ClockTimer(clock, parent)
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] { fire(); });
    }

private:
    void arm() override
    {
        const Nanoseconds wait = std::max(Nanoseconds(0), deadline() - clock_.now());
        // Rounded up: a timer never fires before its deadline.
        const auto ms = std::chrono::ceil<milliseconds>(wait).count();
        timer_.start(static_cast<int>(std::min<qint64>(ms, INT_MAX)));
    }
    void disarm() override { timer_.stop(); }

    QTimer timer_;
};

} // namespace

SystemClock::SystemClock() : start_(std::chrono::steady_clock::now()) {}

Nanoseconds SystemClock::now() const
{
    return std::chrono::steady_clock::now() - start_;
}

ClockTimer* SystemClock::createTimer(QObject* parent)
{
    return new SystemTimer(*this, parent);
}

} // namespace lumivor::link
