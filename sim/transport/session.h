#pragma once

#include "model/controller.h"
#include "transport/linepacer.h"
#include "transport/waketimer.h"

#include <QByteArray>
#include <QObject>

#include <deque>
#include <string>

class QSocketNotifier;

namespace kestrin {

// Connects a Controller to the master side of a pseudo-terminal: reads what the console
// sends together with the rate its port is set to, drives the controller's clock, and
// writes the controller's replies back. With line timing both directions take the time the
// bytes would take on a real line at the controller's rate.
class Session : public QObject
{
    Q_OBJECT

public:
    static constexpr std::size_t kQueueLimit = 64 * 1024;

    Session(Controller& controller, int masterFd, bool lineTiming, QObject* parent = nullptr);

    const Controller& controller() const { return controller_; }
    // The rate the console has set on its port (0 when unknown).
    int consoleRate() const;
    Millis now() const { return nowNs() / 1'000'000; }

    void touch(Point panel);

signals:
    // Bytes as they arrived from the console, understood or not.
    void bytesReceived(const QByteArray& bytes);
    // Anything the controller shows may have changed.
    void changed();

private:
    struct Incoming
    {
        std::uint8_t byte;
        int rate;
    };

    void readFromLine();
    void writeToLine();
    void tick();
    void deliver(const std::uint8_t* bytes, std::size_t count, int rate);
    void deliverDueIncoming();
    void collectOutput();
    void releaseDueOutgoing();
    void schedule();
    // Nanoseconds since the session started, on the monotonic clock.
    std::int64_t nowNs() const { return monotonicNs() - startNs_; }

    Controller& controller_;
    int masterFd_;
    bool lineTiming_;
    const std::int64_t startNs_;
    // Wakes the session for the next byte due on the line or the controller's next
    // deadline, whichever comes first.
    WakeTimer timer_;
    QSocketNotifier* readNotifier_;
    QSocketNotifier* writeNotifier_;
    LinePacer inbound_;
    LinePacer outbound_;
    std::deque<Incoming> incoming_;
    std::string outgoing_;
    // Outgoing bytes whose line time is over, waiting only for room in the pseudo-terminal.
    std::size_t released_ = 0;
};

} // namespace kestrin
