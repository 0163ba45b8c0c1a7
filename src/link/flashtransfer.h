#pragma once

#include "link/clock.h"
#include "link/job.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace lumivor::protocol {
class FlashConversion;
} // namespace lumivor::protocol

namespace lumivor::link {

// The file side of a flash read: where the blocks go, in order. Every call
// answers with the reason it failed, or nothing when it worked.
class FlashSink
{
public:
    virtual ~FlashSink() = default;
    // Gets ready for block 0 (creates the file that collects the blocks).
    virtual std::optional<QString> begin() = 0;
    // Keeps block `block` (its 480 characters) after the ones before it.
    virtual std::optional<QString> store(int block, QByteArrayView text) = 0;
    // Every block has been stored: the collected blocks become the result.
    virtual std::optional<QString> finish() = 0;
    // The read stopped early: keep what was stored and let go of the file.
    virtual void abandon() = 0;
};

// The file side of a flash write: the whole image, checked before anything
// is sent, or the reason (and offset) why it cannot be loaded completely.
class FlashSource
{
public:
    virtual ~FlashSource() = default;
    virtual protocol::FlashConversion load() = 0;
};

// How a flash transfer's start went. Refused starts send nothing and leave
// the link as it was.
struct FlashStart
{
    enum class Status {
        Started,
        LinkRefused, // the port is closed or another operation holds the link
        FileRefused, // the file side cannot take part; `reason` says why
    };
    Status status = Status::LinkRefused;
    QString reason;

    bool started() const { return status == Status::Started; }
};

// What made a transfer fail, for a caller that sorts failures (the
// command-line front end's exit status).
enum class FlashTrouble {
    None,
    Port,     // the port failed or was closed
    File,     // the file side could not store or finish
    Protocol, // the controller sent something a transfer cannot use
};

// Every wait of a transfer is allowed the line time of what it awaits (and of
// the bytes sent just before, which the controller must receive first) plus
// this margin; a controller that stays silent longer ends the transfer.
inline constexpr Nanoseconds flashWaitMargin = std::chrono::seconds(3);

// How far ahead of the line a pacing tick writes: every byte that falls due
// before the next tick can come, with room for a tick that comes a little late
// (the timers have millisecond resolution and a repaint can hold them up), so
// the line is never left idle. The transmit buffer then holds at most this much
// line time of bytes, which is all that still goes out after a cancel.
inline constexpr Nanoseconds flashPacingLead = std::chrono::milliseconds(3);

// A controller whose flash write stops short stays inside it until it has
// heard nothing for about 2 s, taking every byte meanwhile as flash data. A
// write the operator cancels waits this long in silence, still holding the
// link, before it ends.
inline constexpr Nanoseconds controllerWriteTimeout = std::chrono::milliseconds(2500);

// Copies the controller's flash into a sink: 29 01, then for each of the
// 2048 blocks wait for its 480 characters, store them, and send 29 (after
// the last block too). A block is exactly the next 480 characters: anything
// beyond them before the next 29 is sent, or a character that is not a
// hexadecimal digit, ends the read as a protocol error, so nothing that
// would not load again is ever kept as a backup. Runs on the clock; never
// blocks the event loop.
class FlashRead : public Job
{
    Q_OBJECT
public:
    explicit FlashRead(LinkService& link, QObject* parent = nullptr);

    // Opens the sink, takes the link and sends 29 01. The sink must outlive
    // the run.
    FlashStart start(FlashSink& sink);
    // Blocks received and stored so far.
    int blocksDone() const { return block_; }
    FlashTrouble trouble() const { return trouble_; }

private:
    void step();
    bool ask(const QByteArray& bytes);
    void awaitBlock(Nanoseconds askedAt, int bytesAsked);
    void poll();
    void takeBlock();
    void sendNextBlock();
    void failPort(const std::optional<SerialPortError>& error);
    void stopSteps() override;

    ClockTimer* step_ = nullptr;
    FlashSink* sink_ = nullptr;
    bool asked_ = false;
    bool awaiting_ = false; // a block has been asked for and not yet taken
    int block_ = 0;
    Nanoseconds waitStarted_{0};
    Nanoseconds deadline_{0};
    FlashTrouble trouble_ = FlashTrouble::None;
};

// Writes an image into the controller's flash: 29 02, then for each of the
// 2048 blocks wait for a ready byte (everything that came is handed on as
// the ready bytes) and send the block's 240 bytes, one byte per write, paced
// at the line rate against the clock. No ready byte is awaited after the
// last block. The image is loaded and checked in full before 29 02 goes out.
class FlashWrite : public Job
{
    Q_OBJECT
public:
    explicit FlashWrite(LinkService& link, QObject* parent = nullptr);

    FlashStart start(FlashSource& source);
    // The operator's Cancel: sends nothing more and ends Cancelled once the
    // controller has left its flash write (controllerWriteTimeout of silence),
    // so that the next command is not written into the flash. Before 29 02
    // went out, and on a second call while waiting, it ends at once.
    void stopAndWaitOut();
    bool isWaitingOut() const { return isRunning() && phase_ == Phase::WaitingOut; }
    // Each byte is its own write, as the console's operator manual has it;
    // grouped, every byte that has fallen due at a tick goes out in one write.
    // The line carries the same bytes at the same moments either way, with one
    // system call per tick instead of per byte, which lets one machine drive
    // many controllers at once (the command line).
    void setGroupedWrites(bool grouped) { groupedWrites_ = grouped; }
    // Blocks sent completely so far, and image bytes sent so far.
    int blocksDone() const { return block_; }
    qint64 bytesSent() const;
    FlashTrouble trouble() const { return trouble_; }

signals:
    // What arrived while a ready byte was awaited.
    void readyReceived(const QByteArray& bytes);
    // The file offset of the last byte sent (two characters per byte).
    void fileOffsetReached(qint64 offset);

private:
    enum class Phase { Starting, AwaitingReady, Sending, WaitingOut };

    void step();
    void sendWriteCommand();
    void awaitReady(Nanoseconds sentAt, int bytesSent);
    void pollReady();
    void startBlock();
    void sendDueBytes();
    void finishBlock();
    void failPort(const std::optional<SerialPortError>& error);
    void stopSteps() override;

    ClockTimer* step_ = nullptr;
    QByteArray image_;
    Phase phase_ = Phase::Starting;
    bool groupedWrites_ = false;
    int block_ = 0;
    int sentInBlock_ = 0;
    Nanoseconds blockStarted_{0};
    Nanoseconds waitStarted_{0};
    Nanoseconds deadline_{0};
    FlashTrouble trouble_ = FlashTrouble::None;
};

// The one message for a transfer that ended without finishing: what
// happened, at which block, and where the file side stands. `detail` is the
// job's (empty for a cancel).
QString flashReadStoppedText(Job::Outcome outcome, const QString& detail, int blocksDone,
                             const QString& partPath, const QString& targetPath,
                             bool targetExisted);
QString flashWriteStoppedText(Job::Outcome outcome, const QString& detail, int blocksDone,
                              qint64 bytesSent, const QString& sourcePath);
// "The file … cannot be loaded into the controller: <reason>"
QString flashFileRefusedText(const QString& path, const QString& reason);

} // namespace lumivor::link
