#pragma once

#include <QDockWidget>

class QListView;
class QPushButton;

namespace lumivor::link {
class Clock;
class ClockTimer;
class Dialogs;
class TrafficLog;
} // namespace lumivor::link

namespace lumivor::app {

class TrafficModel;

// "View" → "Traffic": every write and read of the port as it happens, one
// line each (time since the connect, direction, hex, printable text), from
// the tap on the port seam. The view catches up on a timer, a few times a
// second, by telling its list how many lines came and went; only the lines
// on screen are ever formatted, so a flood or a flash transfer costs the
// window next to nothing however many records come. "Save log..." writes
// everything the log holds.
class TrafficView : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int refreshMs = 100;

    TrafficView(link::TrafficLog& log, link::Clock& clock, link::Dialogs& dialogs,
                QWidget* parent = nullptr);

    // Shows what came since the last refresh (the timer calls it).
    void refresh();

private:
    void clear();
    void saveLog();

    link::TrafficLog& log_;
    link::Dialogs& dialogs_;
    link::ClockTimer* refresh_ = nullptr;
    TrafficModel* model_ = nullptr;
    QListView* lines_ = nullptr;
    QPushButton* pause_ = nullptr;
};

} // namespace lumivor::app
