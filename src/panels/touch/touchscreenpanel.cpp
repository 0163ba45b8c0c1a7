#include "panels/touch/touchscreenpanel.h"

#include "link/dialogs.h"
#include "link/linkservice.h"
#include "panels/widgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumivor::panels {

using link::Dialogs;

TouchScreenPanel::TouchScreenPanel(const PanelContext& context, QGroupBox* responseFrame,
                                   QObject* parent)
    : QObject(parent), context_(context)
{
    frame_ = makeFrame("fraTouchScreen", tr("Touch Screen"));
    auto* layout = new QVBoxLayout(frame_);
    layout->addWidget(buildModeButtons());
    layout->addWidget(buildKeypadFrame());
    layout->addStretch();
    layout->addWidget(responseFrame);
}

QWidget* TouchScreenPanel::buildModeButtons()
{
    auto* calibrate = makeButton("Command30", tr("Calibrate"));
    auto* coordinates = makeButton("CmdAnalog", tr("Coordinates"));
    auto* off = makeButton("CmdOFF", tr("OFF"));
    connect(calibrate, &QPushButton::clicked, this, &TouchScreenPanel::calibrate);
    sendOnClick(coordinates, context_.link,
                [] { return protocol::touchMode(protocol::TouchMode::Coordinates); });
    sendOnClick(off, context_.link, [] { return protocol::touchMode(protocol::TouchMode::Off); });

    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(calibrate);
    layout->addWidget(coordinates);
    layout->addWidget(off);
    return row;
}

QGroupBox* TouchScreenPanel::buildKeypadFrame()
{
    auto* frame = makeFrame("Frame17", tr("6x3 Keypad"));
    auto* withoutFlip = makeButton("Cmd6x3", tr("w/o Flip"));
    auto* withFlip = makeButton("Command22", tr("w/Flip"));
    sendOnClick(withoutFlip, context_.link,
                [] { return protocol::keypadMode(protocol::KeypadMode::WithoutFlip); });
    sendOnClick(withFlip, context_.link,
                [] { return protocol::keypadMode(protocol::KeypadMode::WithFlip); });
    // The box ticks on every click; only a click that can send tells the
    // controller, so with the link unavailable the box and the controller
    // may disagree until the next click.
    auto* beep = new QCheckBox(tr("Beep on touch"));
    beep->setObjectName(QStringLiteral("BeepOnTouch"));
    sendOnClick(beep, context_.link, [beep] { return protocol::beepOnTouch(beep->isChecked()); });

    auto* grid = new QGridLayout(frame);
    grid->addWidget(withoutFlip, 0, 0);
    grid->addWidget(withFlip, 0, 1);
    grid->addWidget(beep, 0, 2);
    grid->addWidget(buildKeyMaskFrame(), 1, 0, 1, 3);
    return frame;
}

// One box per key, laid out as the keys lie on the screen. The boxes carry
// no caption (the frame's is the grid's only label), so each is just as wide
// as its tick mark; the key number is in its tooltip and accessible name.
QGroupBox* TouchScreenPanel::buildKeyMaskFrame()
{
    auto* frame = makeFrame("Frame15", tr("Enable/Disable"));
    auto* grid = new QGridLayout;
    for (int key = 0; key < protocol::keypadKeys; ++key) {
        auto* box = new QCheckBox;
        box->setObjectName(QStringLiteral("Check%1").arg(key + 1));
        box->setToolTip(tr("Key %1").arg(key + 1));
        box->setAccessibleName(box->toolTip());
        box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        grid->addWidget(box, key / protocol::keypadColumns, key % protocol::keypadColumns);
        keys_[static_cast<std::size_t>(key)] = box;
    }
    auto* set = makeButton("Command29", tr("Set"));
    sendOnClick(set, context_.link, [this] { return protocol::keyMask(checkedKeys()); });

    auto* layout = new QHBoxLayout(frame);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addWidget(set);
    return frame;
}

std::array<bool, protocol::keypadKeys> TouchScreenPanel::checkedKeys() const
{
    std::array<bool, protocol::keypadKeys> checked{};
    for (std::size_t key = 0; key < keys_.size(); ++key)
        checked[key] = keys_[key]->isChecked();
    return checked;
}

// Asked only when the command could go out now: with the port closed, or
// while another operation holds the link, a click does nothing and shows
// nothing, as every other button here.
void TouchScreenPanel::calibrate()
{
    if (!context_.link.canSend())
        return;
    const QString question = tr("This will change current Touch Screen calibration.") +
                             QLatin1Char('\n') + tr("Are you sure you want to proceed? ");
    const Dialogs::Answer answer = context_.dialogs.message(
        question, tr("Warning"), Dialogs::Icon::Exclamation, Dialogs::Buttons::YesNo);
    if (answer == Dialogs::Answer::Yes)
        context_.link.send(protocol::calibrate());
}

} // namespace lumivor::panels
