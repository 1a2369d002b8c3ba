// Recolouring of a glyph's rectangle to a tint colour.
#pragma once

#include "raster/Graphics.h"
#include "render/ColourCodes.h"

namespace glyphtint::render {

// Every pixel of the rectangle whose channel mean lies above the glyph background's
// brightness becomes a blend of the glyph background colour and the tint, weighted by
// how much brighter it is; the others stay as they are. Works on the target's bitmap.
void TintGlyphArea(TPicture& target, int left, int top, int width, int height, TColourTriple colour);

// The same on a bitmap directly.
void TintBitmapArea(TBitmap& bitmap, int left, int top, int width, int height, TColourTriple colour);

// The colour value a pixel of the given channel mean takes under the tint; mean must
// lie above the threshold (119..255).
TColor TintedColour(int mean, TColourTriple colour);

// Means at or below this value are left alone.
constexpr int kTintThreshold = 118;

} // namespace glyphtint::render
