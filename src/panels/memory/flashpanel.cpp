#include "panels/memory/flashpanel.h"

#include "link/dialogs.h"
#include "link/flashfile.h"
#include "link/flashtransfer.h"
#include "link/flashverify.h"
#include "link/linkservice.h"
#include "link/responsemonitor.h"
#include "panels/progressview.h"
#include "panels/widgets.h"
#include "product.h"
#include "protocol/flashimage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumivor::panels {

using link::Dialogs;
using link::FlashStart;
using link::Job;

namespace {

Dialogs::Icon iconFor(Job::Outcome outcome)
{
    return outcome == Job::Outcome::Failed ? Dialogs::Icon::Critical : Dialogs::Icon::Exclamation;
}

} // namespace

QString verifyEndedText(Job::Outcome outcome, const QString& detail, int blocksDone,
                        const QList<protocol::ScreenDifference>& differences)
{
    if (outcome == Job::Outcome::Finished)
        return link::verifyResultText(differences);
    QString why = outcome == Job::Outcome::Cancelled && detail.isEmpty()
                      ? FlashPanel::tr("you cancelled it.")
                      : detail;
    if (!why.isEmpty())
        why[0] = why[0].toLower();
    return FlashPanel::tr("The image was written; reading it back to verify it stopped at block "
                          "%1 of %2: %3\nThe write itself is not verified.")
        .arg(std::min(blocksDone + 1, protocol::flashBlockCount))
        .arg(protocol::flashBlockCount)
        .arg(why);
}

FlashPanel::FlashPanel(const PanelContext& context, QObject* parent)
    : QObject(parent), context_(context)
{
    read_ = new link::FlashRead(context.link, this);
    write_ = new link::FlashWrite(context.link, this);
    for (Job* job : {static_cast<Job*>(read_), static_cast<Job*>(write_)})
        connect(job, &Job::progressed, this, &FlashPanel::showProgress);
    connect(read_, &Job::ended, this, &FlashPanel::readEnded);
    connect(write_, &Job::ended, this, &FlashPanel::writeEnded);
    verify_ = new link::FlashVerify(context.link, this);
    connect(verify_, &link::FlashVerify::progressed, this, &FlashPanel::showProgress);
    connect(verify_, &link::FlashVerify::ended, this, &FlashPanel::verifyEnded);
    connect(write_, &link::FlashWrite::readyReceived, this, [this](const QByteArray& bytes) {
        emit readyBytesReceived(link::receivedText(bytes));
    });

    frame_ = makeFrame("fraFlash", tr("Flash"));
    copy_ = new QRadioButton(tr("Save"));
    copy_->setObjectName(QStringLiteral("optFlashCopy"));
    copy_->setChecked(true);
    load_ = new QRadioButton(tr("Load"));
    load_->setObjectName(QStringLiteral("optFlashLoad"));
    auto* ok = makeButton("cmdFlash", tr("OK"));
    connect(ok, &QPushButton::clicked, this, &FlashPanel::run);
    verifyAfter_ = new QCheckBox(tr("Verify after writing"));
    verifyAfter_->setObjectName(QStringLiteral("chkVerify"));
    verifyAfter_->setToolTip(tr("Read the flash back after a Load and compare it with the file"));
    // A holding place the operator never sees, like txtBuffer.
    offset_ = new QLineEdit(QStringLiteral("Text10"), frame_);
    offset_->setObjectName(QStringLiteral("Text10"));
    offset_->hide();
    connect(write_, &link::FlashWrite::fileOffsetReached, offset_,
            [this](qint64 offset) { offset_->setText(QString::number(offset)); });

    auto* options = new QVBoxLayout;
    options->addWidget(copy_);
    options->addWidget(load_);
    options->addWidget(verifyAfter_);
    auto* layout = new QHBoxLayout(frame_);
    layout->addLayout(options);
    layout->addWidget(ok);
}

FlashPanel::~FlashPanel() = default;

void FlashPanel::run()
{
    if (!context_.link.canSend())
        return;
    if (copy_->isChecked())
        save();
    else
        load();
}

void FlashPanel::save()
{
    const QString target = context_.dialogs.saveFileName(QString::fromLatin1(fileFilter));
    if (target.isEmpty()) {
        backToRest();
        return;
    }
    partFile_ = std::make_unique<link::FlashPartFile>(target);
    const FlashStart started = read_->start(*partFile_);
    if (started.status == FlashStart::Status::FileRefused) {
        context_.dialogs.message(
            tr("The flash memory transfer could not start: %1\nNothing was sent.")
                .arg(started.reason),
            product::title(), Dialogs::Icon::Critical, Dialogs::Buttons::Ok);
        backToRest();
    }
    if (!started.started()) {
        partFile_.reset();
        return;
    }
    showStarted();
}

// The whole file is read and checked before anything is sent: a file that
// would not load completely is refused, and not even 29 02 goes out.
void FlashPanel::load()
{
    const QString path = context_.dialogs.openFileName(QString::fromLatin1(fileFilter));
    if (path.isEmpty()) {
        backToRest();
        return;
    }
    // Loaded here rather than by the job, so that a verify compares with
    // exactly the image that was written.
    const protocol::FlashConversion image = link::FlashImageFile(path).load();
    link::FlashMemorySource source(image.bytes());
    const FlashStart started = image.ok() ? write_->start(source)
                                          : FlashStart{FlashStart::Status::FileRefused,
                                                       image.reason()};
    if (started.status == FlashStart::Status::FileRefused) {
        context_.dialogs.message(link::flashFileRefusedText(path, started.reason), product::title(),
                                 Dialogs::Icon::Critical, Dialogs::Buttons::Ok);
        backToRest();
    }
    if (!started.started())
        return;
    sourcePath_ = path;
    written_ = verifyAfter_->isChecked() ? image.bytes() : QByteArray();
    showStarted();
}

void FlashPanel::showStarted()
{
    context_.progress.setProgressRange(protocol::flashBlockCount - 1);
    context_.progress.setProgress(0);
    context_.progress.operationStarted([this] { cancelRunning(); });
}

// The bar and the status panel show the block just finished.
void FlashPanel::showProgress(int done, int)
{
    const int block = done - 1;
    context_.progress.setProgress(block);
    context_.progress.setProgressText(protocol::blockPercentText(block));
}

void FlashPanel::readEnded(Job::Outcome outcome, const QString& detail)
{
    const QString stopped = outcome == Job::Outcome::Finished
                                ? QString()
                                : link::flashReadStoppedText(
                                      outcome, detail, read_->blocksDone(), partFile_->partPath(),
                                      partFile_->targetPath(), partFile_->targetExisted());
    partFile_.reset();
    showEnd(outcome, stopped);
}

void FlashPanel::writeEnded(Job::Outcome outcome, const QString& detail)
{
    const QString stopped = outcome == Job::Outcome::Finished
                                ? QString()
                                : link::flashWriteStoppedText(outcome, detail, write_->blocksDone(),
                                                              write_->bytesSent(), sourcePath_);
    if (outcome == Job::Outcome::Finished && !written_.isEmpty()) {
        startVerify();
        return;
    }
    showEnd(outcome, stopped);
}

// The read-back runs as part of the same operation: the wait cursor and
// Cancel stay, and the bar starts again from block 0.
void FlashPanel::startVerify()
{
    const FlashStart started = verify_->start(std::exchange(written_, QByteArray()));
    if (!started.started()) {
        context_.progress.operationEnded();
        context_.dialogs.message(
            tr("The image was written, but it could not be read back to verify it: the link "
               "is no longer free."),
            product::title(), Dialogs::Icon::Exclamation, Dialogs::Buttons::Ok);
        backToRest();
        return;
    }
    context_.progress.setProgress(0);
    context_.progress.setProgressText(tr(" Verifying..."));
}

void FlashPanel::verifyEnded(Job::Outcome outcome, const QString& detail,
                             const QList<protocol::ScreenDifference>& differences)
{
    context_.progress.operationEnded();
    const bool verified = outcome == Job::Outcome::Finished && differences.isEmpty();
    context_.dialogs.message(
        verifyEndedText(outcome, detail, verify_->read().blocksDone(), differences),
        product::title(),
        verified ? Dialogs::Icon::Information
                 : (outcome == Job::Outcome::Finished ? Dialogs::Icon::Critical
                                                      : iconFor(outcome)),
        Dialogs::Buttons::Ok);
    backToRest();
}

// Every end leaves the window at rest the same way; only a finished
// transfer says so, every other end says what happened, once.
void FlashPanel::showEnd(Job::Outcome outcome, const QString& stoppedText)
{
    context_.progress.operationEnded();
    if (outcome == Job::Outcome::Finished)
        context_.dialogs.message(tr("Memory transfer completed."), product::title(),
                                 Dialogs::Icon::Information, Dialogs::Buttons::Ok);
    else
        context_.dialogs.message(stoppedText, product::title(), iconFor(outcome),
                                 Dialogs::Buttons::Ok);
    backToRest();
}

// The response poll runs after a transfer whether or not it ran before.
void FlashPanel::backToRest()
{
    context_.progress.setProgressText(QString());
    context_.link.monitor().startPolling();
}

void FlashPanel::cancelRunning()
{
    cancelFlashJobs(*read_, *verify_, *write_, context_.progress);
}

void cancelFlashJobs(link::FlashRead& read, link::FlashVerify& verify, link::FlashWrite& write,
                     ProgressView& progress)
{
    read.cancel();
    verify.cancel();
    write.stopAndWaitOut();
    if (write.isWaitingOut())
        progress.setProgressText(FlashPanel::tr(" Stopping..."));
}

} // namespace lumivor::panels
