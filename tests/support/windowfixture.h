#pragma once

#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "fakeserialport.h"
#include "link/clock.h"
#include "link/comports.h"
#include "manualclock.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace lumivor::testing {

// A main window on the port and dialogs doubles, with COM1 and COM3 present
// (both mapped to the null device), built fresh for every test.
struct WindowFixture
{
    explicit WindowFixture(QList<int> present = {1, 3});

    template<typename T> T* find(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    link::ClockTimer* timer(const char* name) const { return find<link::ClockTimer>(name); }

    // Clicks a button by name with the mouse, as the operator would, after
    // bringing its tab to the front.
    void click(const char* name) const;
    // Clicks a scroll bar's right arrow, or its track right of the thumb.
    void clickScrollBar(const char* name, bool onTrack = false) const;
    // Shows the tab pages that hold the widget.
    void bringToFront(QWidget* widget) const;
    QString status(int panel) const;
    QString text(const char* name) const; // text of a line edit, button or label

    // Makes the controller answer the identification query with `reply`.
    void answerIdentification(const QByteArray& reply);
    // Clicks Connect and steps the clock until the detection has ended (at
    // most its time-out).
    void connectAndDetect();
    // Connects through a reply with settings and steps on until the response
    // poll runs.
    void connectWithPoll(const QByteArray& reply = "240x64,0!");

    QTemporaryDir portDir;
    ManualClock clock;
    FakeSerialPort port;
    FakeDialogs dialogs;
    link::ComPortTable ports;
    std::unique_ptr<app::MainWindow> window;
};

} // namespace lumivor::testing
