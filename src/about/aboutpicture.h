#pragma once

#include <QPixmap>

namespace lumivor::about {

inline constexpr int aboutPictureWidth = 102;
inline constexpr int aboutPictureHeight = 72;

// The About window's picture, drawn here rather than loaded: a little LCD
// module on its board, showing "240x64" in 5 x 7 pixel digits.
QPixmap aboutPicture();

} // namespace lumivor::about
