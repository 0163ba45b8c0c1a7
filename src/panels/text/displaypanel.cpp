#include "panels/text/displaypanel.h"

#include "link/commandsender.h"
#include "panels/widgets.h"
#include "protocol/textcommands.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace lumivor::panels {

DisplayPanel::DisplayPanel(const PanelContext& context, QObject* parent)
    : QObject(parent), context_(context)
{
    contrastFrame_ = buildContrastFrame();
}

QGroupBox* DisplayPanel::buildContrastFrame()
{
    auto* frame = makeFrame("Frame11", tr("Contrast"));
    contrastMirror_ = makeMirrorBox("Text5");
    contrast_ = makeScrollBar("HScroll5", 0, 255);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(contrastMirror_);
    layout->addWidget(contrast_);
    connect(contrast_, &QScrollBar::valueChanged, this, &DisplayPanel::contrastChanged);
    return frame;
}

bool DisplayPanel::setContrast(int value)
{
    if (value < contrast_->minimum() || value > contrast_->maximum())
        return false;
    contrast_->setValue(value);
    return true;
}

void DisplayPanel::showContrastValue()
{
    contrastMirror_->setText(QString::number(contrast_->value()));
}

void DisplayPanel::contrastChanged(int value)
{
    contrastMirror_->setText(QString::number(value));
    context_.sender.send([this] {
        return std::optional(protocol::contrast(static_cast<std::uint8_t>(contrast_->value())));
    });
}

} // namespace lumivor::panels
