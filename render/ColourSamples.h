// Colour samples: where the glyphs of a coded text stand in its strip as an image shows
// it, and which colour code each of them is drawn in.
#pragma once

#include "render/ColourCodes.h"

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace glyphtint::render {

class GlyphPack;

// The window's two palettes, shown by glyphtint-serve's page too: the first string shows
// the codes 1-9, 0 and a-n; the second o-z and the punctuation codes.
inline constexpr const char* kPaletteText1 = "^11^22^33^44^55^66^77^88^99^00^aa^bb^cc^dd^ee^ff^gg^hh^ii^jj^kk^ll^mm^nn";
inline constexpr const char* kPaletteText2 =
    "^oo^pp^qq^rr^ss^tt^uu^vv^ww^xx^yy^zz^//^**^--^++^??^@@^__^[[^]]^==^||^'^<<^>>^,,^..";

// The width of each byte's glyph in a strip; 0 for a byte without a glyph.
using GlyphWidths = std::array<int, 256>;

// The widths of the glyphs that text draws, read from the glyphs' JPEG headers. Bytes the
// text does not draw, and glyphs that cannot be sized (missing, damaged, encrypted), stay 0.
GlyphWidths MeasureGlyphWidths(GlyphPack& pack, std::string_view text);

// One glyph of a strip and the colour code it is drawn in, with its columns in the image.
struct ColourSample {
    char code = 0;
    int left = 0;
    int width = 0;
};

// Every glyph of text's strip that is drawn in a colour code, left to right, placed as in
// an image imageWidth pixels wide that shows the strip unscaled and centred (samples may
// stand partly or wholly outside the image). Glyphs of width 0 are no samples.
std::vector<ColourSample> ColourSamplesOf(std::string_view text, const GlyphWidths& widths, int imageWidth,
                                          const CodeRules& rules = DefaultCodeRules());

// The glyph under column x of an image imageWidth pixels wide that shows text's strip
// unscaled and centred: the strip's left edge stands at half the difference of the widths,
// rounded toward zero, so a strip wider than the image shows only its middle. Nothing
// when x lies outside the image or on no glyph, or when the glyph is drawn before any code
// (in the start colour). Glyph widths come from widths.
std::optional<ColourSample> ColourSampleAt(std::string_view text, const GlyphWidths& widths, int imageWidth, int x,
                                           const CodeRules& rules = DefaultCodeRules());

} // namespace glyphtint::render
