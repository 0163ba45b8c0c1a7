#pragma once

// The link layer as the window drives it, without the window: a link service
// on the port double and the manual clock, and a connection that shows on a
// recording view and asks the dialogs double.
#include "fakedialogs.h"
#include "fakeserialport.h"
#include "link/connection.h"
#include "link/job.h"
#include "link/linkservice.h"
#include "link/linkview.h"
#include "link/responsemonitor.h"
#include "manualclock.h"

#include <QStringList>

namespace lumivor::testing {

struct RecordingView final : link::LinkView
{
    void setConnectCaption(const QString&) override {}
    void focusConnect() override {}
    void setPortChoiceEnabled(bool enabled) override { choiceEnabled = enabled; }
    std::optional<int> selectedPortNumber() const override { return portNumber; }
    int selectedRateIndex() const override { return rateIndex; }
    void selectRateIndex(int index) override { rateIndex = index; }
    void setLinkStatus(const QString& text) override { status = text; }
    void takeOverContrast(int value) override { contrast = value; }
    void setResponseText(const QString& text) override { response = text; }
    void setControllerId(const QString& text) override { controllerId = text; }

    bool choiceEnabled = true;
    std::optional<int> portNumber = 1;
    int rateIndex = 2; // 9600
    QString status, response, controllerId;
    std::optional<int> contrast;
};

struct LinkRig
{
    LinkRig()
    {
        QObject::connect(&link.monitor(), &link::ResponseMonitor::received, &link,
                         [this](const QString& chunk) { polled << chunk; });
    }
    // The controller answers `query` with `reply`, besides what it answered before.
    void answer(const QByteArray& query, const QByteArray& reply)
    {
        port.onOutput = [this, query, reply, before = port.onOutput](const QByteArray& bytes) {
            if (bytes == query)
                port.queueInput(reply);
            else if (before)
                before(bytes);
        };
    }
    // Connect with this detection reply, found at the first 50 ms step; with
    // a poll, also past the 500 ms settle step that a reply with settings starts.
    void connect(const QByteArray& reply = "240x64,0!", bool poll = false)
    {
        answer("ID", reply);
        connection.toggle();
        clock.advance(link::Connection::detectionStepMs + (poll ? 500 : 0));
    }
    void connectWithPoll() { connect("240x64,0!", true); }
    void openAt(int rate)
    {
        port.setSettings(QStringLiteral("%1,N,8,1").arg(rate));
        port.setPortOpen(true);
    }
    link::ClockTimer* timer(const char* name) const
    {
        const QString objectName = QString::fromLatin1(name);
        if (auto* own = connection.findChild<link::ClockTimer*>(objectName))
            return own;
        return link.findChild<link::ClockTimer*>(objectName);
    }
    bool polling() const { return timer("Timer2")->isActive(); }
    bool anyTimerOfTheLink() const
    {
        for (const char* name : {"Timer1", "Timer2", "Timer3", "Timer4"})
            if (timer(name)->isActive())
                return true;
        return false;
    }

    ManualClock clock;
    FakeSerialPort port;
    FakeDialogs dialogs;
    RecordingView view;
    link::LinkService link{port, clock};
    link::Connection connection{link, view, dialogs};
    QStringList polled; // every chunk the response poll read
};

// Every end of a job, in order.
struct Ends
{
    explicit Ends(link::Job& job)
    {
        QObject::connect(&job, &link::Job::ended, &job,
                         [this](link::Job::Outcome outcome, const QString& detail) {
                             outcomes.append(outcome);
                             details.append(detail);
                         });
    }
    QList<link::Job::Outcome> outcomes;
    QStringList details;
};

} // namespace lumivor::testing
