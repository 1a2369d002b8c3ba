// glyphtint-gfx list: the central directory of an archive, one line per entry.
#pragma once

#include <ostream>
#include <string>

namespace glyphtint::tools {

// Writes one line per entry in stored order, fields separated by tabs: name,
// uncompressed size, compressed size, method ("stored", "deflated" or its
// number) and CRC-32 in 8 hex digits. Throws what opening the archive throws.
void ListGfxArchive(const std::string& path, std::ostream& out);

} // namespace glyphtint::tools
