#pragma once

#include "link/dialogs.h"
#include "link/serialport.h"

#include <QObject>
#include <QString>

#include <optional>

namespace lumivor::link {

class ClockTimer;
class LinkService;
class LinkView;

// Connecting to and detecting the controller, and disconnecting again.
//
// A connect attempt opens the chosen port at the chosen rate, sends the
// identification query 49 44 and reads the reply every 50 ms (Timer4) until
// it shows a controller ("6" or "!") or the 1500 ms time-out (Timer1) closes
// the port and reports "Controller not found". A reply that carries "!" hands
// over the controller's contrast ("head,contrast!rest") and, 500 ms later,
// starts the response poll. The attempt runs on timers: the click returns at
// once and the window stays responsive throughout.
class Connection : public QObject
{
    Q_OBJECT
public:
    static constexpr int detectionTimeoutMs = 1500;
    static constexpr int detectionStepMs = 50;

    // Why a connect attempt ended without a controller.
    enum class Failure {
        CannotOpen, // the port could not be opened (missing, in use, no permission)
        NotFound,   // nothing answered within the detection time-out
        Lost,       // the port failed while in use
    };
    Q_ENUM(Failure)

    Connection(LinkService& link, LinkView& view, Dialogs& dialogs, QObject* parent = nullptr);

    // Click of the Connect/Disconnect button.
    void toggle();
    // The connect action at the rate now selected (the baud-rate change ends
    // with it).
    void connectAgain();
    // The text of the baud-rate change's confirmation: set by a detection
    // whose reply carried the controller's settings.
    QString baudChangePrompt() const { return baudChangePrompt_; }
    // The detection reply as far as it came.
    QString detectionReply() const { return reply_; }
    // When an operation holds the link, asks the operator whether to stop it
    // before `action` ("disconnect", "exit") and stops it on Yes. True when
    // the link is free to go on.
    bool stopOperationBefore(const QString& action);
    // The window closes: stop everything and close the port, sending nothing.
    void shutDown();

    static QString portErrorMessage(const QString& lead, const SerialPortError& error);

signals:
    // A connect attempt, or the link, ended without a controller. The port's
    // error, when there was one (not for NotFound). Emitted before the
    // operator is told.
    void failed(lumivor::link::Connection::Failure failure,
                const std::optional<lumivor::link::SerialPortError>& error);

private:
    void connectBranch();
    void disconnectBranch();
    void errorPath(const SerialPortError& error);
    void detectionStep();
    void detected();
    void takeOverSettings(const QString& reply);
    void detectionTimedOut();
    void linkDropped(const SerialPortError& error, bool operationReports);
    void stopDetection();
    void tellFailure(Failure failure, const std::optional<SerialPortError>& error,
                     const QString& message, const QString& title, Dialogs::Icon icon);

    LinkService& link_;
    LinkView& view_;
    Dialogs& dialogs_;
    ClockTimer* timeout_ = nullptr; // Timer1
    ClockTimer* step_ = nullptr;    // Timer4
    QString reply_;                 // the detection reply so far
    QString baudChangePrompt_;
};

} // namespace lumivor::link
