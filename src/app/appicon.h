#pragma once

#include <QIcon>

namespace lumivor::app {

// The application's icon, drawn in code at the usual sizes (the same picture
// as data/lumivor.svg, which the desktop entry uses): no image plugin needed.
QIcon applicationIcon();

} // namespace lumivor::app
