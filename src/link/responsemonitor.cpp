#include "link/responsemonitor.h"

#include "link/linkview.h"

namespace lumivor::link {

QString receivedText(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

ResponseMonitor::ResponseMonitor(SerialPort& port, LinkView& view, QObject* parent)
    : QObject(parent), port_(port), view_(view)
{
    setUpTimer(timer1_, "Timer1", 1500);
    setUpTimer(timer2_, "Timer2", 250);
    setUpTimer(timer3_, "Timer3", 500);
    setUpTimer(timer4_, "Timer4", 50);
    connect(&timer2_, &QTimer::timeout, this, &ResponseMonitor::pollTick);
    connect(&timer3_, &QTimer::timeout, this, &ResponseMonitor::settleTick);
    connect(&timer4_, &QTimer::timeout, &timer4_, &QTimer::stop);
    timer4_.start(); // ticks once after start-up, then waits for a pause
}

void ResponseMonitor::setUpTimer(QTimer& timer, const char* name, int intervalMs)
{
    timer.setParent(this);
    timer.setObjectName(QString::fromLatin1(name));
    timer.setInterval(intervalMs);
    timer.setTimerType(Qt::PreciseTimer);
}

void ResponseMonitor::stopReading()
{
    timer2_.stop();
    timer3_.stop();
}

// Each chunk replaces what the box showed; a message split across two ticks
// shows in two parts, two messages within one tick show together.
void ResponseMonitor::pollTick()
{
    if (!port_.portOpen())
        return;
    try {
        const QByteArray chunk = port_.input();
        if (chunk.isEmpty())
            return;
        view_.setBufferText(receivedText(chunk));
        view_.setResponseText(receivedText(chunk));
    } catch (const SerialPortError& error) {
        timer2_.stop();
        if (onFailure_)
            onFailure_(error);
    }
}

// Throws away what the controller still sends right after its detection
// reply, so the poll starts on a clean buffer.
void ResponseMonitor::settleTick()
{
    timer3_.stop();
    try {
        if (port_.portOpen())
            port_.input();
        view_.setBufferText(QString());
        timer2_.start();
    } catch (const SerialPortError& error) {
        if (onFailure_)
            onFailure_(error);
    }
}

} // namespace lumivor::link
