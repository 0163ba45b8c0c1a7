#include "link/controllerid.h"

#include "link/linkservice.h"
#include "link/responsemonitor.h"
#include "protocol/linkcommands.h"

namespace lumivor::link {

ControllerIdQuery::ControllerIdQuery(LinkService& link, QObject* parent)
    : Job(link, tr("The controller ID query"), parent)
{
    pause_ = clock().createTimer(this);
    pause_->setObjectName(QStringLiteral("tmrGetIdPause"));
    pause_->setInterval(milliseconds(replyPauseMs));
    connect(pause_, &ClockTimer::timeout, this, &ControllerIdQuery::readReply);
}

void ControllerIdQuery::run()
{
    emit responseCleared(); // even with the port closed
    if (!begin())
        return;
    if (!lease().write(protocol::queryId(), OnFailure::Silent).done()) {
        end(Outcome::Failed);
        return;
    }
    pause_->start();
}

// The identifier is told before the job ends, so that whoever hears the end
// knows whether one came.
void ControllerIdQuery::readReply()
{
    const ReadOutcome reply = lease().read(OnFailure::Silent);
    const std::optional<QString> id =
        reply.done() ? protocol::controllerIdOf(receivedText(reply.value)) : std::nullopt;
    if (id)
        emit idRead(*id); // nothing read: the box stays empty, the ID box keeps its text
    end(reply.done() ? Outcome::Finished : Outcome::Failed);
}

void ControllerIdQuery::stopSteps()
{
    pause_->stop();
}

} // namespace lumivor::link
