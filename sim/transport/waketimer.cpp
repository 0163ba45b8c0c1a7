#include "transport/waketimer.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <limits>

#ifdef Q_OS_LINUX
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>
#endif

namespace kestrin {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;
constexpr std::int64_t kNsPerMs = 1'000'000;

} // namespace

std::int64_t monotonicNs()
{
#ifdef Q_OS_LINUX
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * kNsPerSecond + now.tv_nsec;
#else
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

WakeTimer::WakeTimer(Resolution resolution, QObject* parent) : QObject(parent)
{
#ifdef Q_OS_LINUX
    if (resolution == Resolution::Finest)
        timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timerFd_ >= 0) {
        notifier_ = new QSocketNotifier(timerFd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &WakeTimer::onTimerFd);
        return;
    }
#else
    Q_UNUSED(resolution);
#endif
    coarseTimer_ = new QTimer(this);
    coarseTimer_->setSingleShot(true);
    coarseTimer_->setTimerType(Qt::PreciseTimer);
    connect(coarseTimer_, &QTimer::timeout, this, &WakeTimer::fire);
}

WakeTimer::~WakeTimer()
{
#ifdef Q_OS_LINUX
    delete notifier_;
    if (timerFd_ >= 0)
        ::close(timerFd_);
#endif
}

void WakeTimer::startAt(std::int64_t deadlineNs)
{
    active_ = true;
#ifdef Q_OS_LINUX
    if (timerFd_ >= 0) {
        // An all-zero time would disarm the timer instead of firing at once.
        const std::int64_t at = std::max<std::int64_t>(deadlineNs, 1);
        itimerspec setting{};
        setting.it_value.tv_sec = static_cast<time_t>(at / kNsPerSecond);
        setting.it_value.tv_nsec = static_cast<long>(at % kNsPerSecond);
        timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &setting, nullptr);
        return;
    }
#endif
    const std::int64_t waitNs = std::max<std::int64_t>(0, deadlineNs - monotonicNs());
    const std::int64_t waitMs = (waitNs + kNsPerMs - 1) / kNsPerMs;
    coarseTimer_->start(
        static_cast<int>(std::min<std::int64_t>(waitMs, std::numeric_limits<int>::max())));
}

void WakeTimer::stop()
{
    active_ = false;
#ifdef Q_OS_LINUX
    if (timerFd_ >= 0) {
        const itimerspec disarmed{};
        timerfd_settime(timerFd_, 0, &disarmed, nullptr);
        return;
    }
#endif
    coarseTimer_->stop();
}

void WakeTimer::onTimerFd()
{
#ifdef Q_OS_LINUX
    std::uint64_t expirations = 0;
    // Nothing to read when the timer was re-armed after it had become readable.
    if (::read(timerFd_, &expirations, sizeof expirations) != sizeof expirations)
        return;
#endif
    fire();
}

void WakeTimer::fire()
{
    if (!active_)
        return;
    active_ = false;
    emit timeout();
}

} // namespace kestrin
