#pragma once

#include "link/clock.h"
#include "link/job.h"

#include <QByteArray>
#include <QList>

#include <vector>

namespace lumivor::link {

// One write of a paced sequence, and how long the line stays quiet after its
// bytes have gone out (time the controller needs to carry the command out).
struct PacedWrite
{
    QByteArray bytes;
    Nanoseconds pauseAfter{0};
};

// When each write is due, counted from the start: a write goes out at the
// moment the line has carried every byte before it, plus the pauses after
// them (10 bits per byte at the rate). Never earlier, so the transmit buffer
// never fills; never later than the clock allows, so the whole sequence takes
// its line time and not the sum of every timer's slack.
std::vector<Nanoseconds> pacedSchedule(const QList<PacedWrite>& writes, int bitsPerSecond);

// A job that hands a sequence of writes to the port no faster than the line
// carries them, each as its own write, on the schedule above against the
// clock. At each tick it writes every write that has fallen due (a late tick
// catches up at once). It holds the link from the first write to the last;
// cancelled, it stops after the write it is in.
class PacedWriter : public Job
{
    Q_OBJECT
public:
    PacedWriter(LinkService& link, QString purpose, QObject* parent = nullptr);

    // Starts writing at the link's current rate; false when the link refused.
    bool start(QList<PacedWrite> writes);
    int written() const { return next_; }

private:
    void tick();
    void stopSteps() override;

    ClockTimer* timer_ = nullptr;
    QList<PacedWrite> writes_;
    std::vector<Nanoseconds> due_;
    Nanoseconds started_{0};
    int next_ = 0;
};

} // namespace lumivor::link
