#include "link/pacedwriter.h"

#include "link/linkservice.h"

namespace lumivor::link {

std::vector<Nanoseconds> pacedSchedule(const QList<PacedWrite>& writes, int bitsPerSecond)
{
    std::vector<Nanoseconds> due;
    due.reserve(static_cast<std::size_t>(writes.size()));
    qint64 bytesBefore = 0;
    Nanoseconds pausesBefore{0};
    for (const PacedWrite& write : writes) {
        due.push_back(lineTime(bytesBefore, bitsPerSecond) + pausesBefore);
        bytesBefore += write.bytes.size();
        pausesBefore += write.pauseAfter;
    }
    return due;
}

PacedWriter::PacedWriter(LinkService& link, QString purpose, QObject* parent)
    : Job(link, std::move(purpose), parent)
{
    timer_ = clock().createTimer(this);
    connect(timer_, &ClockTimer::timeout, this, &PacedWriter::tick);
}

bool PacedWriter::start(QList<PacedWrite> writes)
{
    if (!begin())
        return false;
    writes_ = std::move(writes);
    due_ = pacedSchedule(writes_, link().bitsPerSecond());
    next_ = 0;
    started_ = clock().now();
    tick();
    return true;
}

void PacedWriter::tick()
{
    const Nanoseconds now = clock().now();
    const int total = static_cast<int>(writes_.size());
    const int before = next_;
    while (isRunning() && next_ < total &&
           started_ + due_[static_cast<std::size_t>(next_)] <= now) {
        const WriteOutcome outcome = lease().write(writes_.at(next_).bytes, OnFailure::Report);
        if (!outcome.done()) {
            end(Outcome::Failed, outcome.error ? lostDetail(*outcome.error) : QString());
            return;
        }
        ++next_;
    }
    if (!isRunning())
        return;
    if (next_ != before)
        emit progressed(next_, total);
    if (next_ == total)
        end(Outcome::Finished);
    else
        timer_->startAt(started_ + due_[static_cast<std::size_t>(next_)]);
}

void PacedWriter::stopSteps()
{
    timer_->stop();
}

} // namespace lumivor::link
