#pragma once

#include "panels/panelcontext.h"

#include <QObject>

class QGroupBox;
class QLineEdit;
class QRadioButton;
class QScrollBar;

namespace lumivor::panels {

// "Screen" (Frame25) in the "Memory" frame: stores the picture the
// controller shows as a numbered screen in its memory ("Save As", 11 N, after
// the operator confirms) or brings a stored screen back ("Load", 08 N, at
// once). Screens 1 to 5 hold the controller's fonts: the selector starts at 6
// and reaches them only after the About window's picture has unlocked them,
// and storing over them asks with a warning.
class ScreenPanel : public QObject
{
    Q_OBJECT
public:
    // The first screen that holds no font.
    static constexpr int firstFreeScreen = 6;

    explicit ScreenPanel(const PanelContext& context, QObject* parent = nullptr);

    QGroupBox* frame() const { return frame_; }

    // Lets the selector reach the fonts' screens and selects screen 1; there
    // is no way back until the program ends.
    void unlockFontScreens();

private:
    void okClicked();
    bool confirmStore(int screen);

    PanelContext context_;
    QGroupBox* frame_ = nullptr;
    QRadioButton* load_ = nullptr;      // optLoad
    QRadioButton* save_ = nullptr;      // optSave
    QScrollBar* screen_ = nullptr;      // ScreenScroll
    QLineEdit* screenMirror_ = nullptr; // Text6
};

} // namespace lumivor::panels
