// Where the window's frame goes on the screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace glyphtint::app {

// The top-left corner of a frame of the given size (title bar and borders included):
// the designed position where the whole frame fits inside the available area, otherwise
// the nearest position where it does. Along a side where the frame is larger than the
// area, it starts at the area's edge (top or left).
QPoint FramePosition(const QRect& available, const QSize& frame, const QPoint& designed);

} // namespace glyphtint::app
