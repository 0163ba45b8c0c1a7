#include "panels/memory/screenpanel.h"

#include "link/dialogs.h"
#include "link/linkservice.h"
#include "panels/widgets.h"
#include "protocol/memorycommands.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace lumivor::panels {

using link::Dialogs;

ScreenPanel::ScreenPanel(const PanelContext& context, QObject* parent)
    : QObject(parent), context_(context)
{
    frame_ = makeFrame("Frame25", tr("Screen"));
    load_ = new QRadioButton(tr("Load"));
    load_->setObjectName(QStringLiteral("optLoad"));
    load_->setChecked(true);
    save_ = new QRadioButton(tr("Save As"));
    save_->setObjectName(QStringLiteral("optSave"));
    screen_ = makeScrollBar("ScreenScroll", firstFreeScreen, 255);
    screenMirror_ = makeMirrorBox("Text6");
    screenMirror_->setText(QString::number(firstFreeScreen));
    auto* ok = makeButton("cmdOk", tr("OK"));
    connect(screen_, &QScrollBar::valueChanged, screenMirror_,
            [this](int value) { screenMirror_->setText(QString::number(value)); });
    connect(ok, &QPushButton::clicked, this, &ScreenPanel::okClicked);

    auto* grid = new QGridLayout(frame_);
    grid->addWidget(load_, 0, 0);
    grid->addWidget(save_, 1, 0);
    grid->addWidget(screenMirror_, 0, 1);
    grid->addWidget(ok, 1, 1);
    grid->addWidget(screen_, 2, 0, 1, 2);
}

void ScreenPanel::unlockFontScreens()
{
    screen_->setMinimum(1);
    screen_->setValue(1);
    screenMirror_->setText(QStringLiteral("1"));
}

// The number always comes from the scroll bar, never from its mirror box.
void ScreenPanel::okClicked()
{
    if (!context_.link.canSend())
        return;
    const auto screen = static_cast<std::uint8_t>(screen_->value());
    if (!save_->isChecked()) {
        context_.link.send(protocol::loadScreen(screen));
        return;
    }
    if (confirmStore(screen))
        context_.link.send(protocol::saveScreen(screen));
}

// Exactly one question, chosen by the number alone.
bool ScreenPanel::confirmStore(int screen)
{
    const QString number = QString::number(screen);
    const bool fonts = screen < firstFreeScreen;
    const QString question =
        fonts ? tr("Screens 1-5 are used for fonts storage. Are you sure you want to replace "
                   "screen # %1? ")
                    .arg(number)
              : tr("Are you sure you want to save to screen # %1? ").arg(number);
    return context_.dialogs.message(question, fonts ? tr("Warning") : tr("Confirmation"),
                                    fonts ? Dialogs::Icon::Exclamation : Dialogs::Icon::Question,
                                    Dialogs::Buttons::YesNo) == Dialogs::Answer::Yes;
}

} // namespace lumivor::panels
