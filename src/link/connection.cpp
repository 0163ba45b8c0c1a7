#include "link/connection.h"

#include "link/dialogs.h"
#include "link/linkservice.h"
#include "link/linkview.h"
#include "link/responsemonitor.h"
#include "product.h"
#include "protocol/linkcommands.h"
#include "protocol/rates.h"

namespace lumivor::link {

namespace {
QString disconnectedStatus()
{
    return Connection::tr("Controller Disconnected ");
}
} // namespace

Connection::Connection(LinkService& link, LinkView& view, Dialogs& dialogs, QObject* parent)
    : QObject(parent), link_(link), view_(view), dialogs_(dialogs)
{
    timeout_ = link.clock().createTimer(this);
    timeout_->setObjectName(QStringLiteral("Timer1"));
    timeout_->setInterval(milliseconds(detectionTimeoutMs));
    step_ = link.clock().createTimer(this);
    step_->setObjectName(QStringLiteral("Timer4"));
    step_->setInterval(milliseconds(detectionStepMs));
    connect(timeout_, &ClockTimer::timeout, this, &Connection::detectionTimedOut);
    connect(step_, &ClockTimer::timeout, this, &Connection::detectionStep);
    connect(&link, &LinkService::dropped, this, &Connection::linkDropped);
}

QString Connection::portErrorMessage(const QString& lead, const SerialPortError& error)
{
    return lead + tr("\nError code: ") + QString::number(error.number()) + tr("\nDescription: ") +
           error.description();
}

void Connection::toggle()
{
    if (link_.state() == LinkState::Connected) {
        if (!stopOperationBefore(tr("disconnect")))
            return;
        view_.setPortChoiceEnabled(false);
        disconnectBranch();
        return;
    }
    // An operation holding a closed link (the baud-rate change waiting for
    // the controller to switch) lets nothing start, a detection included.
    if (link_.isBusy())
        return;
    view_.setPortChoiceEnabled(false);
    connectBranch();
}

void Connection::connectAgain()
{
    view_.setPortChoiceEnabled(false);
    connectBranch();
}

bool Connection::stopOperationBefore(const QString& action)
{
    if (!link_.isBusy())
        return true;
    const QString question =
        tr("%1 is still running.\nStop it and %2? ").arg(link_.busyWith(), action);
    if (dialogs_.message(question, product::title(), Dialogs::Icon::Exclamation,
                         Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return false;
    return link_.stopOperation();
}

void Connection::shutDown()
{
    stopDetection();
    link_.stopOperation();
    link_.monitor().stop();
    link_.close();
}

void Connection::disconnectBranch()
{
    stopDetection();
    link_.monitor().stop();
    link_.close();
    view_.setConnectCaption(tr("Connect"));
    view_.setPortChoiceEnabled(true);
    view_.setLinkStatus(disconnectedStatus());
    view_.setControllerId(tr("N/A"));
}

// Opens the port and sends the identification query; the steps that follow
// run on Timer4 until an answer or the time-out. A second press while a
// detection waits finds the port open and takes the error path; the first
// detection goes on.
void Connection::connectBranch()
{
    const std::optional<int> number = view_.selectedPortNumber();
    if (!number) {
        errorPath(
            SerialPortError(PortErrorCode::InvalidPortNumber, tr("No COM port is selected.")));
        return;
    }
    if (const auto error =
            link_.open(*number, protocol::rates::settingsText(view_.selectedRateIndex()))) {
        errorPath(*error);
        return;
    }
    link_.setState(LinkState::Detecting);
    reply_.clear();
    view_.setResponseText(QString());
    timeout_->start();
    if (link_.write(protocol::identify(), OnFailure::DropLink).done())
        step_->start();
}

void Connection::detectionStep()
{
    const ReadOutcome got = link_.read(OnFailure::DropLink);
    if (got.failed() || !link_.isOpen())
        return; // dropped, and said so
    reply_ += receivedText(got.value);
    view_.setResponseText(reply_);
    if (protocol::isDetectionAnswer(reply_))
        detected();
    else
        step_->start();
}

void Connection::detected()
{
    stopDetection();
    link_.setState(LinkState::Connected);
    view_.setConnectCaption(tr("Disconnect"));
    view_.setLinkStatus(tr("Connected: COM") + QString::number(link_.portNumber()) +
                        QStringLiteral(" ") + link_.settings());
    if (protocol::carriesSettings(reply_))
        takeOverSettings(reply_);
}

// The reply is "head,contrast!rest". A contrast that cannot be used is
// skipped silently; the connection counts as made all the same.
void Connection::takeOverSettings(const QString& reply)
{
    view_.setResponseText(QString());
    if (const auto contrast = protocol::reportedContrast(reply))
        view_.takeOverContrast(*contrast);
    link_.monitor().settleThenPoll();
    baudChangePrompt_ = tr("Remove jumper #1 from J5 and click OK.");
}

void Connection::errorPath(const SerialPortError& error)
{
    view_.setPortChoiceEnabled(true);
    tellFailure(Failure::CannotOpen, error,
                portErrorMessage(tr("Can't open the selected COM Port."), error),
                tr("Critical Error"), Dialogs::Icon::Critical);
}

void Connection::tellFailure(Failure failure, const std::optional<SerialPortError>& error,
                             const QString& message, const QString& title, Dialogs::Icon icon)
{
    emit failed(failure, error);
    dialogs_.message(message, title, icon, Dialogs::Buttons::Ok);
}

// What the operator sees of a detection that got no answer: the response box
// keeps whatever part of an answer had come.
void Connection::detectionTimedOut()
{
    stopDetection();
    view_.setLinkStatus(disconnectedStatus());
    link_.monitor().stop();
    link_.close();
    view_.setConnectCaption(tr("Connect"));
    view_.setPortChoiceEnabled(true);
    view_.setLinkStatus(tr("Controller Disconnected"));
    tellFailure(Failure::NotFound, std::nullopt, tr("Controller not found"), tr("Demo mode"),
                Dialogs::Icon::Information);
}

// The same end state as a press of "Disconnect", then one message unless the
// operation that held the link reports the failure itself.
void Connection::linkDropped(const SerialPortError& error, bool operationReports)
{
    stopDetection();
    view_.setConnectCaption(tr("Connect"));
    view_.setPortChoiceEnabled(true);
    view_.setLinkStatus(disconnectedStatus());
    view_.setControllerId(tr("N/A"));
    const QString message =
        portErrorMessage(tr("The connection to the selected COM Port was lost."), error);
    if (operationReports)
        emit failed(Failure::Lost, error);
    else
        tellFailure(Failure::Lost, error, message, tr("Critical Error"), Dialogs::Icon::Critical);
}

void Connection::stopDetection()
{
    timeout_->stop();
    step_->stop();
}

} // namespace lumivor::link
