#pragma once

#include "link/serialport.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace lumivor::link {

class LinkView;

// Turns received bytes into the text the boxes show: one character per byte,
// in arrival order.
QString receivedText(const QByteArray& bytes);

// The four timers that drive all reading from the controller:
//  Timer1 (1500 ms) the detection time-out, handled by the connection;
//  Timer2 (250 ms)  the response poll: each new received chunk replaces the
//                   text of the "Controller response" box;
//  Timer3 (500 ms)  the settle step after a detection with settings: discards
//                   what is pending, then starts the poll;
//  Timer4 (50 ms)   the pause tick the pause wait is built on; it runs once
//                   at start-up and stops itself on every tick.
class ResponseMonitor : public QObject
{
    Q_OBJECT
public:
    using FailureHandler = std::function<void(const SerialPortError&)>;

    ResponseMonitor(SerialPort& port, LinkView& view, QObject* parent = nullptr);

    QTimer& detectionTimeout() { return timer1_; }
    QTimer& poll() { return timer2_; }
    QTimer& settle() { return timer3_; }
    QTimer& pauseTick() { return timer4_; }

    // Stops the poll and a pending settle step: wherever the port closes.
    void stopReading();

    // Where a port that fails while being read is reported.
    void setFailureHandler(FailureHandler onFailure) { onFailure_ = std::move(onFailure); }

private:
    void pollTick();
    void settleTick();
    void setUpTimer(QTimer& timer, const char* name, int intervalMs);

    SerialPort& port_;
    LinkView& view_;
    FailureHandler onFailure_;
    QTimer timer1_;
    QTimer timer2_;
    QTimer timer3_;
    QTimer timer4_;
};

} // namespace lumivor::link
