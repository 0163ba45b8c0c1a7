#pragma once

#include "link/job.h"

namespace lumivor::link {

class ClockTimer;
class Connection;
class Dialogs;
class LinkView;

// "Change Baud Rate": after the operator confirms the hardware precaution,
// tells the controller its new rate (0F nn, at the old rate), closes the port
// and, after a pause in which the controller switches, connects again at the
// new rate. A controller that did not switch shows as "Controller not found".
//
// It holds the link from the command to the reconnection, so nothing else is
// sent, and no detection starts, while the controller switches; the window
// keeps painting throughout.
class BaudRateChange : public Job
{
    Q_OBJECT
public:
    // Long enough for the controller to take the command off the line and
    // switch its UART, with room to spare; nothing is sent during it.
    static constexpr int switchPauseMs = 500;
    // Margin after the line time of the command before the port closes.
    static constexpr int drainMarginMs = 20;

    BaudRateChange(LinkService& link, Connection& connection, LinkView& view, Dialogs& dialogs,
                   QObject* parent = nullptr);

    // Click of "OK" in "Change Baud Rate", with the text of the rate list.
    void run(const QString& rateText);
    // Whether 0F nn has gone out in this run: from then on the controller
    // runs at the new rate, whatever happens to the job.
    bool rateCommandSent() const { return commandSent_; }

private:
    void closeAtOldRate();
    void reconnect();
    void stopSteps() override;

    Connection& connection_;
    LinkView& view_;
    Dialogs& dialogs_;
    ClockTimer* drained_ = nullptr;
    ClockTimer* switched_ = nullptr;
    int newRateIndex_ = -1;
    bool commandSent_ = false;
};

} // namespace lumivor::link
