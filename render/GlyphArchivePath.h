// Where the program finds its glyph archive.
#pragma once

#include <string>

namespace glyphtint::render {

// glyphtint.gfx in the folder of the running executable, symlinks resolved, so that a
// link to the program elsewhere still finds the archive beside the real file. When the
// executable's path cannot be found, a path where no file can exist, never one relative
// to the working directory.
std::string GlyphArchivePath();

} // namespace glyphtint::render
