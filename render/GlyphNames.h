// Archive entry names of the glyph pictures, one per drawable byte.
#pragma once

#include <string>

namespace glyphtint::render {

// The glyph entry name of a byte without ".jpg", or "" when the byte has no glyph.
std::string GlyphEntryName(unsigned char character);

// The name looked up in the archive: the glyph entry name followed by ".jpg", or ""
// when the byte has no glyph.
std::string FullGlyphEntryName(unsigned char character);

// Whether the byte has a glyph: GlyphEntryName is not empty, answered from a table made once.
bool HasGlyph(unsigned char character);

// The bytes that have a glyph, in ascending order (89 of them).
std::string DrawableGlyphBytes();

} // namespace glyphtint::render
