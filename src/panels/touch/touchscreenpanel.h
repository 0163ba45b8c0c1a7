#pragma once

#include "panels/panelcontext.h"
#include "protocol/memorycommands.h"

#include <QObject>

#include <array>

class QCheckBox;
class QGroupBox;
class QWidget;

namespace lumivor::panels {

// The "Touch Screen" frame: how the controller's touch screen reports (off,
// coordinates, or a 6 x 3 keypad with or without flip), the keypad's key
// mask, beep on touch and calibration. Every control sends one command while
// the link is free and nothing otherwise. What the controller reports when
// touched is not decoded here: the response poll shows it in the "Controller
// response" frame, which the main window hands in and this frame holds at
// its foot, where the operator looks after touching the screen.
class TouchScreenPanel : public QObject
{
    Q_OBJECT
public:
    TouchScreenPanel(const PanelContext& context, QGroupBox* responseFrame,
                     QObject* parent = nullptr);

    QGroupBox* frame() const { return frame_; }

private:
    QWidget* buildModeButtons();
    QGroupBox* buildKeypadFrame();
    QGroupBox* buildKeyMaskFrame();
    void calibrate();
    std::array<bool, protocol::keypadKeys> checkedKeys() const;

    PanelContext context_;
    std::array<QCheckBox*, protocol::keypadKeys> keys_{}; // Check1..Check18, row by row
    QGroupBox* frame_ = nullptr;                          // fraTouchScreen
};

} // namespace lumivor::panels
