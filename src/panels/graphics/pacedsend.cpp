#include "panels/graphics/pacedsend.h"

#include "link/dialogs.h"
#include "panels/progressview.h"
#include "product.h"

#include <utility>

namespace lumivor::panels {

PacedSend::PacedSend(const PanelContext& context, const QString& purpose, const QString& shortName,
                     QObject* parent)
    : QObject(parent), context_(context), shortName_(shortName)
{
    writer_ = new link::PacedWriter(context_.link, purpose, this);
    connect(writer_, &link::Job::progressed, this, &PacedSend::showProgress);
    connect(writer_, &link::Job::ended, this, &PacedSend::finished);
}

bool PacedSend::start(QList<link::PacedWrite> writes)
{
    total_ = static_cast<int>(writes.size());
    if (!writer_->start(std::move(writes)))
        return false;
    if (!writer_->isRunning())
        return true; // everything was due at once: written, ended and told already
    shown_ = true;
    context_.progress.operationStarted([this] { writer_->cancel(); });
    context_.progress.setProgressRange(total_);
    context_.progress.setProgress(writer_->written());
    context_.progress.setProgressText(tr("%1\u2026").arg(shortName_));
    return true;
}

void PacedSend::showProgress(int done, int /*total*/)
{
    context_.progress.setProgress(done);
}

void PacedSend::finished(link::Job::Outcome outcome, const QString& detail)
{
    const int done = writer_->written();
    if (std::exchange(shown_, false))
        context_.progress.operationEnded();
    switch (outcome) {
    case link::Job::Outcome::Finished:
        context_.progress.setProgressText(tr("%1 done").arg(shortName_));
        return;
    case link::Job::Outcome::Cancelled:
        context_.progress.setProgressText(
            tr("%1 stopped (%2 of %3)").arg(shortName_).arg(done).arg(total_));
        return;
    case link::Job::Outcome::TimedOut:
    case link::Job::Outcome::Failed:
        break;
    }
    context_.progress.setProgressText(
        tr("%1 failed (%2 of %3)").arg(shortName_).arg(done).arg(total_));
    QString text =
        tr("%1 stopped after %2 of %3 writes.").arg(writer_->purpose()).arg(done).arg(total_);
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    context_.dialogs.message(text, product::title(), link::Dialogs::Icon::Critical,
                             link::Dialogs::Buttons::Ok);
}

} // namespace lumivor::panels
