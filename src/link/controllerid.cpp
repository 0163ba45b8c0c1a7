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

void ControllerIdQuery::readReply()
{
    const ReadOutcome reply = lease().read(OnFailure::Silent);
    end(reply.done() ? Outcome::Finished : Outcome::Failed);
    if (!reply.done())
        return;
    const std::optional<QString> id = protocol::controllerIdOf(receivedText(reply.value));
    if (!id)
        return; // nothing came: the box stays empty, the ID box keeps its text
    emit idRead(*id);
}

void ControllerIdQuery::stopSteps()
{
    pause_->stop();
}

} // namespace lumivor::link
