#include "cli/flashactions.h"

#include "cli/texts.h"
#include "protocol/flashimage.h"

#include <QJsonArray>

namespace lumivor::cli {

ExitCode flashExitCode(link::Job::Outcome outcome, link::FlashTrouble trouble)
{
    switch (trouble) {
    case link::FlashTrouble::File:
        return ExitCode::CannotWrite;
    case link::FlashTrouble::Protocol:
        return ExitCode::ProtocolError;
    case link::FlashTrouble::Port:
    case link::FlashTrouble::None:
        break;
    }
    return exitCodeOf(outcome);
}

FlashLoadAction::FlashLoadAction(link::LinkService& link, const QString& path, bool verify,
                                 QObject* parent)
    : Action(parent), source_(path)
{
    write_ = new link::FlashWrite(link, this);
    // One write per tick for the bytes that fell due: the same pace on the
    // line, a fraction of the system calls, so many ports fit one machine.
    write_->setGroupedWrites(true);
    connect(write_, &link::Job::progressed, this, [this](int done, int total) {
        emit progressed(done, verify_ ? 2 * total : total);
    });
    connect(write_, &link::Job::ended, this, &FlashLoadAction::written);
    if (!verify)
        return;
    verify_ = new link::FlashVerify(link, this);
    connect(verify_, &link::FlashVerify::progressed, this,
            [this](int done, int total) { emit progressed(total + done, 2 * total); });
    connect(verify_, &link::FlashVerify::ended, this, &FlashLoadAction::verified);
}

void FlashLoadAction::start()
{
    const protocol::FlashConversion loaded = source_.load();
    if (!loaded.ok()) {
        refuse(loaded.reason());
        return;
    }
    expected_ = loaded.bytes();
    link::FlashMemorySource image(expected_);
    const link::FlashStart started = write_->start(image);
    if (started.status == link::FlashStart::Status::FileRefused)
        refuse(started.reason);
    else if (!started.started())
        emit finished({ExitCode::PortError, tr("the port is not free"), {}});
}

void FlashLoadAction::refuse(const QString& reason)
{
    emit finished({ExitCode::BadInput,
                   link::flashFileRefusedText(source_.path(), reason)
                       .replace(QLatin1Char('\n'), QLatin1Char(' ')),
                   {}});
}

void FlashLoadAction::cancel()
{
    if (verify_ && verify_->isRunning())
        verify_->cancel();
    else
        write_->stopAndWaitOut();
}

qint64 FlashLoadAction::totalBytes() const
{
    const qint64 write = protocol::flashImageBytes + 2;
    const qint64 read = protocol::flashFileBytes + 2 + protocol::flashBlockCount;
    return verify_ ? write + read : write;
}

void FlashLoadAction::written(link::Job::Outcome outcome, const QString& detail)
{
    const QJsonObject file{{QStringLiteral("file"), source_.path()}};
    if (outcome != link::Job::Outcome::Finished) {
        emit finished({flashExitCode(outcome, write_->trouble()),
                       link::flashWriteStoppedText(outcome, detail, write_->blocksDone(),
                                                   write_->bytesSent(), source_.path())
                           .replace(QLatin1Char('\n'), QLatin1Char(' ')),
                       QJsonObject{{QStringLiteral("bytesSent"), write_->bytesSent()}}});
        return;
    }
    if (!verify_) {
        emit finished({ExitCode::Success,
                       tr("%1 was written into the flash memory").arg(source_.path()), file});
        return;
    }
    const link::FlashStart started = verify_->start(std::exchange(expected_, QByteArray()));
    if (!started.started())
        emit finished({ExitCode::PortError,
                       tr("%1 was written, but the flash could not be read back: the port is "
                          "not free")
                           .arg(source_.path()),
                       file});
}

void FlashLoadAction::verified(link::Job::Outcome outcome, const QString& detail,
                               const QList<protocol::ScreenDifference>& differences)
{
    const QString written = tr("%1 was written into the flash memory. ").arg(source_.path());
    if (outcome != link::Job::Outcome::Finished) {
        emit finished({flashExitCode(outcome, verify_->read().trouble()),
                       written + tr("Reading it back stopped after %1 of %2 blocks: %3")
                                     .arg(verify_->read().blocksDone())
                                     .arg(protocol::flashBlockCount)
                                     .arg(detail.isEmpty() ? tr("cancelled") : detail),
                       QJsonObject{{QStringLiteral("file"), source_.path()},
                                   {QStringLiteral("verified"), false}}});
        return;
    }
    QJsonArray screens;
    for (const protocol::ScreenDifference& difference : differences)
        screens.append(QJsonObject{{QStringLiteral("screen"), difference.screen},
                                   {QStringLiteral("bytes"), difference.bytes}});
    emit finished({differences.isEmpty() ? ExitCode::Success : ExitCode::VerifyFailed,
                   written + link::verifyResultText(differences),
                   QJsonObject{{QStringLiteral("file"), source_.path()},
                               {QStringLiteral("verified"), differences.isEmpty()},
                               {QStringLiteral("differences"), screens}}});
}

} // namespace lumivor::cli
