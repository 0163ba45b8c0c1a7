#pragma once

#include <QDockWidget>

class QPlainTextEdit;
class QPushButton;

namespace lumivor::link {
class Clock;
class ClockTimer;
class Dialogs;
class TrafficLog;
} // namespace lumivor::link

namespace lumivor::app {

// "View" → "Traffic": every write and read of the port as it happens, one
// line each (time since the connect, direction, hex, printable text), from
// the tap on the port seam. The view catches up on a timer, a few times a
// second, so a flood or a flash transfer costs the window one short append
// per tick however many records came; it shows the newest lines, and "Save
// log..." writes everything the log still holds.
class TrafficView : public QDockWidget
{
    Q_OBJECT
public:
    static constexpr int refreshMs = 100;
    // Lines kept on screen; the log behind holds many more.
    static constexpr int shownLines = 20'000;

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
    QPlainTextEdit* lines_ = nullptr;
    QPushButton* pause_ = nullptr;
    quint64 shownUpTo_ = 0; // serial of the next record to show
};

} // namespace lumivor::app
