#pragma once

#include "cli/request.h"
#include "link/clock.h"
#include "link/job.h"
#include "link/pacedwriter.h"

#include <QJsonObject>
#include <QObject>

#include <memory>

namespace lumivor::link {
class ControllerIdQuery;
class LinkService;
} // namespace lumivor::link

namespace lumivor::cli {

// What one port's action came to.
struct ActionResult
{
    ExitCode code = ExitCode::Success;
    QString summary;     // one line for a person
    QJsonObject details; // the same for a script
};

// What a command does on one port once the controller has been found and
// the line is quiet. It runs on the port's link, on timers, and ends once.
class Action : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start() = 0;
    virtual void cancel() = 0;
    // Bytes the action moves over the line in all, for the progress line's
    // rate; 0 when it shows no progress.
    virtual qint64 totalBytes() const { return 0; }

signals:
    void progressed(int done, int total);
    void finished(const lumivor::cli::ActionResult& result);
};

// The exit status and words for a job's end.
ExitCode exitCodeOf(link::Job::Outcome outcome);

// Writes a sequence at line speed (text, screens, pictures): PacedWriter.
class WritesAction final : public Action
{
    Q_OBJECT
public:
    WritesAction(link::LinkService& link, QString purpose, QList<link::PacedWrite> writes,
                 QString doneSummary, QObject* parent = nullptr);
    void start() override;
    void cancel() override;
    qint64 totalBytes() const override;

private:
    link::PacedWriter* writer_ = nullptr;
    QList<link::PacedWrite> writes_;
    QString doneSummary_;
};

// "send": one write of raw bytes, then, for --read MS, everything that comes
// back within that time.
class SendAction final : public link::Job
{
    Q_OBJECT
public:
    SendAction(link::LinkService& link, QByteArray bytes, int readMs, QObject* parent = nullptr);
    bool start();
    QByteArray received() const { return received_; }

private:
    void collect();
    void stopSteps() override;

    QByteArray bytes_;
    int readMs_ = 0;
    QByteArray received_;
    link::ClockTimer* poll_ = nullptr;
    link::Nanoseconds until_{0};
};

// The writes of "text": font, page and column when given, then the text as
// strings of at most 44 characters, each ended with 0D (a 45th character
// would end a string by itself, and a 0D after it would start a command).
QList<link::PacedWrite> textWrites(const Request& request);

// A one-line dump of received bytes: hexadecimal and the printable text.
QString describeBytes(const QByteArray& bytes);
// A controller's text as it can be printed on one line: control characters
// (a NUL included) and backslashes written as \xNN and \\.
QString escapedText(const QString& text);

} // namespace lumivor::cli
