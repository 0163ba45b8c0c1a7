#include "link/job.h"

#include "link/linkservice.h"

#include <QPointer>

namespace lumivor::link {

Job::Job(LinkService& link, QString purpose, QObject* parent)
    : QObject(parent), link_(link), purpose_(std::move(purpose))
{
    timeLimit_ = link.clock().createTimer(this);
    connect(timeLimit_, &ClockTimer::timeout, this,
            [this] { end(Outcome::TimedOut, timeOutDetail()); });
}

Job::~Job() = default;

Clock& Job::clock() const
{
    return link_.clock();
}

bool Job::begin()
{
    if (running_)
        return false;
    const QPointer<Job> self(this);
    lease_ = link_.lease(
        purpose_,
        [self] {
            if (self)
                self->cancel();
        },
        [self](const SerialPortError& error) {
            if (self && self->running_)
                self->end(Outcome::Failed, self->lostDetail(error));
        });
    running_ = lease_ != nullptr;
    return running_;
}

void Job::cancel()
{
    if (running_)
        end(Outcome::Cancelled);
}

void Job::awaitWithin(Nanoseconds limit)
{
    if (running_)
        timeLimit_->start(limit);
}

void Job::end(Outcome outcome, const QString& detail)
{
    if (!running_)
        return;
    running_ = false;
    timeLimit_->stop();
    stopSteps();
    lease_.reset();
    emit ended(outcome, detail);
}

QString Job::timeOutDetail() const
{
    return tr("The controller did not answer in time.");
}

QString Job::lostDetail(const SerialPortError& error) const
{
    return tr("The port failed (error %1: %2).").arg(error.number()).arg(error.description());
}

} // namespace lumivor::link
