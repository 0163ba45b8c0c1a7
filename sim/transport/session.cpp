#include "transport/session.h"

#include "transport/linerate.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <unistd.h>

namespace kestrin {

namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr std::int64_t kNsPerMs = 1'000'000;

} // namespace

Session::Session(Controller& controller, int masterFd, bool lineTiming, QObject* parent)
    : QObject(parent), controller_(controller), masterFd_(masterFd), lineTiming_(lineTiming),
      startNs_(monotonicNs()),
      readNotifier_(new QSocketNotifier(masterFd, QSocketNotifier::Read, this)),
      writeNotifier_(new QSocketNotifier(masterFd, QSocketNotifier::Write, this))
{
    connect(&timer_, &WakeTimer::timeout, this, &Session::tick);
    connect(readNotifier_, &QSocketNotifier::activated, this, &Session::readFromLine);
    connect(writeNotifier_, &QSocketNotifier::activated, this, &Session::writeToLine);
    writeNotifier_->setEnabled(false);
}

int Session::consoleRate() const
{
    return configuredLineRate(masterFd_);
}

void Session::touch(Point panel)
{
    controller_.touch(panel, now());
    collectOutput();
    schedule();
    emit changed();
}

void Session::readFromLine()
{
    std::uint8_t buffer[kReadChunk];
    const ssize_t count = ::read(masterFd_, buffer, sizeof buffer);
    if (count <= 0)
        return;
    const auto size = static_cast<std::size_t>(count);
    // The rate is read as the bytes arrive: they were sent at the rate the port had then.
    const int rate = consoleRate();
    emit bytesReceived(QByteArray(reinterpret_cast<const char*>(buffer), static_cast<int>(size)));
    if (!lineTiming_) {
        deliver(buffer, size, rate);
    } else {
        inbound_.setRate(controller_.ownRate());
        inbound_.startIfIdle(nowNs(), incoming_.size());
        for (std::size_t i = 0; i < size; ++i)
            incoming_.push_back({buffer[i], rate});
        // Reading stops while the queue is full, so the console's writes back up as they
        // would against a slow line.
        readNotifier_->setEnabled(incoming_.size() < kQueueLimit);
    }
    collectOutput();
    schedule();
}

void Session::deliver(const std::uint8_t* bytes, std::size_t count, int rate)
{
    controller_.receive(std::span<const std::uint8_t>(bytes, count), rate, now());
    emit changed();
}

void Session::deliverDueIncoming()
{
    std::size_t due = inbound_.takeDue(nowNs(), incoming_.size());
    while (due > 0) {
        std::uint8_t run[kReadChunk];
        const int rate = incoming_.front().rate;
        std::size_t length = 0;
        while (length < due && length < kReadChunk && incoming_.front().rate == rate) {
            run[length++] = incoming_.front().byte;
            incoming_.pop_front();
        }
        deliver(run, length, rate);
        due -= length;
    }
    readNotifier_->setEnabled(incoming_.size() < kQueueLimit);
}

void Session::collectOutput()
{
    const std::string output = controller_.takeOutput();
    // At another rate than the console's the bytes would reach it as garbage; a console
    // that is not listening at all gets nothing either.
    if (output.empty() || consoleRate() != controller_.ownRate())
        return;
    const std::size_t room = kQueueLimit - std::min(kQueueLimit, outgoing_.size());
    const std::size_t accepted = std::min(room, output.size());
    if (lineTiming_) {
        outbound_.setRate(controller_.ownRate());
        outbound_.startIfIdle(nowNs(), outgoing_.size() - released_);
    }
    outgoing_.append(output, 0, accepted);
    if (!lineTiming_)
        released_ = outgoing_.size();
    writeToLine();
}

void Session::releaseDueOutgoing()
{
    released_ += outbound_.takeDue(nowNs(), outgoing_.size() - released_);
    writeToLine();
}

void Session::writeToLine()
{
    if (released_ > 0) {
        const ssize_t written = ::write(masterFd_, outgoing_.data(), released_);
        if (written > 0) {
            outgoing_.erase(0, static_cast<std::size_t>(written));
            released_ -= static_cast<std::size_t>(written);
        }
    }
    // Wait for room only when the pseudo-terminal is full, not for every write.
    writeNotifier_->setEnabled(released_ > 0);
}

void Session::tick()
{
    controller_.advanceTo(now());
    if (lineTiming_) {
        deliverDueIncoming();
        releaseDueOutgoing();
    }
    collectOutput();
    emit changed();
    schedule();
}

void Session::schedule()
{
    std::int64_t next = std::numeric_limits<std::int64_t>::max();
    if (const std::optional<Millis> deadline = controller_.nextDeadline())
        next = *deadline * kNsPerMs;
    if (lineTiming_ && !incoming_.empty())
        next = std::min(next, inbound_.nextDueAt());
    if (lineTiming_ && outgoing_.size() > released_)
        next = std::min(next, outbound_.nextDueAt());
    if (next == std::numeric_limits<std::int64_t>::max()) {
        timer_.stop();
        return;
    }
    timer_.startAt(startNs_ + next);
}

} // namespace kestrin
