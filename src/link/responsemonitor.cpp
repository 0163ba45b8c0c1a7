#include "link/responsemonitor.h"

#include "link/linkservice.h"

namespace lumivor::link {

QString receivedText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

ResponseMonitor::ResponseMonitor(LinkService& link, QObject* parent) : QObject(parent), link_(link)
{
    poll_ = link.clock().createTimer(this);
    poll_->setObjectName(QStringLiteral("Timer2"));
    poll_->setInterval(milliseconds(250));
    poll_->setSingleShot(false);
    settle_ = link.clock().createTimer(this);
    settle_->setObjectName(QStringLiteral("Timer3"));
    settle_->setInterval(milliseconds(500));
    connect(poll_, &ClockTimer::timeout, this, &ResponseMonitor::pollTick);
    connect(settle_, &ClockTimer::timeout, this, &ResponseMonitor::settleTick);
    connect(&link, &LinkService::busyChanged, this, &ResponseMonitor::linkBusy);
    connect(&link, &LinkService::disconnected, this, &ResponseMonitor::stop);
}

void ResponseMonitor::settleThenPoll()
{
    settle_->start();
}

void ResponseMonitor::startPolling()
{
    if (link_.isBusy())
        resumeWhenFree_ = true;
    else if (link_.isOpen())
        poll_->start();
}

void ResponseMonitor::stop()
{
    poll_->stop();
    settle_->stop();
    resumeWhenFree_ = false;
}

void ResponseMonitor::linkBusy(bool busy)
{
    if (busy && poll_->isActive()) {
        poll_->stop();
        resumeWhenFree_ = true;
    } else if (!busy && resumeWhenFree_) {
        resumeWhenFree_ = false;
        if (link_.isOpen())
            poll_->start();
    }
}

// Each chunk replaces what the box showed; a message split across two ticks
// shows in two parts, two messages within one tick show together.
void ResponseMonitor::pollTick()
{
    const ReadOutcome chunk = link_.read(OnFailure::DropLink);
    if (chunk.done() && !chunk.value.isEmpty())
        emit received(receivedText(chunk.value));
}

// Throws away what the controller still sends right after its detection
// reply, so the poll starts on a clean buffer. An operation that took the
// link meanwhile owns what arrived; the poll then starts when it is done.
void ResponseMonitor::settleTick()
{
    if (link_.isBusy()) {
        resumeWhenFree_ = true;
        return;
    }
    if (!link_.read(OnFailure::DropLink).done())
        return;
    emit discarded();
    poll_->start();
}

} // namespace lumivor::link
