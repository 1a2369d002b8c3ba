// Contrast between colours as the web measures it (WCAG 2), and colours made legible on a
// page by lightening or darkening them within their hue.
#pragma once

#include "render/ColourCodes.h"

namespace glyphtint::render {

// The contrast ratio of two sRGB colours: (L1 + 0.05) / (L2 + 0.05) of their relative
// luminances, lighter over darker; 1 for equal colours, 21 for black on white.
double ContrastRatio(TColourTriple a, TColourTriple b);

// The colour nearest to colour, of its hue, whose contrast against background reaches
// minRatio: mixed with white on a background where white stands out more than black, with
// black otherwise, as little as reaches the ratio. A colour that reaches it already is
// given back unchanged; where even white or black falls short, that extreme is given.
TColourTriple LegibleColour(TColourTriple colour, TColourTriple background, double minRatio);

} // namespace glyphtint::render
