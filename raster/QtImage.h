// Bitmaps as Qt images, converted a row at a time: for painting on the screen, for the
// clipboard, and for drawing text through Qt's painter.
#pragma once

#include "raster/Graphics.h"

#include <QImage>
#include <QRect>
#include <QRgb>

#include <functional>

namespace glyphtint::raster {

// The count pixels of row y from column left on, as opaque Qt colours.
void ReadRowRgb32(const TBitmap& bitmap, int y, int left, int count, QRgb* out);
// Stores count opaque Qt colours into row y from column left on; an 8-bit bitmap takes
// the nearest colour of its palette.
void WriteRowRgb32(TBitmap& bitmap, int y, int left, int count, const QRgb* in);

// The bitmap's pixels as an opaque RGB32 image; null for an empty bitmap, or when there
// is no memory for the image.
QImage ToQImage(const TBitmap& bitmap);
// The same for the part of the bitmap inside area (a screen shows only the middle of a long
// strip); null when they do not overlap.
QImage ToQImage(const TBitmap& bitmap, const QRect& area);

// Calls use with the bitmap's own pixels seen as an opaque RGB32 image, without a copy: for
// the call a display-depth bitmap's bytes stand in Qt's order, and afterwards in its own
// again. Other depths, and an empty bitmap, are lent as a converted copy (ToQImage). The
// image must not be kept past the call.
void LendAsQImage(TBitmap& bitmap, const std::function<void(const QImage&)>& use);

} // namespace glyphtint::raster

// A copy of the image for the clipboard, in the platform's bitmap format; null for an
// empty bitmap. Raises EOutOfResources when there is no memory for the copy.
QImage MakeClipboardBitmap(const TBitmap& bitmap);
