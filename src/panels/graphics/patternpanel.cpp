#include "panels/graphics/patternpanel.h"

#include "link/dialogs.h"
#include "link/linkservice.h"
#include "panels/graphics/pacedsend.h"
#include "panels/widgets.h"
#include "protocol/graphicscommands.h"
#include "protocol/operatornumber.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivor::panels {

namespace {

constexpr QChar backspace(0x08);

// Keys that yield no character (arrows, Delete, function keys) are editing
// and navigation, not typing; Tab moves on to the next control.
bool yieldsNoCharacter(const QKeyEvent& key)
{
    return key.text().isEmpty() || key.key() == Qt::Key_Delete || key.key() == Qt::Key_Tab ||
           key.key() == Qt::Key_Backtab;
}

bool isPatternCharacter(const QString& text)
{
    if (text.size() != 1)
        return false;
    const QChar typed = text.at(0);
    return (typed >= QLatin1Char('0') && typed <= QLatin1Char('9')) || typed == QLatin1Char(',') ||
           typed == backspace;
}

} // namespace


PatternPanel::PatternPanel(const PanelContext& context, QWidget* parent)
    : QGroupBox(tr("Pattern"), parent), context_(context)
{
    setObjectName(QStringLiteral("Frame4"));
    longSend_ = new PacedSend(context_, tr("The pattern send"), tr("Pattern"), this);

    values_ = new QPlainTextEdit;
    values_->setObjectName(QStringLiteral("txtString1"));
    values_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    values_->setTabChangesFocus(true);
    values_->installEventFilter(this);
    auto* send = makeButton("Command1", tr("Send"));
    connect(send, &QPushButton::clicked, this, &PatternPanel::send);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeLabel("Label6", tr("Example: 0,1, ... ,255")));
    layout->addWidget(values_, 1);
    layout->addWidget(send, 0, Qt::AlignHCenter);
}

// Digits, commas and Backspace go into the box; any other character (Enter
// and control-key combinations included) is refused with a message.
bool PatternPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != values_ || event->type() != QEvent::KeyPress)
        return QGroupBox::eventFilter(watched, event);
    const auto& key = *static_cast<QKeyEvent*>(event);
    if (yieldsNoCharacter(key) || isPatternCharacter(key.text()))
        return false;
    context_.dialogs.message(tr("Illegal Character"), tr("Error"), link::Dialogs::Icon::Information,
                             link::Dialogs::Buttons::Ok);
    return true;
}

// The box is emptied and takes the focus whatever was sent, the port closed
// included.
void PatternPanel::send()
{
    const QString text = values_->toPlainText();
    values_->clear();
    values_->setFocus();
    if (context_.link.canSend())
        sendWrites(protocol::patternWrites(text));
}

void PatternPanel::sendWrites(const QList<QByteArray>& writes)
{
    if (writes.size() <= entriesSentAtOnce) {
        for (const QByteArray& write : writes)
            context_.link.send(write);
        return;
    }
    QList<link::PacedWrite> paced;
    paced.reserve(writes.size());
    for (const QByteArray& write : writes)
        paced.append({write, {}});
    longSend_->start(std::move(paced));
}

} // namespace lumivor::panels
