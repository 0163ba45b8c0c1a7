#pragma once

#include "link/flashfile.h"
#include "link/flashtransfer.h"
#include "protocol/flashscreens.h"

#include <QObject>

namespace lumivor::link {

// Reads the controller's flash back into memory and compares it with the
// image that was written into it. A write carries no check sum on the line,
// so reading back is the only proof that a unit holds what it was given. It
// is a flash read (the same job, lease, progress, time limits and Cancel as a
// backup) whose blocks stay in memory: nothing is left on disk either way.
class FlashVerify : public QObject
{
    Q_OBJECT
public:
    explicit FlashVerify(LinkService& link, QObject* parent = nullptr);

    // Starts the read; the image is what the flash should hold.
    FlashStart start(QByteArray expected);
    void cancel() { read_->cancel(); }
    bool isRunning() const { return read_->isRunning(); }
    const FlashRead& read() const { return *read_; }

signals:
    void progressed(int done, int total);
    // Finished: the screens that differ (none when the flash holds the image).
    // Otherwise the read's own outcome and detail, and no screens.
    void ended(lumivor::link::Job::Outcome outcome, const QString& detail,
               const QList<lumivor::protocol::ScreenDifference>& differences);

private:
    FlashRead* read_ = nullptr;
    FlashMemorySink sink_;
    QByteArray expected_;
};

// "The controller's flash holds the image: verified." or which screens differ.
QString verifyResultText(const QList<protocol::ScreenDifference>& differences);

} // namespace lumivor::link
