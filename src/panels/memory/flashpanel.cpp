#include "panels/memory/flashpanel.h"

#include "link/dialogs.h"
#include "link/flashfile.h"
#include "link/flashtransfer.h"
#include "link/linkservice.h"
#include "link/responsemonitor.h"
#include "panels/progressview.h"
#include "panels/widgets.h"
#include "product.h"
#include "protocol/flashimage.h"

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

FlashPanel::FlashPanel(const PanelContext& context, QObject* parent)
    : QObject(parent), context_(context)
{
    read_ = new link::FlashRead(context.link, this);
    write_ = new link::FlashWrite(context.link, this);
    for (Job* job : {static_cast<Job*>(read_), static_cast<Job*>(write_)})
        connect(job, &Job::progressed, this, &FlashPanel::showProgress);
    connect(read_, &Job::ended, this, &FlashPanel::readEnded);
    connect(write_, &Job::ended, this, &FlashPanel::writeEnded);
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
    // A holding place the operator never sees, like txtBuffer.
    offset_ = new QLineEdit(QStringLiteral("Text10"), frame_);
    offset_->setObjectName(QStringLiteral("Text10"));
    offset_->hide();
    connect(write_, &link::FlashWrite::fileOffsetReached, offset_,
            [this](qint64 offset) { offset_->setText(QString::number(offset)); });

    auto* options = new QVBoxLayout;
    options->addWidget(copy_);
    options->addWidget(load_);
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
    link::FlashImageFile source(path);
    const FlashStart started = write_->start(source);
    if (started.status == FlashStart::Status::FileRefused) {
        context_.dialogs.message(link::flashFileRefusedText(path, started.reason), product::title(),
                                 Dialogs::Icon::Critical, Dialogs::Buttons::Ok);
        backToRest();
    }
    if (!started.started())
        return;
    sourcePath_ = path;
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
    showEnd(outcome, stopped);
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

// A write the operator stops waits until the controller has left its flash
// write, so the next command does not become flash data; a second Cancel
// stops it at once.
void FlashPanel::cancelRunning()
{
    read_->cancel();
    write_->stopAndWaitOut();
    if (write_->isWaitingOut())
        context_.progress.setProgressText(tr(" Stopping..."));
}

} // namespace lumivor::panels
