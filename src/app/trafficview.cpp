#include "app/trafficview.h"

#include "link/clock.h"
#include "link/dialogs.h"
#include "link/partfile.h"
#include "link/traffic.h"
#include "product.h"

#include <QAbstractListModel>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace lumivor::app {

// The log's records from `first_` on, `count_` of them, as list rows. It
// keeps serials, so a row stays the same record however the log moves on;
// a row whose record the log has let go of says so.
class TrafficModel final : public QAbstractListModel
{
public:
    explicit TrafficModel(const link::TrafficLog& log, QObject* parent)
        : QAbstractListModel(parent), log_(log), first_(log.nextSerial())
    {}

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : count_;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const link::TrafficRecord* record = log_.find(first_ + quint64(index.row()));
        return record ? link::TrafficLog::line(*record) : TrafficView::tr("(no longer held)");
    }

    // Takes in what the log gained since, and lets go of what it dropped.
    void catchUp()
    {
        const quint64 oldest = log_.oldestSerial();
        if (oldest > first_) {
            const int gone = int(std::min<quint64>(oldest - first_, quint64(count_)));
            if (gone > 0) {
                beginRemoveRows({}, 0, gone - 1);
                count_ -= gone;
                endRemoveRows();
            }
            first_ = oldest;
        }
        const quint64 end = first_ + quint64(count_);
        if (log_.nextSerial() > end) {
            const int added = int(log_.nextSerial() - end);
            beginInsertRows({}, count_, count_ + added - 1);
            count_ += added;
            endInsertRows();
        }
    }

    void restart()
    {
        beginResetModel();
        first_ = log_.nextSerial();
        count_ = 0;
        endResetModel();
    }

private:
    const link::TrafficLog& log_;
    quint64 first_;
    int count_ = 0;
};

TrafficView::TrafficView(link::TrafficLog& log, link::Clock& clock, link::Dialogs& dialogs,
                         QWidget* parent)
    : QDockWidget(tr("Traffic"), parent), log_(log), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("dckTraffic"));
    model_ = new TrafficModel(log_, this);
    lines_ = new QListView;
    lines_->setObjectName(QStringLiteral("lstTraffic"));
    lines_->setModel(model_);
    lines_->setUniformItemSizes(true); // the list never measures more than one line
    lines_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lines_->setSelectionMode(QAbstractItemView::ExtendedSelection);
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

// Paused, the list stands still while the log goes on recording; it then
// picks up where the log stands. A list scrolled to its end follows it.
void TrafficView::refresh()
{
    if (pause_->isChecked())
        return;
    QScrollBar* bar = lines_->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    model_->catchUp();
    if (following)
        lines_->scrollToBottom();
}

void TrafficView::clear()
{
    log_.clear();
    model_->restart();
}

void TrafficView::saveLog()
{
    const QString name = dialogs_.saveFileName(tr("Text (*.txt)|*.txt|"));
    if (name.isEmpty())
        return;
    QByteArray text;
    for (std::size_t i = 0; i < log_.size(); ++i)
        text += (link::TrafficLog::line(log_.at(i)) + QLatin1Char('\n')).toUtf8();
    if (const std::optional<QString> failure = link::writeWholeFile(name, text))
        dialogs_.message(tr("The log was not saved: %1").arg(*failure), product::title(),
                         link::Dialogs::Icon::Exclamation, link::Dialogs::Buttons::Ok);
}

} // namespace lumivor::app
