#pragma once

#include "link/serialport.h"

#include <QObject>
#include <QString>

namespace lumivor::link {

class Dialogs;
class LinkView;
class PauseWait;
class ResponseMonitor;

// Connecting to and detecting the controller, and disconnecting again.
//
// A connect attempt opens the chosen port at the chosen rate, sends the
// identification query 49 44 and reads the reply after every 50 ms pause
// until it shows a controller ("6" or "!") or the 1500 ms time-out closes the
// port and reports "Controller not found". A reply that carries "!" hands over
// the controller's contrast ("head,contrast!rest") and, 500 ms later, starts
// the response poll.
class Connection : public QObject
{
    Q_OBJECT
public:
    Connection(SerialPort& port, LinkView& view, Dialogs& dialogs, ResponseMonitor& monitor,
               PauseWait& pause, QObject* parent = nullptr);

    // Click of the Connect/Disconnect button.
    void toggle();
    // Sets the port's line settings from the "Baud Rate" list; an index
    // outside the rate table leaves them unchanged.
    void setPortSettings();
    // The text of the baud-rate change's confirmation: set by a detection
    // whose reply carried the controller's settings.
    QString baudChangePrompt() const { return baudChangePrompt_; }
    // The port failed while in use: close it, return to Disconnected and
    // tell the operator.
    void dropLink(const SerialPortError& error);

    static QString portErrorMessage(const QString& lead, const SerialPortError& error);

private:
    void connectBranch();
    void disconnectBranch();
    void errorPath(const SerialPortError& error);
    bool detect(int attempt);
    void takeOverSettings();
    void detectionTimedOut();
    void closePort();

    SerialPort& port_;
    LinkView& view_;
    Dialogs& dialogs_;
    ResponseMonitor& monitor_;
    PauseWait& pause_;
    QString baudChangePrompt_;
    int attempt_ = 0; // the detection that is waiting; a newer one supersedes it
};

} // namespace lumivor::link
