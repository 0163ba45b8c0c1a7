#pragma once

#include "cli/actions.h"
#include "link/flashfile.h"
#include "link/flashtransfer.h"
#include "link/flashverify.h"

namespace lumivor::cli {

// The exit status for a flash transfer's end: the file's, the protocol's or
// the port's fault.
ExitCode flashExitCode(link::Job::Outcome outcome, link::FlashTrouble trouble);

// flash-load: FILE into the controller's flash, checked in full before the
// first byte, exactly as the console's flash "Load" does; with verify, the
// flash is then read back into memory and compared with the file (nothing
// is written to disk either way).
class FlashLoadAction final : public Action
{
    Q_OBJECT
public:
    FlashLoadAction(link::LinkService& link, const QString& path, bool verify,
                    QObject* parent = nullptr);
    void start() override;
    // The controller leaves its flash write only after 2 s without a byte:
    // the session waits that out, so the next command is not taken as data.
    void cancel() override;
    qint64 totalBytes() const override;

private:
    void written(link::Job::Outcome outcome, const QString& detail);
    void verified(link::Job::Outcome outcome, const QString& detail,
                  const QList<protocol::ScreenDifference>& differences);

    void refuse(const QString& reason);

    link::FlashImageFile source_;
    QByteArray expected_; // the file's image, read once for the write and the compare
    link::FlashWrite* write_ = nullptr;
    link::FlashVerify* verify_ = nullptr; // only with --verify
};

} // namespace lumivor::cli
