#pragma once

#include "panels/panelcontext.h"

#include <QObject>

class QGroupBox;
class QLineEdit;
class QScrollBar;

namespace lumivor::panels {

// The one-touch display controls. Each frame is placed by the main window on
// the tab it belongs to.
class DisplayPanel : public QObject
{
    Q_OBJECT
public:
    explicit DisplayPanel(const PanelContext& context, QObject* parent = nullptr);

    // "Contrast" (Display tab): HScroll5 0-255 with its mirror box Text5.
    QGroupBox* contrastFrame() const { return contrastFrame_; }

    // The connect action hands over the controller's contrast here. Changing
    // the value runs the contrast change (which sends 10 vv while the port is
    // open); false when the value lies outside the scroll bar's range.
    bool setContrast(int value);
    // Shows the contrast scroll bar's value in its mirror box.
    void showContrastValue();

private:
    QGroupBox* buildContrastFrame();
    void contrastChanged(int value);

    PanelContext context_;
    QScrollBar* contrast_ = nullptr;
    QLineEdit* contrastMirror_ = nullptr;
    QGroupBox* contrastFrame_ = nullptr;
};

} // namespace lumivor::panels
