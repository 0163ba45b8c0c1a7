#include "link/baudratechange.h"

#include "link/connection.h"
#include "link/dialogs.h"
#include "link/linkservice.h"
#include "link/linkview.h"
#include "link/responsemonitor.h"
#include "protocol/arguments.h"
#include "protocol/linkcommands.h"
#include "protocol/rates.h"

namespace lumivor::link {

BaudRateChange::BaudRateChange(LinkService& link, Connection& connection, LinkView& view,
                               Dialogs& dialogs, QObject* parent)
    : Job(link, tr("The baud-rate change"), parent), connection_(connection), view_(view),
      dialogs_(dialogs)
{
    drained_ = clock().createTimer(this);
    switched_ = clock().createTimer(this);
    switched_->setObjectName(QStringLiteral("tmrRateSwitch"));
    switched_->setInterval(milliseconds(switchPauseMs));
    connect(drained_, &ClockTimer::timeout, this, &BaudRateChange::closeAtOldRate);
    connect(switched_, &ClockTimer::timeout, this, &BaudRateChange::reconnect);
}

void BaudRateChange::run(const QString& rateText)
{
    if (!link().canSend() || isRunning())
        return;
    if (dialogs_.message(connection_.baudChangePrompt(), tr("Attention"),
                         Dialogs::Icon::Exclamation,
                         Dialogs::Buttons::OkCancel) != Dialogs::Answer::Ok)
        return;
    // A typed text that is none of the nine rates forms no command byte.
    const std::optional<int> index = protocol::rates::indexOfRateText(rateText.trimmed());
    const auto rate = index ? protocol::RateIndex::from(*index) : std::nullopt;
    if (!rate) {
        dialogs_.message(tr("%1 is not a rate the controller knows; choose one of %2.")
                             .arg(rateText.trimmed(),
                                  protocol::rates::rateTexts().join(QStringLiteral(", "))),
                         tr("Attention"), Dialogs::Icon::Exclamation, Dialogs::Buttons::Ok);
        return;
    }
    if (!begin())
        return;
    newRateIndex_ = rate->value();
    commandSent_ = false;
    if (!lease().write(protocol::baudRate(*rate), OnFailure::DropLink).done()) {
        end(Outcome::Failed);
        return;
    }
    commandSent_ = true;
    // The command must leave at the old rate: closing the port restores its
    // old line settings at once, so wait for the line; closing drains first.
    drained_->start(lineTime(2, link().bitsPerSecond()) + milliseconds(drainMarginMs));
}

void BaudRateChange::closeAtOldRate()
{
    link().monitor().stop();
    link().close();
    view_.selectRateIndex(newRateIndex_);
    view_.setConnectCaption(tr("Connect"));
    view_.setLinkStatus(tr("Controller Disconnected "));
    view_.focusConnect();
    switched_->start();
}

void BaudRateChange::reconnect()
{
    end(Outcome::Finished);
    connection_.connectAgain();
}

void BaudRateChange::stopSteps()
{
    drained_->stop();
    switched_->stop();
}

} // namespace lumivor::link
