#pragma once

#include "link/serialport.h"

#include <QObject>
#include <QString>

namespace lumivor::link {

class ClockTimer;
class Dialogs;
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

    Connection(LinkService& link, LinkView& view, Dialogs& dialogs, QObject* parent = nullptr);

    // Click of the Connect/Disconnect button.
    void toggle();
    // The connect action at the rate now selected (the baud-rate change ends
    // with it).
    void connectAgain();
    // The text of the baud-rate change's confirmation: set by a detection
    // whose reply carried the controller's settings.
    QString baudChangePrompt() const { return baudChangePrompt_; }
    // When an operation holds the link, asks the operator whether to stop it
    // before `action` ("disconnect", "exit") and stops it on Yes. True when
    // the link is free to go on.
    bool stopOperationBefore(const QString& action);
    // The window closes: stop everything and close the port, sending nothing.
    void shutDown();

    static QString portErrorMessage(const QString& lead, const SerialPortError& error);

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
    void showDisconnected();

    LinkService& link_;
    LinkView& view_;
    Dialogs& dialogs_;
    ClockTimer* timeout_ = nullptr; // Timer1
    ClockTimer* step_ = nullptr;    // Timer4
    QString reply_;                 // the detection reply so far
    QString baudChangePrompt_;
};

} // namespace lumivor::link
