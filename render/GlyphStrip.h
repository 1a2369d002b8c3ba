// Composition of a coded text into a strip of tinted glyphs read from the glyph archive.
#pragma once

#include "raster/Graphics.h"
#include "render/ColourCodes.h"

#include <string>
#include <string_view>

class TZipArchive;

// Empties the target's bitmap and appends, left to right, the glyph of every byte the
// coded text draws, each tinted to the colour in force at that byte. The archive must
// be open. The first error (a missing or damaged entry, an undecodable JPEG) ends the
// render at that byte and passes out as it was raised; the glyphs before it stay.
void RenderCodedText(TZipArchive& archive, std::string_view text, TPicture& target);

// One glyph step of a render: the byte's glyph widens the strip, sets its height and is
// drawn at the old right edge and tinted. Bytes without a glyph leave everything alone.
// extractionBuffer is the render's buffer for entry bytes, reused by every glyph.
void AppendGlyph(TZipArchive& archive, TPicture& target, std::string& extractionBuffer, unsigned char character,
                 TColourTriple colour);
