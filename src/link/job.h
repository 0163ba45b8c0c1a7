#pragma once

#include "link/clock.h"
#include "link/serialport.h"

#include <QObject>
#include <QString>

#include <memory>

namespace lumivor::link {

class ClockTimer;
class LinkLease;
class LinkService;

// A long operation on the link: it runs on timers (the window keeps painting
// and answering), holds the link exclusively from start to end, reports its
// progress, and ends exactly once with one outcome. An operator can cancel it
// (the Cancel control, Disconnect, closing the window): it then ends after
// the step it is in, and nothing more is written.
class Job : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Finished, Cancelled, TimedOut, Failed };
    Q_ENUM(Outcome)

    // `purpose` names the job to the operator ("The picture upload").
    Job(LinkService& link, QString purpose, QObject* parent = nullptr);
    ~Job() override;

    bool isRunning() const { return running_; }
    QString purpose() const { return purpose_; }
    // Ends a running job with Cancelled; nothing once it has ended.
    void cancel();

signals:
    void progressed(int done, int total);
    // Emitted once per run, after the link has been released. `detail` says
    // what happened in words for the operator (empty for Finished).
    void ended(lumivor::link::Job::Outcome outcome, const QString& detail);

protected:
    // Takes the link for this job; false, and nothing happens, when the port
    // is closed or another operation holds it.
    bool begin();
    // Ends the run: stops the job's own steps, releases the link, then tells.
    void end(Outcome outcome, const QString& detail = QString());

    LinkService& link() const { return link_; }
    Clock& clock() const;
    LinkLease& lease() const { return *lease_; }

    // The controller must answer within `limit` from now, or the job ends
    // with TimedOut and `timeOutDetail()`; a new call moves the limit, and
    // the end of the job clears it.
    void awaitWithin(Nanoseconds limit);

    // Stops whatever the job has running (timers, open files); called once by end().
    virtual void stopSteps() = 0;
    // What to tell the operator when the controller did not answer in time.
    virtual QString timeOutDetail() const;
    // What to tell the operator when the port fails under the job.
    virtual QString lostDetail(const SerialPortError& error) const;

private:
    LinkService& link_;
    QString purpose_;
    std::unique_ptr<LinkLease> lease_;
    ClockTimer* timeLimit_ = nullptr;
    bool running_ = false;
};

} // namespace lumivor::link
