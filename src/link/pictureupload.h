#pragma once

#include "link/clock.h"
#include "link/pacedwriter.h"

#include <QByteArray>
#include <QList>

namespace lumivor::link {

// A full screen goes to the controller as three positioning commands, each
// followed by a pause in which the controller carries it out, then one 03 b
// write per data byte. The data bytes need no pause of their own: the
// controller stores a byte in its display RAM in far less than the line time
// of the next 03 b, so writing them back to back at line speed keeps it busy
// without ever outrunning it.
//
// 05 00 (touch reports off): the longest pause. The controller finishes the
// touch scan it may be in the middle of (sampling and debouncing a resistive
// panel takes some tens of milliseconds) before it stops reporting, and a
// report still on its way must not be taken for a reply to what follows.
inline constexpr milliseconds touchOffPause{100};
// 12 00 and 06 00 (text column 0, page 0) only move the write position; 10 ms
// is ample for the controller, and both together cost 20 ms of an upload
// that takes 4 s at 9600 baud.
inline constexpr milliseconds columnPause{10};
inline constexpr milliseconds pagePause{10};
inline constexpr Nanoseconds pictureUploadPauses = touchOffPause + columnPause + pagePause;

// The writes of a screen upload, in order: 05 00, 12 00, 06 00 with their
// pauses, then 03 b for each of the screen's 1920 data bytes (page 0 columns
// 0..239, then page 1, ...). Always 1923 writes: a shorter screen is padded
// with blank bytes, a longer one cut.
QList<PacedWrite> pictureUploadWrites(const QByteArray& packedScreen);

} // namespace lumivor::link
