#include "panels/text/displaypanel.h"

#include "link/linkservice.h"
#include "panels/widgets.h"
#include "protocol/textcommands.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace lumivor::panels {

using protocol::DisplayMode;

DisplayPanel::DisplayPanel(const PanelContext& context, QObject* parent)
    : QObject(parent), context_(context)
{
    backlightFrame_ = buildBacklightFrame();
    soundFrame_ = buildSoundFrame();
    screenFrame_ = buildScreenFrame();
    modeFrame_ = buildModeFrame();
    contrastFrame_ = buildContrastFrame();
    pageFrame_ = buildPageFrame();
}

QGroupBox* DisplayPanel::buildBacklightFrame()
{
    auto* frame = makeFrame("Frame24", tr("Backlight"));
    auto* on = makeButton("Command13", tr("ON"), tr("LCD Backlight ON (0x09 + 0x01)"));
    auto* off = makeButton("Command27", tr("OFF"), tr("LCD Backlight OFF (0x09 + 0x00)"));
    sendOnClick(on, context_.link, [] { return protocol::backlight(true); });
    sendOnClick(off, context_.link, [] { return protocol::backlight(false); });
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(on);
    layout->addWidget(off);
    return frame;
}

QGroupBox* DisplayPanel::buildSoundFrame()
{
    auto* frame = makeFrame("Frame5", tr("Sound"));
    auto* beep = makeButton("Command28", tr("Beep"));
    sendOnClick(beep, context_.link, [] { return protocol::beep(); });
    (new QVBoxLayout(frame))->addWidget(beep);
    return frame;
}

QGroupBox* DisplayPanel::buildScreenFrame()
{
    auto* frame = makeFrame("Frame21", tr("Screen"));
    auto* on = makeButton("Command12", tr("ON"), tr("Display ON (0x0D + 0x01)"));
    auto* off = makeButton("Command25", tr("OFF"), tr("Display OFF (0x0D + 0x00)"));
    auto* clear = makeButton("Command11", tr("Clear"));
    sendOnClick(on, context_.link, [] { return protocol::displayPower(true); });
    sendOnClick(off, context_.link, [] { return protocol::displayPower(false); });
    sendOnClick(clear, context_.link, [] { return protocol::clearScreen(); });
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(on);
    layout->addWidget(off);
    layout->addWidget(clear);
    layout->addStretch();
    return frame;
}

// "Normal" and "Reverse" share the first line; the two top/bottom modes lie
// below them on the left; on the right the two-line "Right Reverse Left
// Normal" stands above the two diagonals.
QGroupBox* DisplayPanel::buildModeFrame()
{
    struct ModeButton
    {
        const char* name;
        DisplayMode mode;
        int row, column, rowSpan, columnSpan;
    };
    static constexpr ModeButton buttons[] = {
        {"Command19", DisplayMode::Normal, 0, 0, 1, 1},
        {"Command18", DisplayMode::Reverse, 0, 1, 1, 1},
        {"Command16", DisplayMode::TopNormalBottomReverse, 1, 0, 1, 2},
        {"Command15", DisplayMode::TopReverseBottomNormal, 2, 0, 1, 2},
        {"Command7", DisplayMode::RightReverseLeftNormal, 0, 2, 1, 1},
        {"Command14", DisplayMode::DiagonalBackslash, 1, 2, 1, 1},
        {"Command9", DisplayMode::DiagonalSlash, 2, 2, 1, 1},
    };
    auto* frame = makeFrame("Frame22", tr("Normal/Reverse"));
    auto* grid = new QGridLayout(frame);
    for (const ModeButton& b : buttons) {
        const QString caption = protocol::displayModeCaption(b.mode);
        auto* button = b.mode == DisplayMode::RightReverseLeftNormal
                           ? makeWrappingButton(b.name, caption)
                           : makeButton(b.name, caption);
        sendOnClick(button, context_.link, [mode = b.mode] { return protocol::displayMode(mode); });
        grid->addWidget(button, b.row, b.column, b.rowSpan, b.columnSpan);
    }
    return frame;
}

QGroupBox* DisplayPanel::buildContrastFrame()
{
    auto* frame = makeFrame("Frame11", tr("Contrast"));
    contrastMirror_ = makeMirrorBox("Text5");
    contrast_ = makeScrollBar("HScroll5", 0, 255);
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(contrastMirror_);
    layout->addWidget(contrast_);
    layout->addStretch();
    connect(contrast_, &QScrollBar::valueChanged, this, &DisplayPanel::contrastChanged);
    return frame;
}

QGroupBox* DisplayPanel::buildPageFrame()
{
    auto* frame = makeFrame("Frame23", tr("Page"));
    pageMirror_ = makeMirrorBox("Text8");
    page_ = makeScrollBar("PageScroll", 0, 7);
    auto* clearPage = makeButton("Command24", tr("Clear Page"));
    auto* flipPage = makeButton("Command21", tr("Flip Page"));
    sendOnClick(clearPage, context_.link, [this] { return protocol::clearPage(pageOf(page_)); });
    sendOnClick(flipPage, context_.link, [this] { return protocol::flipPage(pageOf(page_)); });
    connect(page_, &QScrollBar::valueChanged, this,
            [this](int value) { pageMirror_->setText(QString::number(value)); });

    auto* grid = new QGridLayout(frame);
    grid->addWidget(pageMirror_, 0, 0);
    grid->addWidget(page_, 0, 1);
    grid->addWidget(clearPage, 1, 0);
    grid->addWidget(flipPage, 1, 1);
    grid->setRowStretch(2, 1);
    return frame;
}

void DisplayPanel::takeOverContrast(int value)
{
    if (value >= contrast_->minimum() && value <= contrast_->maximum())
        contrast_->setValue(value);
    contrastMirror_->setText(QString::number(contrast_->value()));
}

// Runs whether the operator moved the scroll bar or the connect action set it.
void DisplayPanel::contrastChanged(int value)
{
    contrastMirror_->setText(QString::number(value));
    context_.link.send([this] {
        return std::optional(protocol::contrast(static_cast<std::uint8_t>(contrast_->value())));
    });
}

} // namespace lumivor::panels
