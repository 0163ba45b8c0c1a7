#include "app/trafficview.h"

#include "link/clock.h"
#include "link/dialogs.h"
#include "link/traffic.h"
#include "product.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QStringList>
#include <QVBoxLayout>

namespace lumivor::app {

TrafficView::TrafficView(link::TrafficLog& log, link::Clock& clock, link::Dialogs& dialogs,
                         QWidget* parent)
    : QDockWidget(tr("Traffic"), parent), log_(log), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("dckTraffic"));
    lines_ = new QPlainTextEdit;
    lines_->setObjectName(QStringLiteral("txtTraffic"));
    lines_->setReadOnly(true);
    lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines_->setMaximumBlockCount(shownLines);
    lines_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    pause_ = new QPushButton(tr("Pause"));
    pause_->setObjectName(QStringLiteral("cmdTrafficPause"));
    pause_->setCheckable(true);
    auto* clearButton = new QPushButton(tr("Clear"));
    clearButton->setObjectName(QStringLiteral("cmdTrafficClear"));
    auto* save = new QPushButton(tr("Save log..."));
    save->setObjectName(QStringLiteral("cmdTrafficSave"));
    connect(clearButton, &QPushButton::clicked, this, &TrafficView::clear);
    connect(save, &QPushButton::clicked, this, &TrafficView::saveLog);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pause_);
    buttons->addWidget(clearButton);
    buttons->addStretch();
    buttons->addWidget(save);
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->addLayout(buttons);
    layout->addWidget(lines_);
    setWidget(body);

    refresh_ = clock.createTimer(this);
    refresh_->setInterval(std::chrono::milliseconds(refreshMs));
    refresh_->setSingleShot(false);
    connect(refresh_, &link::ClockTimer::timeout, this, &TrafficView::refresh);
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            refresh_->start();
        else
            refresh_->stop();
    });
}

// Paused, the view stands still while the log goes on recording; it then
// picks up from the newest lines.
void TrafficView::refresh()
{
    if (pause_->isChecked() || log_.nextSerial() == shownUpTo_)
        return;
    // A flood since the last tick: the newest lines, under a note for the rest.
    const quint64 pending = log_.nextSerial() - shownUpTo_;
    const quint64 room = shownLines - 1;
    const quint64 skipped = pending > room + 1 ? pending - room : 0;
    QStringList text;
    if (skipped > 0)
        text << tr("... %1 earlier lines are in the log (Save log...)").arg(skipped);
    log_.visitSince(shownUpTo_ + skipped, [&text](const link::TrafficRecord& record) {
        text << link::TrafficLog::line(record);
    });
    shownUpTo_ = log_.nextSerial();
    QScrollBar* bar = lines_->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    lines_->appendPlainText(text.join(QLatin1Char('\n')));
    if (following)
        bar->setValue(bar->maximum());
}

void TrafficView::clear()
{
    log_.clear();
    lines_->clear();
    shownUpTo_ = log_.nextSerial();
}

void TrafficView::saveLog()
{
    const QString name = dialogs_.saveFileName(tr("Text (*.txt)|*.txt|"));
    if (name.isEmpty())
        return;
    QSaveFile file(name);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Text);
    for (std::size_t i = 0; written && i < log_.size(); ++i)
        written =
            file.write((link::TrafficLog::line(log_.at(i)) + QLatin1Char('\n')).toUtf8()) >= 0;
    if (!written || !file.commit())
        dialogs_.message(tr("The log could not be saved to %1: %2").arg(name, file.errorString()),
                         product::title(), link::Dialogs::Icon::Exclamation,
                         link::Dialogs::Buttons::Ok);
}

} // namespace lumivor::app
