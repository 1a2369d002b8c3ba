// The one background colour every glyph picture is drawn on.
#pragma once

#include "raster/Graphics.h"

namespace glyphtint::render {

// Red 118, green 124, blue 112. Tinting blends toward it, the framed export's border
// and caption background use it, and glyph archives are checked against it.
constexpr TColor kGlyphBackgroundColour = 7371894;
static_assert(kGlyphBackgroundColour == glyphtint::raster::MakeColor(118, 124, 112));

} // namespace glyphtint::render
