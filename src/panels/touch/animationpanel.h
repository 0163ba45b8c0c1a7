#pragma once

#include "panels/panelcontext.h"

#include <QObject>

class QGroupBox;
class QScrollBar;

namespace lumivor::panels {

// The "Animation" frame: runs the controller's built-in animation over its
// stored screens from a start screen to a stop screen with a delay between
// screens, and stops it. The values are read from the scroll bars, each with
// a mirror box that shows its value; they go out as chosen (a start above the
// stop is the controller's affair). Run and Stop send only while the link is
// free; the scroll bars never send.
class AnimationPanel : public QObject
{
    Q_OBJECT
public:
    explicit AnimationPanel(const PanelContext& context, QObject* parent = nullptr);

    QGroupBox* frame() const { return frame_; }

private:
    QGroupBox* buildSelector(const char* frameName, const QString& caption, QScrollBar* bar,
                             const char* mirrorName);
    QByteArray runCommand() const;

    PanelContext context_;
    QScrollBar* delay_ = nullptr; // HScroll2, 3..100
    QScrollBar* start_ = nullptr; // HScroll1, 1..203
    QScrollBar* stop_ = nullptr;  // HScroll6, 2..204
    QGroupBox* frame_ = nullptr;  // fraAnimation
};

} // namespace lumivor::panels
