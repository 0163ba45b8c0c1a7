#pragma once

#include "link/job.h"

#include <QString>

namespace lumivor::link {

class ClockTimer;

// "Get ID": clears the response box, writes the ID query 28 00, waits 50 ms
// and reads once. The identifier is the text before the first "!" ("N/A"
// when the reply begins with it). Any failure, or nothing read, ends it
// silently. It holds the link for its pause, so the response poll cannot take
// the reply first (which would show the raw reply and then wipe it).
class ControllerIdQuery : public Job
{
    Q_OBJECT
public:
    static constexpr int replyPauseMs = 50;

    explicit ControllerIdQuery(LinkService& link, QObject* parent = nullptr);

    void run();

signals:
    // The response box is cleared at the start, even with the port closed.
    void responseCleared();
    // The identifier read; both the response box and the ID box show it.
    void idRead(const QString& id);

private:
    void readReply();
    void stopSteps() override;

    ClockTimer* pause_ = nullptr;
};

} // namespace lumivor::link
