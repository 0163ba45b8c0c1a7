#include "link/flashverify.h"

#include <QLocale>

namespace lumivor::link {

FlashVerify::FlashVerify(LinkService& link, QObject* parent) : QObject(parent)
{
    read_ = new FlashRead(link, this);
    connect(read_, &Job::progressed, this, &FlashVerify::progressed);
    connect(read_, &Job::ended, this, [this](Job::Outcome outcome, const QString& detail) {
        const QByteArray expected = std::exchange(expected_, QByteArray());
        if (outcome != Job::Outcome::Finished) {
            emit ended(outcome, detail, {});
            return;
        }
        emit ended(outcome, detail, protocol::differingScreens(expected, sink_.image()));
    });
}

FlashStart FlashVerify::start(QByteArray expected)
{
    if (expected.size() != protocol::flashImageBytes)
        return {FlashStart::Status::FileRefused, tr("The image to compare holds %1 bytes, not %2.")
                                                     .arg(expected.size())
                                                     .arg(protocol::flashImageBytes)};
    const FlashStart started = read_->start(sink_);
    if (started.started())
        expected_ = std::move(expected);
    return started;
}

QString verifyResultText(const QList<protocol::ScreenDifference>& differences)
{
    if (differences.isEmpty())
        return FlashVerify::tr("The controller's flash was read back and holds the image: verified.");
    qint64 bytes = 0;
    for (const protocol::ScreenDifference& difference : differences)
        bytes += difference.bytes;
    const QString where = (differences.size() == 1 ? FlashVerify::tr("screen %1")
                                                   : FlashVerify::tr("screens %1"))
                              .arg(protocol::screenList(differences));
    const QString size = bytes == 1 ? FlashVerify::tr("1 byte")
                                    : FlashVerify::tr("%1 bytes").arg(QLocale().toString(bytes));
    return FlashVerify::tr("The controller's flash was read back and differs from the image in "
                           "%1 (%2).")
        .arg(where, size);
}

} // namespace lumivor::link
