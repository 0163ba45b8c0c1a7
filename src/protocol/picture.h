#pragma once

#include "protocol/arguments.h"

#include <QByteArray>
#include <QColor>
#include <QImage>

#include <array>

namespace lumivor::protocol {

// A full screen is one data byte per column of every page.
inline constexpr int screenDataBytes = screenWidth * pageCount;

// The 240 x 64 canvas a picture is sent from: filled with the background, the
// picture drawn at its own size from the top-left corner, cut off at the right
// and bottom edges. Where a smaller (or transparent) picture does not reach, the
// background shows. A null picture gives a plain background canvas.
QImage canvasFromPicture(const QImage& picture, const QColor& background);

// The screen's data bytes in upload order: page 0 columns 0..239, then page 1,
// and so on. Bit k of byte 240p + x is the pixel (x, 8p + k): 1 for every colour
// whose red, green and blue are not all 0, whatever its alpha; 0 for pure black.
// Always 1920 bytes: only the canvas's top-left 240 x 64 pixels count, and
// pixels a smaller canvas lacks give 0, like black.
QByteArray packCanvas(const QImage& canvas);

// How a canvas becomes the screen's bits.
enum class Conversion {
    Exact,     // the controller's own rule: every colour but pure black is a 1
    Threshold, // a 1 where the pixel is darker than the threshold
    Dithered,  // error diffusion (Floyd-Steinberg): the density of 1s follows
               // the darkness, so a photograph keeps its greys
};
inline constexpr int defaultThreshold = 128;

// The screen's bits for a canvas: a 240 x 64 grey image whose pixels are 255
// for a 1 and 0 for a 0, so that packCanvas() sends exactly what it shows.
// Threshold and Dithered read the canvas's brightness (qGray) and make dark
// parts 1s, so that a photograph looks like itself on the LCD, where a 1 is a
// dark pixel; the threshold (1 to 255) applies to Threshold only.
QImage convertCanvas(const QImage& canvas, Conversion conversion, int threshold = defaultThreshold);

// The three writes that put the controller in place for a screen upload, in
// order: touch reports off (05 00), text column 0 (12 00), text page 0 (06 00).
// Each needs its own pause; the data bytes follow as 03 b writes.
std::array<QByteArray, 3> pictureUploadPreamble();

} // namespace lumivor::protocol
