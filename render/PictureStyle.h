// How a picture of a coded text is fitted to the page it goes on: its size, what its
// glyphs are drawn on, and tint colours made legible there.
#pragma once

#include "raster/Graphics.h"
#include "render/ColourCodes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glyphtint::render {

// What a strip's glyphs are drawn on.
enum class StripBackground {
    Glyph,       // the glyph pictures' own background, as the game shows it
    Transparent, // nothing: each glyph pixel's alpha is its blend factor
    Colour,      // a plain colour, backgroundColour
};

inline constexpr int kMaxPictureScale = 8;

struct PictureStyle {
    int scale = 1; // every pixel becomes a scale x scale block, 1..kMaxPictureScale
    StripBackground background = StripBackground::Glyph;
    TColourTriple backgroundColour; // with StripBackground::Colour
    // Tint colours below this contrast ratio against the background are made legible.
    std::optional<double> minContrast;
    // The page a transparent strip is shown on: what contrast is measured against.
    std::optional<TColourTriple> page;
};

// The colour the tint colours are measured against: the background colour, the glyph
// background, or the page under a transparent strip (the glyph background without one).
TColourTriple ContrastBackground(const PictureStyle& style);

// The colour a tint colour is drawn in under the style: unchanged without minContrast.
TColourTriple StyledTint(TColourTriple colour, const PictureStyle& style);

// The colour codes of text ("0", "4", ...) whose colour the style's minContrast changes,
// each once in order of first use; empty without minContrast. Codes whose colour never
// draws a glyph count too: the same name may draw one on another line.
std::vector<std::string> AdjustedCodes(std::string_view text, const PictureStyle& style,
                                       const CodeRules& rules = DefaultCodeRules());

// target becomes source with every pixel a scale x scale block (nearest neighbour),
// alpha bytes included. Raises EOutOfResources for a side past the largest bitmap.
void ScaleBitmap(const TBitmap& source, int scale, TBitmap& target);

} // namespace glyphtint::render
