#pragma once

#include <QString>

#include <functional>

namespace lumivor::panels {

// How a panel shows a long operation, without touching the window's widgets:
// the wait cursor, a Cancel control (and Escape), ProgressBar1 and the third
// status panel. The main window implements it.
class ProgressView
{
public:
    virtual ~ProgressView() = default;

    // The wait cursor shows; the Cancel control appears and calls `cancel`.
    virtual void operationStarted(std::function<void()> cancel) = 0;
    // ProgressBar1: its range (0 to maximum) and value.
    virtual void setProgressRange(int maximum) = 0;
    virtual void setProgress(int value) = 0;
    // The third status panel.
    virtual void setProgressText(const QString& text) = 0;
    // The normal cursor again, Cancel hidden, ProgressBar1 back at 0 (the
    // status text stays until it is set again).
    virtual void operationEnded() = 0;
};

} // namespace lumivor::panels
