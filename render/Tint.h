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

// What a tinted glyph is drawn on. On the glyph background the glyph's own dark pixels
// stay as they are; on a plain colour the blend goes onto that colour and dark pixels
// take it; on nothing a bright pixel takes the tint colour with its blend factor as alpha
// (the device pixel's fourth byte) and a dark one is fully transparent.
struct TintBackground {
    enum class Kind { Glyph, Colour, Transparent };
    Kind kind = Kind::Glyph;
    TColourTriple colour; // with Kind::Colour
};

// TintBitmapArea onto the given background; Kind::Glyph is TintBitmapArea itself.
void TintBitmapAreaOnto(TBitmap& bitmap, int left, int top, int width, int height, TColourTriple colour,
                        const TintBackground& background);

// The alpha of a pixel of the given channel mean on a transparent background: the blend
// factor (mean - 118) / 137 as 0..255, rounded; 0 at or below the threshold.
int TintAlpha(int mean);

// The colour value a pixel of the given channel mean takes under the tint; mean must
// lie above the threshold (119..255).
TColor TintedColour(int mean, TColourTriple colour);
// The same blend onto another background colour.
TColor TintedColour(int mean, TColourTriple colour, TColourTriple background);

// Means at or below this value are left alone.
constexpr int kTintThreshold = 118;

} // namespace glyphtint::render
