#pragma once

#include "app/mainwindow.h"
#include "fakedialogs.h"
#include "fakeserialport.h"
#include "link/comports.h"
#include "link/linkservice.h"
#include "manualclock.h"

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace lumivor::testing {

// The main window on the port, dialogs and clock doubles, with COM1 and COM3
// present (both mapped to the null device).
struct WindowFixture
{
    WindowFixture();

    template<typename T> T* find(const char* name) const
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    bool pollRuns() const { return find<link::ClockTimer>("Timer2")->isActive(); }
    bool busy() const { return window->link().isBusy(); }
    QString status(int panel) const;
    QString text(const char* name) const; // of a line edit or a button

    // Clicks a button with the mouse, as the operator would, after bringing
    // its tab to the front.
    void click(const char* name) const;
    void bringToFront(QWidget* widget) const;

    // Connects through the controller's answer to the identification query;
    // after a reply with "!", steps on until the response poll runs.
    void connect(const QByteArray& reply = "240x64,0!");
    // Steps the clock until no operation holds the link; whether it ended.
    bool runToEnd(int limitMs = 120'000);

    QTemporaryDir portDir;
    ManualClock clock;
    FakeSerialPort port;
    FakeDialogs dialogs;
    link::ComPortTable ports;
    std::unique_ptr<app::MainWindow> window;
};

} // namespace lumivor::testing
