#pragma once

#include "model/controller.h"

#include <QColor>
#include <QImage>

namespace kestrin {

// Colours of a yellow-green transflective STN panel.
struct PanelColours
{
    QColor background; // a pixel that is off
    QColor ink;        // a pixel that is on
};

// Backlight lights the panel; contrast sets how dark a set pixel is, and near the top of
// its range starts to darken the pixels that are off as well, as on a real panel.
PanelColours panelColours(const DisplaySettings& display);

// The panel as it looks: each LCD pixel a zoom x zoom dot, with a thin gap between dots
// from zoom 3 on.
QImage renderPanel(const Controller& controller, int zoom);

} // namespace kestrin
