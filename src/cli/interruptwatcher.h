#pragma once

#include <QObject>

class QSocketNotifier;

namespace lumivor::cli {

// Turns Ctrl-C (SIGINT) and SIGTERM into a signal on the event loop, so a
// transfer can stop cleanly instead of the process dying mid-write. A second
// Ctrl-C ends the process at once, as usual.
class InterruptWatcher : public QObject
{
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

signals:
    // SIGINT or SIGTERM; the first of them when both came.
    void interrupted(int signalNumber);

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace lumivor::cli
