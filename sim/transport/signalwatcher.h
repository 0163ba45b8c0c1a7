#pragma once

#include <QObject>

class QSocketNotifier;

namespace kestrin {

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal. The handler only writes a byte to a
// pipe (all it may safely do); the event loop reads it and emits terminationRequested.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested();

private:
    void drain();

    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kestrin
