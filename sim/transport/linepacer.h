#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrin {

// Paces one direction of the line at its real speed: 10 bits per byte (start bit, 8 data
// bits, stop bit). A byte counts as delivered when its stop bit is over. Times are in
// nanoseconds on a monotonic clock.
class LinePacer
{
public:
    void setRate(int bitsPerSecond);
    std::int64_t byteTime() const { return byteTimeNs_; }

    // Bytes joined the queue; if the line was idle it starts sending them now. An idle
    // line banks no time: a byte takes a full byte time after it is handed over.
    void startIfIdle(std::int64_t now, std::size_t queuedBefore);
    // How many of 'queued' bytes have crossed the line by 'now'; those are taken.
    std::size_t takeDue(std::int64_t now, std::size_t queued);
    // When the next of the queued bytes will have crossed the line.
    std::int64_t nextDueAt() const { return lineBusyUntil_ + byteTimeNs_; }

private:
    std::int64_t byteTimeNs_ = 10'000'000'000 / 9600;
    std::int64_t lineBusyUntil_ = 0;
};

} // namespace kestrin
