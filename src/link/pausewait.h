#pragma once

class QTimer;

namespace lumivor::link {

// The 50 ms pause before a reply is read. It starts the pause tick (Timer4,
// which stops itself on its first tick) and processes window events until the
// tick has come, so the window stays responsive: other timers fire and buttons
// can be clicked while it waits.
class PauseWait
{
public:
    explicit PauseWait(QTimer& tick) : tick_(tick) {}
    void wait();

private:
    QTimer& tick_;
};

} // namespace lumivor::link
