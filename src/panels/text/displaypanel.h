#pragma once

#include "panels/panelcontext.h"

#include <QObject>

class QGroupBox;
class QLineEdit;
class QScrollBar;

namespace lumivor::panels {

// The one-touch display controls: each button or scroll bar sends one
// two-byte command while the port is open and nothing otherwise. The frames
// are placed by the main window: "Backlight" and "Sound" on the Settings tab,
// "Screen", "Normal/Reverse", "Contrast" and "Page" on the Display tab.
class DisplayPanel : public QObject
{
    Q_OBJECT
public:
    explicit DisplayPanel(const PanelContext& context, QObject* parent = nullptr);

    QGroupBox* backlightFrame() const { return backlightFrame_; }
    QGroupBox* soundFrame() const { return soundFrame_; }
    QGroupBox* screenFrame() const { return screenFrame_; }
    QGroupBox* modeFrame() const { return modeFrame_; }
    QGroupBox* contrastFrame() const { return contrastFrame_; }
    QGroupBox* pageFrame() const { return pageFrame_; }

    // The connect action hands over the controller's contrast here. Changing
    // the value runs the contrast change (which sends 10 vv while the port is
    // open); a value outside the scroll bar's range is ignored. The mirror
    // box shows the scroll bar's value afterwards either way.
    void takeOverContrast(int value);

private:
    QGroupBox* buildBacklightFrame();
    QGroupBox* buildSoundFrame();
    QGroupBox* buildScreenFrame();
    QGroupBox* buildModeFrame();
    QGroupBox* buildContrastFrame();
    QGroupBox* buildPageFrame();
    void contrastChanged(int value);

    PanelContext context_;
    QScrollBar* contrast_ = nullptr;      // HScroll5
    QLineEdit* contrastMirror_ = nullptr; // Text5
    QScrollBar* page_ = nullptr;          // PageScroll
    QLineEdit* pageMirror_ = nullptr;     // Text8
    QGroupBox* backlightFrame_ = nullptr;
    QGroupBox* soundFrame_ = nullptr;
    QGroupBox* screenFrame_ = nullptr;
    QGroupBox* modeFrame_ = nullptr;
    QGroupBox* contrastFrame_ = nullptr;
    QGroupBox* pageFrame_ = nullptr;
};

} // namespace lumivor::panels
