#include "panels/touch/animationpanel.h"

#include "link/linkservice.h"
#include "panels/widgets.h"
#include "protocol/memorycommands.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace lumivor::panels {

AnimationPanel::AnimationPanel(const PanelContext& context, QObject* parent)
    : QObject(parent), context_(context)
{
    // A scroll bar starts at its minimum: delay 3, screens 1 to 2.
    delay_ = makeScrollBar("HScroll2", 3, 100);
    start_ = makeScrollBar("HScroll1", 1, 203);
    stop_ = makeScrollBar("HScroll6", 2, 204);
    auto* run = makeButton("Command17", tr("Run"));
    auto* stop = makeButton("Command20", tr("Stop"));
    sendOnClick(run, context_.link, [this] { return runCommand(); });
    sendOnClick(stop, context_.link, [] { return protocol::stopAnimation(); });

    frame_ = makeFrame("fraAnimation", tr("Animation"));
    auto* layout = new QVBoxLayout(frame_);
    layout->addWidget(buildSelector("Frame8", tr("Delay"), delay_, "Text11"));
    layout->addWidget(buildSelector("Frame14", tr("Start Screen"), start_, "Text1"));
    layout->addWidget(buildSelector("Frame16", tr("Stop Screen"), stop_, "Text2"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(run);
    buttons->addWidget(stop);
    layout->addLayout(buttons);
    layout->addStretch();
}

// A frame with a scroll bar and the box that mirrors its value, which
// follows every change at once and sends nothing.
QGroupBox* AnimationPanel::buildSelector(const char* frameName, const QString& caption,
                                         QScrollBar* bar, const char* mirrorName)
{
    auto* frame = makeFrame(frameName, caption);
    auto* mirror = makeMirrorBox(mirrorName);
    mirror->setText(QString::number(bar->value()));
    connect(bar, &QScrollBar::valueChanged, mirror,
            [mirror](int value) { mirror->setText(QString::number(value)); });
    auto* layout = new QHBoxLayout(frame);
    layout->addWidget(mirror);
    layout->addWidget(bar, 1);
    return frame;
}

// The bars' ranges keep every value within a byte.
QByteArray AnimationPanel::runCommand() const
{
    return protocol::runAnimation(static_cast<std::uint8_t>(delay_->value()),
                                  static_cast<std::uint8_t>(start_->value()),
                                  static_cast<std::uint8_t>(stop_->value()));
}

} // namespace lumivor::panels
