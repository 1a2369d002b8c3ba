// Contrast between colours as the web measures it (WCAG 2), and colours made legible on a
// page by lightening or darkening them within their hue.
#pragma once

#include "render/ColourCodes.h"

#include <cstdint>

namespace glyphtint::render {

// An sRGB channel value 0..255 (clamped) as linear light 0..1.
double LinearChannel(std::int32_t channel);

// The contrast ratio of two sRGB colours: (L1 + 0.05) / (L2 + 0.05) of their relative
// luminances, lighter over darker; 1 for equal colours, 21 for black on white.
double ContrastRatio(TColourTriple a, TColourTriple b);

// The colour nearest to colour (in sRGB distance), of its hue, whose contrast against
// background reaches minRatio: colour mixed with as little white, or as little black, as
// reaches the ratio, whichever is nearer. A colour that reaches it already is given back
// unchanged; where neither white nor black reaches it, the one of them that comes closer
// to the ratio is given.
TColourTriple LegibleColour(TColourTriple colour, TColourTriple background, double minRatio);

} // namespace glyphtint::render
