// The check of a glyph archive: every glyph present, decodable, of one height, on the
// glyph background colour.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace glyphtint::render {

// How far a decoded corner pixel may stray from the glyph background, per channel.
constexpr int kCornerTolerance = 8;

// Opens the archive as the program does and returns one line per problem found;
// an empty result means the archive passes.
std::vector<std::string> CheckGlyphArchive(const std::string& path);

// `glyphtint-gfx check ARCHIVE`: prints each problem, or a one-line summary when there
// is none, and returns the exit code (1 when there is a problem).
int RunGfxCheck(const std::string& path, std::ostream& out);

} // namespace glyphtint::render
