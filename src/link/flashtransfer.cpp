#include "link/flashtransfer.h"

#include "link/linkservice.h"
#include "protocol/flashimage.h"
#include "protocol/memorycommands.h"

#include <QLocale>

#include <algorithm>

namespace lumivor::link {

using protocol::flashBlockBytes;
using protocol::flashBlockCharacters;
using protocol::flashBlockCount;

namespace {

// How often a wait looks at the receive buffer.
constexpr Nanoseconds repollInterval = milliseconds(1);

QString secondsText(Nanoseconds time)
{
    return QString::number(std::chrono::duration<double>(time).count(), 'f', 1);
}

// A sentence as the tail of "…stopped at block 37 of 2048: …".
QString asClause(QString sentence)
{
    if (!sentence.isEmpty())
        sentence[0] = sentence[0].toLower();
    return sentence;
}

QString surplusDetail(qsizetype received)
{
    return FlashRead::tr("The controller sent %1 characters where a block holds %2.")
        .arg(received)
        .arg(flashBlockCharacters);
}

QString stoppedHead(Job::Outcome outcome, const QString& detail, int blocksDone)
{
    const int block = std::min(blocksDone + 1, flashBlockCount);
    const QString why = outcome == Job::Outcome::Cancelled && detail.isEmpty()
                            ? FlashRead::tr("you cancelled it.")
                            : asClause(detail);
    return FlashRead::tr("The flash memory transfer stopped at block %1 of %2: %3")
        .arg(block)
        .arg(flashBlockCount)
        .arg(why);
}

} // namespace

// ---- FlashRead ----

FlashRead::FlashRead(LinkService& link, QObject* parent)
    : Job(link, tr("The flash memory transfer"), parent)
{
    step_ = clock().createTimer(this);
    step_->setObjectName(QStringLiteral("tmrFlashRead"));
    connect(step_, &ClockTimer::timeout, this, &FlashRead::step);
    // A block is taken as soon as its last character is in, not at the next tick.
    connect(&link, &LinkService::bytesArrived, this, [this] {
        if (isRunning() && awaiting_)
            poll();
    });
}

FlashStart FlashRead::start(FlashSink& sink)
{
    if (isRunning() || !link().canSend())
        return {};
    if (const std::optional<QString> reason = sink.begin())
        return {FlashStart::Status::FileRefused, *reason};
    if (!begin()) {
        sink.abandon();
        return {};
    }
    sink_ = &sink;
    block_ = 0;
    asked_ = false;
    awaiting_ = false;
    trouble_ = FlashTrouble::None;
    // The first request goes out from the event loop, so the caller has
    // shown the transfer before it can end.
    step_->startAt(clock().now());
    return {FlashStart::Status::Started, {}};
}

void FlashRead::step()
{
    if (asked_) {
        poll();
        return;
    }
    asked_ = true;
    ask(protocol::readFlash());
}

// Sends a request for a block and starts waiting for it.
bool FlashRead::ask(const QByteArray& bytes)
{
    const Nanoseconds askedAt = clock().now();
    const WriteOutcome sent = lease().write(bytes, OnFailure::Report);
    if (!sent.done()) {
        failPort(sent.error);
        return false;
    }
    awaitBlock(askedAt, static_cast<int>(bytes.size()));
    return true;
}

// The wait looks every millisecond (the timers' resolution), so a block is
// taken within a millisecond of its last character, on a real line and on a
// link faster than its nominal rate (a pseudo-terminal) alike. A look is one
// non-blocking check of the receive buffer.
void FlashRead::awaitBlock(Nanoseconds askedAt, int bytesAsked)
{
    awaiting_ = true;
    waitStarted_ = askedAt;
    deadline_ = askedAt + lineTime(bytesAsked + flashBlockCharacters, link().bitsPerSecond()) +
                flashWaitMargin;
    step_->startAt(askedAt + repollInterval);
}

void FlashRead::poll()
{
    const CountOutcome waiting = lease().bytesWaiting(OnFailure::Report);
    if (!waiting.done()) {
        failPort(waiting.error);
        return;
    }
    if (waiting.value >= flashBlockCharacters) {
        takeBlock();
        return;
    }
    const Nanoseconds now = clock().now();
    if (now >= deadline_) {
        const QString limit = secondsText(deadline_ - waitStarted_);
        end(Outcome::TimedOut,
            waiting.value == 0
                ? tr("The controller sent nothing for %1 s.").arg(limit)
                : tr("The controller sent only %1 of the %2 characters of the block within %3 s.")
                      .arg(waiting.value)
                      .arg(flashBlockCharacters)
                      .arg(limit));
        return;
    }
    step_->startAt(std::min(deadline_, now + repollInterval));
}

void FlashRead::takeBlock()
{
    awaiting_ = false;
    const ReadOutcome got = lease().read(OnFailure::Report);
    if (!got.done()) {
        failPort(got.error);
        return;
    }
    const QByteArray& text = got.value;
    if (text.size() > flashBlockCharacters) {
        trouble_ = FlashTrouble::Protocol;
        end(Outcome::Failed, surplusDetail(text.size()));
        return;
    }
    // Only text that loads again is kept: a backup that cannot be restored
    // must not replace one that can.
    const protocol::FlashConversion checked = protocol::decodeFlashBlock(text);
    if (!checked.ok()) {
        trouble_ = FlashTrouble::Protocol;
        end(Outcome::Failed, tr("The controller sent a block that is not flash data: %1")
                                 .arg(asClause(checked.reason())));
        return;
    }
    if (const std::optional<QString> reason = sink_->store(block_, text)) {
        trouble_ = FlashTrouble::File;
        end(Outcome::Failed, *reason);
        return;
    }
    ++block_;
    emit progressed(block_, flashBlockCount);
    if (isRunning())
        sendNextBlock();
}

// 29 follows every block, the last one included. Characters that came after
// the block and before this 29 belong to no block.
void FlashRead::sendNextBlock()
{
    const CountOutcome surplus = lease().bytesWaiting(OnFailure::Report);
    if (!surplus.done()) {
        failPort(surplus.error);
        return;
    }
    if (surplus.value > 0) {
        trouble_ = FlashTrouble::Protocol;
        end(Outcome::Failed, surplusDetail(flashBlockCharacters + surplus.value));
        return;
    }
    if (!ask(protocol::nextBlock()) || block_ < flashBlockCount)
        return;
    step_->stop();
    if (const std::optional<QString> reason = sink_->finish()) {
        trouble_ = FlashTrouble::File;
        end(Outcome::Failed, *reason);
        return;
    }
    sink_ = nullptr;
    end(Outcome::Finished);
}

void FlashRead::failPort(const std::optional<SerialPortError>& error)
{
    trouble_ = FlashTrouble::Port;
    end(Outcome::Failed, error ? lostDetail(*error) : tr("The port was closed."));
}

void FlashRead::stopSteps()
{
    step_->stop();
    if (sink_)
        sink_->abandon();
    sink_ = nullptr;
}

// ---- FlashWrite ----

FlashWrite::FlashWrite(LinkService& link, QObject* parent)
    : Job(link, tr("The flash memory transfer"), parent)
{
    step_ = clock().createTimer(this);
    step_->setObjectName(QStringLiteral("tmrFlashWrite"));
    connect(step_, &ClockTimer::timeout, this, &FlashWrite::step);
    // A block goes out as soon as its ready byte is in, not at the next tick.
    connect(&link, &LinkService::bytesArrived, this, [this] {
        if (isRunning() && phase_ == Phase::AwaitingReady)
            pollReady();
    });
}

qint64 FlashWrite::bytesSent() const
{
    return qint64(block_) * flashBlockBytes + sentInBlock_;
}

FlashStart FlashWrite::start(FlashSource& source)
{
    if (isRunning() || !link().canSend())
        return {};
    const protocol::FlashConversion loaded = source.load();
    if (!loaded.ok())
        return {FlashStart::Status::FileRefused, loaded.reason()};
    if (loaded.bytes().size() != protocol::flashImageBytes)
        return {FlashStart::Status::FileRefused, tr("The image holds %1 bytes, not %2.")
                                                     .arg(loaded.bytes().size())
                                                     .arg(protocol::flashImageBytes)};
    if (!begin())
        return {};
    image_ = loaded.bytes();
    block_ = 0;
    sentInBlock_ = 0;
    trouble_ = FlashTrouble::None;
    phase_ = Phase::Starting;
    step_->startAt(clock().now());
    return {FlashStart::Status::Started, {}};
}

void FlashWrite::step()
{
    switch (phase_) {
    case Phase::Starting:
        sendWriteCommand();
        break;
    case Phase::AwaitingReady:
        pollReady();
        break;
    case Phase::Sending:
        sendDueBytes();
        break;
    case Phase::WaitingOut:
        end(Outcome::Cancelled);
        break;
    }
}

void FlashWrite::stopAndWaitOut()
{
    if (!isRunning())
        return;
    if (phase_ == Phase::Starting || phase_ == Phase::WaitingOut) {
        cancel();
        return;
    }
    phase_ = Phase::WaitingOut;
    // What is still in flight leaves within the pacing lead; the controller's
    // silence counts from its last byte.
    step_->startAt(clock().now() + flashPacingLead + controllerWriteTimeout);
}

void FlashWrite::sendWriteCommand()
{
    const Nanoseconds sentAt = clock().now();
    const QByteArray command = protocol::writeFlash();
    const WriteOutcome sent = lease().write(command, OnFailure::Report);
    if (!sent.done()) {
        failPort(sent.error);
        return;
    }
    awaitReady(sentAt, static_cast<int>(command.size()));
}

// The ready byte can only come once the line has carried what was sent and
// the ready byte itself.
void FlashWrite::awaitReady(Nanoseconds sentAt, int bytesSent)
{
    phase_ = Phase::AwaitingReady;
    const Nanoseconds expected = sentAt + lineTime(bytesSent + 1, link().bitsPerSecond());
    waitStarted_ = sentAt;
    deadline_ = expected + flashWaitMargin;
    step_->startAt(expected);
}

void FlashWrite::pollReady()
{
    const CountOutcome waiting = lease().bytesWaiting(OnFailure::Report);
    if (!waiting.done()) {
        failPort(waiting.error);
        return;
    }
    if (waiting.value == 0) {
        const Nanoseconds now = clock().now();
        if (now >= deadline_)
            end(Outcome::TimedOut, tr("The controller sent no ready byte within %1 s.")
                                       .arg(secondsText(deadline_ - waitStarted_)));
        else
            step_->startAt(std::min(deadline_, now + repollInterval));
        return;
    }
    const ReadOutcome ready = lease().read(OnFailure::Report);
    if (!ready.done()) {
        failPort(ready.error);
        return;
    }
    emit readyReceived(ready.value);
    if (isRunning())
        startBlock();
}

void FlashWrite::startBlock()
{
    phase_ = Phase::Sending;
    blockStarted_ = clock().now();
    sentInBlock_ = 0;
    sendDueBytes();
}

// Each byte is its own write, due when the line has carried the bytes before
// it. A tick writes every byte due within the pacing lead (a late tick
// catches up at once), and ticks come every millisecond.
void FlashWrite::sendDueBytes()
{
    const int rate = link().bitsPerSecond();
    const Nanoseconds now = clock().now();
    const qint64 blockStart = qint64(block_) * flashBlockBytes;
    const int before = sentInBlock_;
    int due = sentInBlock_;
    while (due < flashBlockBytes && blockStarted_ + lineTime(due, rate) <= now + flashPacingLead)
        ++due;
    // One byte per write, or everything due in one write: the same bytes
    // leave at the same moments either way.
    const int perWrite = groupedWrites_ ? std::max(1, due - sentInBlock_) : 1;
    while (sentInBlock_ < due) {
        const int count = std::min(perWrite, due - sentInBlock_);
        const WriteOutcome sent =
            lease().write(image_.mid(blockStart + sentInBlock_, count), OnFailure::Report);
        if (!sent.done()) {
            failPort(sent.error);
            return;
        }
        sentInBlock_ += count;
    }
    if (sentInBlock_ != before) {
        emit fileOffsetReached(2 * (blockStart + sentInBlock_ - 1));
        if (!isRunning())
            return;
    }
    if (sentInBlock_ == flashBlockBytes) {
        finishBlock();
        return;
    }
    // Ticks come every millisecond while bytes wait, well inside the lead,
    // so a tick that comes late still finds bytes on their way out.
    step_->startAt(now + repollInterval);
}

void FlashWrite::finishBlock()
{
    ++block_;
    sentInBlock_ = 0;
    emit progressed(block_, flashBlockCount);
    if (!isRunning())
        return;
    if (block_ < flashBlockCount) {
        awaitReady(blockStarted_, flashBlockBytes);
        return;
    }
    // Done only once the last bytes have left the machine: a port closed
    // right after the message must not cut them off.
    lease().drain(OnFailure::Report);
    if (lease().isValid()) {
        end(Outcome::Finished);
        return;
    }
    trouble_ = FlashTrouble::Port;
    end(Outcome::Failed, tr("The port failed while the last bytes went out."));
}

void FlashWrite::failPort(const std::optional<SerialPortError>& error)
{
    trouble_ = FlashTrouble::Port;
    end(Outcome::Failed, error ? lostDetail(*error) : tr("The port was closed."));
}

void FlashWrite::stopSteps()
{
    step_->stop();
    image_.clear();
}

// ---- messages ----

QString flashReadStoppedText(Job::Outcome outcome, const QString& detail, int blocksDone,
                             const QString& partPath, const QString& targetPath, bool targetExisted)
{
    const QString kept =
        blocksDone == 0   ? FlashRead::tr("Nothing was received; %1 is empty; ").arg(partPath)
        : blocksDone == 1 ? FlashRead::tr("The one block received so far is in %1; ").arg(partPath)
                          : FlashRead::tr("The %1 blocks received so far are in %2; ")
                                .arg(blocksDone)
                                .arg(partPath);
    const QString target = targetExisted ? FlashRead::tr("%1 was not changed.").arg(targetPath)
                                         : FlashRead::tr("%1 was not created.").arg(targetPath);
    return stoppedHead(outcome, detail, blocksDone) + QLatin1Char('\n') + kept + target;
}

QString flashWriteStoppedText(Job::Outcome outcome, const QString& detail, int blocksDone,
                              qint64 bytesSent, const QString& sourcePath)
{
    const QLocale locale;
    return stoppedHead(outcome, detail, blocksDone) + QLatin1Char('\n') +
           FlashWrite::tr("The controller's flash holds the first %1 of the %2 bytes of %3 and "
                          "its former contents after them; write the file again before relying "
                          "on the controller's fonts.")
               .arg(locale.toString(bytesSent), locale.toString(protocol::flashImageBytes),
                    sourcePath);
}

QString flashFileRefusedText(const QString& path, const QString& reason)
{
    return FlashWrite::tr("%1 cannot be loaded into the controller: %2\nNothing was sent.")
        .arg(path, asClause(reason));
}

} // namespace lumivor::link
