#pragma once

#include <QObject>
#include <QString>

namespace lumivor::link {

class ClockTimer;
class LinkService;

// Turns received bytes into the text the boxes show: one character per byte,
// in arrival order.
QString receivedText(const QByteArray& bytes);

// The response poll and the settle step that starts it:
//  Timer2 (250 ms) the poll: each new received chunk replaces the text of the
//                  "Controller response" box;
//  Timer3 (500 ms) the settle step after a detection with settings: discards
//                  what is pending, then starts the poll.
// While an operation holds the link the poll is suspended (its reads would
// take the operation's replies) and resumes when the link is free again. The
// poll stops wherever the port closes.
class ResponseMonitor : public QObject
{
    Q_OBJECT
public:
    // The box shows at most this many of the newest characters of a chunk:
    // a flood from the controller costs neither memory nor a frozen window.
    static constexpr int shownCharacters = 1024;

    explicit ResponseMonitor(LinkService& link, QObject* parent = nullptr);

    // 500 ms from now, discard what is pending and start the poll.
    void settleThenPoll();
    // Starts the poll now (the end of a flash transfer).
    void startPolling();
    // Stops the poll and a pending settle step.
    void stop();

signals:
    // A poll read this chunk (at most the port's buffer); the box shows its
    // newest shownCharacters, the holding box all of it.
    void received(const QString& chunk);
    // The settle step threw away what was pending; the holding box empties.
    void discarded();

private:
    void pollTick();
    void settleTick();
    void linkBusy(bool busy);

    LinkService& link_;
    ClockTimer* poll_ = nullptr;   // Timer2
    ClockTimer* settle_ = nullptr; // Timer3
    bool resumeWhenFree_ = false;  // the poll was suspended by an operation
};

} // namespace lumivor::link
