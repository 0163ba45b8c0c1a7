#pragma once

#include <QObject>

#include <cstdint>

class QSocketNotifier;
class QTimer;

namespace kestrin {

// Now on the monotonic clock, in nanoseconds (CLOCK_MONOTONIC where there is one).
std::int64_t monotonicNs();

// A one-shot timer that wakes the event loop at an absolute time on the monotonic clock.
// On Linux it is a timerfd with an absolute deadline, watched by the event loop like any
// other descriptor: it fires within tens of microseconds of the deadline, which a line
// at 115200 baud (87 µs per byte) needs. Elsewhere, or with Resolution::Milliseconds, it
// is a Qt timer, which waits whole milliseconds and rounds every wait up.
class WakeTimer : public QObject
{
    Q_OBJECT

public:
    enum class Resolution { Finest, Milliseconds };

    explicit WakeTimer(Resolution resolution = Resolution::Finest, QObject* parent = nullptr);
    ~WakeTimer() override;

    // Fires timeout() once, not before 'deadlineNs' (monotonicNs() time); a deadline already
    // past fires at the next turn of the event loop. Replaces any earlier deadline.
    void startAt(std::int64_t deadlineNs);
    void stop();
    bool isActive() const { return active_; }
    // Whether the sub-millisecond clockwork is in use.
    bool isFine() const { return timerFd_ >= 0; }

signals:
    void timeout();

private:
    void fire();
    void onTimerFd();

    int timerFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* coarseTimer_ = nullptr;
    bool active_ = false;
};

} // namespace kestrin
