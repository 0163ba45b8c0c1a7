#pragma once

#include <QObject>

#include <chrono>

namespace lumivor::link {

using Nanoseconds = std::chrono::nanoseconds;
using std::chrono::milliseconds;

class Clock;

// A timer that runs on a Clock, in Qt's timer vocabulary: single-shot or
// repeating, timeout() when it fires. Everything in the link layer that
// pauses, times out or paces takes its timers from the clock it was given, so
// tests step a manual clock instead of waiting.
class ClockTimer : public QObject
{
    Q_OBJECT
public:
    explicit ClockTimer(Clock& clock, QObject* parent = nullptr);

    void setInterval(Nanoseconds interval) { interval_ = interval; }
    Nanoseconds interval() const { return interval_; }
    void setSingleShot(bool singleShot) { singleShot_ = singleShot; }
    bool isSingleShot() const { return singleShot_; }

    // Fires interval() from now; a running timer starts over.
    void start();
    void start(Nanoseconds interval);
    // Fires at a moment on the clock, at once (on the next turn of the event
    // loop) when it has already passed.
    void startAt(Nanoseconds deadline);
    void stop();
    bool isActive() const { return active_; }
    Nanoseconds deadline() const { return deadline_; }

signals:
    void timeout();

protected:
    // The clock calls this when the deadline has come.
    void fire();
    // How the clock arms and disarms its own machinery for this timer.
    virtual void arm() = 0;
    virtual void disarm() = 0;

    Clock& clock_;

private:
    friend class Clock;
    Nanoseconds interval_{0};
    Nanoseconds deadline_{0};
    bool singleShot_ = true;
    bool active_ = false;
};

// Monotonic time since the clock started, and timers on it.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual Nanoseconds now() const = 0;
    // A new, stopped, single-shot timer owned by parent.
    virtual ClockTimer* createTimer(QObject* parent) = 0;

protected:
    static void fire(ClockTimer& timer) { timer.fire(); }
};

// The real clock: the steady clock, with Qt's precise timers (millisecond
// resolution; pacing code catches up on late ticks by the clock, so the
// resolution never adds up over many ticks).
class SystemClock final : public Clock
{
public:
    SystemClock();
    Nanoseconds now() const override;
    ClockTimer* createTimer(QObject* parent) override;

private:
    std::chrono::steady_clock::time_point start_;
};

// Line time of a number of bytes at a rate: 10 bits each (start, 8 data, stop).
constexpr Nanoseconds lineTime(qint64 bytes, int bitsPerSecond)
{
    return bitsPerSecond > 0 ? Nanoseconds(bytes * 10 * 1'000'000'000LL / bitsPerSecond)
                             : Nanoseconds(0);
}

} // namespace lumivor::link
