// Colours in words: the short English name a person would give a tint, and a coded
// text's picture told as its words and their colours.
#pragma once

#include "render/ColourCodes.h"
#include "render/PictureStyle.h"

#include <string>
#include <string_view>

namespace glyphtint::render {

// The name, from a fixed list of common colour names ("red", "dark red", "sky blue",
// "light grey", ...), of the listed colour nearest to colour as the eye sees it.
std::string_view ColourName(TColourTriple colour);

// The name of a colour code's colour ("red" for '1'); empty for a byte that is no code.
std::string_view ColourCodeName(unsigned char code);

// What the picture of text shows, in words: the characters it draws, run by run with the
// name of the colour each run is drawn in under the style ("m00 in red, says in white").
// Spaces at the ends of a run are left out, a run of spaces alone is dropped, and
// neighbouring runs of one colour name are told as one. Empty when nothing is drawn.
std::string DescribePicture(std::string_view text, const PictureStyle& style = {},
                            const CodeRules& rules = DefaultCodeRules());

} // namespace glyphtint::render
