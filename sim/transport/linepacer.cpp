#include "transport/linepacer.h"

#include <algorithm>

namespace kestrin {

void LinePacer::setRate(int bitsPerSecond)
{
    if (bitsPerSecond > 0)
        byteTimeNs_ = 10'000'000'000 / bitsPerSecond;
}

void LinePacer::startIfIdle(std::int64_t now, std::size_t queuedBefore)
{
    if (queuedBefore == 0)
        lineBusyUntil_ = std::max(lineBusyUntil_, now);
}

std::size_t LinePacer::takeDue(std::int64_t now, std::size_t queued)
{
    std::size_t due = 0;
    while (due < queued && lineBusyUntil_ + byteTimeNs_ <= now) {
        lineBusyUntil_ += byteTimeNs_;
        ++due;
    }
    return due;
}

} // namespace kestrin
