#include "cli/portsession.h"

#include "cli/flashactions.h"
#include "cli/flashimages.h"
#include "cli/texts.h"

#include "link/baudratechange.h"
#include "link/comports.h"
#include "link/controllerid.h"
#include "link/flashfile.h"
#include "link/flashtransfer.h"
#include "link/pictureupload.h"
#include "link/responsemonitor.h"
#include "protocol/flashimage.h"
#include "protocol/linkcommands.h"
#include "protocol/memorycommands.h"
#include "protocol/picture.h"
#include "protocol/picturefile.h"
#include "protocol/rates.h"

namespace lumivor::cli {

namespace {

// After the detection the controller may still be sending the rest of its
// reply; the line counts as quiet after this long without a byte.
constexpr int settleStepMs = 10;
constexpr int longestSettleMs = 500;
// Time for the last command to cross the line and be taken before the port
// closes (the line's own time is drained first).
constexpr link::Nanoseconds closeDelay = std::chrono::milliseconds(30);

link::Nanoseconds quietAfter(int bitsPerSecond)
{
    return link::lineTime(16, bitsPerSecond) + std::chrono::milliseconds(20);
}

QString noAnswer(int rateIndex)
{
    return tr("nothing answered the identification query at %1 baud; check the cable, the "
              "controller's power and its rate (--rate)")
        .arg(protocol::rates::rateText(rateIndex));
}

// The port's own description, and where to look when the number is wrong.
QString portProblem(const link::SerialPortError& error)
{
    QString text = error.description();
    if (error.code() == link::PortErrorCode::InvalidPortNumber)
        text += tr(" (\"lumivor-cli ports\" lists the ports there are)");
    return text;
}

// The screen a picture file gives, converted as the console converts its
// "On the LCD" preview with the conversion the command line chose.
QByteArray pictureScreen(const Request& request)
{
    return pictureScreenBytes(protocol::readPicture(request.file).image, request.conversion,
                              request.threshold);
}

link::QtSerialPort::Resolver resolverFor(const PortTarget& target, const link::ComPortTable& ports)
{
    if (target.number == 0)
        return [path = target.devicePath](int) { return path; };
    return [&ports](int number) { return ports.deviceToOpen(number); };
}

// A controller ID query that reports on its own result.
class IdAction final : public Action
{
public:
    explicit IdAction(link::LinkService& link, QObject* parent) : Action(parent)
    {
        query_ = new link::ControllerIdQuery(link, this);
        connect(query_, &link::ControllerIdQuery::idRead, this,
                [this](const QString& id) { id_ = id; });
        connect(query_, &link::Job::ended, this, [this](link::Job::Outcome outcome) {
            if (outcome == link::Job::Outcome::Finished && id_.isEmpty())
                emit finished({ExitCode::NoAnswer, tr("no ID came back within 50 ms"), {}});
            else if (outcome == link::Job::Outcome::Finished)
                emit finished({ExitCode::Success, tr("ID %1").arg(id_),
                               QJsonObject{{QStringLiteral("id"), id_}}});
            else
                emit finished({exitCodeOf(outcome), tr("the ID query failed"), {}});
        });
    }
    void start() override { query_->run(); }
    void cancel() override { query_->cancel(); }

private:
    link::ControllerIdQuery* query_ = nullptr;
    QString id_;
};

// Switches the controller's rate as the console's "Change Baud Rate" does
// and succeeds when the controller is found again at the new rate.
class BaudAction final : public Action
{
public:
    BaudAction(link::LinkService& link, link::Connection& connection, HeadlessView& view,
               HeadlessDialogs& dialogs, int newRateIndex, QObject* parent)
        : Action(parent), rateText_(protocol::rates::rateText(newRateIndex))
    {
        change_ = new link::BaudRateChange(link, connection, view, dialogs, this);
        connect(change_, &link::Job::ended, this,
                [this](link::Job::Outcome outcome, const QString& detail) {
                    if (outcome != link::Job::Outcome::Finished)
                        report({exitCodeOf(outcome), detail, {}});
                });
        connect(&link, &link::LinkService::connected, this, [this] {
            report({ExitCode::Success, tr("the controller now runs at %1 baud").arg(rateText_),
                    QJsonObject{{QStringLiteral("rate"), rateText_.toInt()}}});
        });
        connect(&connection, &link::Connection::failed, this,
                [this](link::Connection::Failure failure) {
                    if (failure == link::Connection::Failure::NotFound)
                        report({ExitCode::NoAnswer,
                                tr("no controller answered at %1 baud").arg(rateText_),
                                {}});
                    else
                        report({ExitCode::PortError, tr("the port failed during the change"), {}});
                });
    }
    void start() override
    {
        change_->run(rateText_);
        if (!change_->isRunning())
            report({ExitCode::PortError, tr("the rate could not be changed"), {}});
    }
    // Once 0F nn has gone out the controller runs at the new rate whatever
    // happens here: the result says at which rate it can be reached.
    // The result goes first: the job's own end (a bare "cancelled") follows
    // from cancel() at once and must not stand in for it.
    void cancel() override
    {
        const bool switched = change_->rateCommandSent();
        report({ExitCode::Cancelled,
                switched ? tr("stopped after the rate command went out: the controller now runs "
                              "at %1 baud; reach it with --rate %1")
                               .arg(rateText_)
                         : tr("stopped before the rate command went out: the controller still "
                              "runs at its old rate"),
                QJsonObject{{QStringLiteral("rateCommandSent"), switched},
                            {QStringLiteral("rate"), switched ? rateText_.toInt() : 0}}});
        change_->cancel();
    }

private:
    void report(const ActionResult& result)
    {
        if (!std::exchange(reported_, true))
            emit finished(result);
    }

    link::BaudRateChange* change_ = nullptr;
    QString rateText_;
    bool reported_ = false;
};

// flash-save: the controller's flash into FILE by way of FILE.part, exactly
// as the console's flash "Save" does.
class FlashSaveAction final : public Action
{
public:
    FlashSaveAction(link::LinkService& link, const QString& target, QObject* parent)
        : Action(parent), file_(target)
    {
        read_ = new link::FlashRead(link, this);
        connect(read_, &link::Job::progressed, this, &Action::progressed);
        connect(read_, &link::Job::ended, this,
                [this](link::Job::Outcome outcome, const QString& detail) {
                    if (outcome == link::Job::Outcome::Finished) {
                        emit finished(
                            {ExitCode::Success,
                             tr("the flash memory was saved to %1").arg(file_.targetPath()),
                             QJsonObject{{QStringLiteral("file"), file_.targetPath()}}});
                        return;
                    }
                    emit finished({flashExitCode(outcome, read_->trouble()),
                                   link::flashReadStoppedText(outcome, detail, read_->blocksDone(),
                                                              file_.partPath(), file_.targetPath(),
                                                              file_.targetExisted())
                                       .replace(QLatin1Char('\n'), QLatin1Char(' ')),
                                   QJsonObject{{QStringLiteral("part"), file_.partPath()},
                                               {QStringLiteral("blocks"), read_->blocksDone()}}});
                });
    }
    void start() override
    {
        const link::FlashStart started = read_->start(file_);
        if (started.status == link::FlashStart::Status::FileRefused)
            emit finished({ExitCode::CannotWrite, started.reason + tr(" Nothing was read."), {}});
        else if (!started.started())
            emit finished({ExitCode::PortError, tr("the port is not free"), {}});
    }
    void cancel() override { read_->cancel(); }
    qint64 totalBytes() const override
    {
        return protocol::flashFileBytes + 2 + protocol::flashBlockCount;
    }

private:
    link::FlashPartFile file_;
    link::FlashRead* read_ = nullptr;
};

class RawSendAction final : public Action
{
public:
    RawSendAction(link::LinkService& link, const Request& request, QObject* parent)
        : Action(parent), bytes_(request.bytes.size())
    {
        job_ = new SendAction(link, request.bytes, request.readMs, this);
        const bool reads = request.readMs > 0;
        connect(
            job_, &link::Job::ended, this,
            [this, reads](link::Job::Outcome outcome, const QString& detail) {
                const ExitCode code = exitCodeOf(outcome);
                if (code != ExitCode::Success) {
                    emit finished({code, detail, {}});
                    return;
                }
                const QByteArray got = job_->received();
                QString summary = tr("sent %1 bytes").arg(bytes_);
                if (reads)
                    summary += got.isEmpty()
                                   ? tr("; nothing came back")
                                   : tr("; read %1: %2").arg(got.size()).arg(describeBytes(got));
                emit finished(
                    {code, summary,
                     QJsonObject{{QStringLiteral("sent"), bytes_},
                                 {QStringLiteral("received"), QString::fromLatin1(got.toHex())}}});
            });
    }
    void start() override
    {
        if (!job_->start())
            emit finished({ExitCode::PortError, tr("the port is not free"), {}});
    }
    void cancel() override { job_->cancel(); }

private:
    SendAction* job_ = nullptr;
    qsizetype bytes_ = 0;
};

} // namespace

PortSession::PortSession(const Request& request, const PortTarget& target,
                         const link::ComPortTable& ports, link::Clock& clock, QObject* parent)
    : QObject(parent), request_(request), clock_(clock), port_(resolverFor(target, ports)),
      view_(target.number > 0 ? target.number : 1, request.rateIndex), link_(port_, clock),
      connection_(link_, view_, dialogs_)
{
    result_.port = target;
    result_.device = target.number > 0 ? ports.devicePath(target.number) : target.devicePath;
    if (target.number == 0)
        port_.setPathName(target.devicePath);
    settle_ = clock.createTimer(this);
    settle_->setInterval(std::chrono::milliseconds(settleStepMs));
    connect(settle_, &link::ClockTimer::timeout, this, &PortSession::settleStep);
    close_ = clock.createTimer(this);
    connect(close_, &link::ClockTimer::timeout, this, &PortSession::closeAndReport);
    connect(&link_, &link::LinkService::connected, this, &PortSession::detected);
    connect(&connection_, &link::Connection::failed, this, &PortSession::connectionFailed);
}

PortSession::~PortSession()
{
    action_.reset();
    connection_.shutDown();
}

void PortSession::start()
{
    elapsed_.start();
    connection_.toggle();
}

void PortSession::cancel()
{
    if (done_)
        return;
    if (action_ && acting_) {
        action_->cancel();
        return;
    }
    finish({ExitCode::Cancelled,
            link_.state() == link::LinkState::Connected
                ? tr("stopped after the controller was found, before the command was sent")
                : tr("stopped before a controller was found; nothing was sent"),
            {}});
}

// The detection found a controller (the first time; a baud-rate change
// finds it again and its action hears of that itself).
void PortSession::detected()
{
    if (acting_ || done_)
        return;
    link_.monitor().stop(); // this session reads for itself
    reply_ = connection_.detectionReply();
    settleStarted_ = lastHeard_ = clock_.now();
    settle_->start();
}

void PortSession::connectionFailed(link::Connection::Failure failure,
                                   const std::optional<link::SerialPortError>& error)
{
    if (done_ || acting_)
        return; // once acting, the action reports what happens to the link itself
    if (failure == link::Connection::Failure::NotFound)
        finish({ExitCode::NoAnswer, noAnswer(view_.selectedRateIndex()), {}});
    else
        finish({ExitCode::PortError, error ? portProblem(*error) : tr("the port failed"), {}});
}

// Reads (and keeps, for "identify") what still comes after the detection
// reply until the line has been quiet for a moment, as the console's settle
// step does, so the action starts on a clean line.
void PortSession::settleStep()
{
    const link::ReadOutcome read = link_.read(link::OnFailure::Silent);
    const link::Nanoseconds now = clock_.now();
    if (read.failed()) {
        finish({ExitCode::PortError, read.error->description(), {}});
        return;
    }
    if (!read.value.isEmpty()) {
        reply_ += link::receivedText(read.value);
        lastHeard_ = now;
    }
    const bool quiet = now - lastHeard_ >= quietAfter(link_.bitsPerSecond());
    if (quiet || now - settleStarted_ >= std::chrono::milliseconds(longestSettleMs))
        act();
    else
        settle_->start();
}

void PortSession::act()
{
    if (request_.command == Command::Identify) {
        // Only a reply with "!" carries the controller's settings, as at Connect.
        // -1: no contrast reported.
        const int contrast = protocol::carriesSettings(reply_)
                                 ? protocol::reportedContrast(reply_).value_or(-1)
                                 : -1;
        QJsonObject details{{QStringLiteral("reply"), reply_}};
        details.insert(QStringLiteral("contrast"),
                       contrast >= 0 ? QJsonValue(contrast) : QJsonValue(QJsonValue::Null));
        finish({ExitCode::Success,
                tr("controller found: \"%1\"%2")
                    .arg(escapedText(reply_),
                         contrast >= 0 ? tr(", contrast %1").arg(contrast) : QString()),
                details});
        return;
    }
    action_ = makeAction();
    if (!action_) {
        finish({ExitCode::Usage, tr("this command is not available"), {}});
        return;
    }
    connect(action_.get(), &Action::progressed, this,
            [this](int done, int total) { emit progressed(this, done, total); });
    connect(action_.get(), &Action::finished, this, &PortSession::finish);
    acting_ = true;
    action_->start();
}

std::unique_ptr<Action> PortSession::makeAction()
{
    switch (request_.command) {
    case Command::Id:
        return std::make_unique<IdAction>(link_, nullptr);
    case Command::Send:
        return std::make_unique<RawSendAction>(link_, request_, nullptr);
    case Command::Text:
        return std::make_unique<WritesAction>(link_, tr("Writing text"), textWrites(request_),
                                              tr("text written"));
    case Command::ScreenSave:
        return std::make_unique<WritesAction>(
            link_, tr("Saving a screen"),
            QList<link::PacedWrite>{{protocol::saveScreen(std::uint8_t(request_.screen)), {}}},
            tr("the shown picture was stored as screen %1").arg(request_.screen));
    case Command::Picture:
        return std::make_unique<WritesAction>(
            link_, tr("The picture upload"),
            link::pictureUploadWrites(pictureScreen(request_)), tr("picture sent"));
    case Command::FlashSave:
        return std::make_unique<FlashSaveAction>(link_, request_.fileFor(result_.port), nullptr);
    case Command::FlashLoad:
        return std::make_unique<FlashLoadAction>(link_, request_.file, request_.verify);
    case Command::Baud:
        return std::make_unique<BaudAction>(link_, connection_, view_, dialogs_,
                                            request_.newRateIndex, nullptr);
    case Command::ScreenLoad:
        return std::make_unique<WritesAction>(
            link_, tr("Loading a screen"),
            QList<link::PacedWrite>{{protocol::loadScreen(std::uint8_t(request_.screen)), {}}},
            tr("screen %1 is shown").arg(request_.screen));
    default:
        return nullptr;
    }
}

void PortSession::finish(const ActionResult& result)
{
    if (done_)
        return;
    done_ = true;
    acting_ = false;
    settle_->stop();
    result_.code = result.code;
    result_.summary = result.summary;
    result_.details = result.details;
    result_.seconds = static_cast<double>(elapsed_.nsecsElapsed()) / 1e9;
    // Closing the port sets its old rate again at once: the last command
    // must have reached the controller by then, at the rate it was sent at.
    close_->start(closeDelay);
}

void PortSession::closeAndReport()
{
    connection_.shutDown();
    emit finished(this);
}

} // namespace lumivor::cli
