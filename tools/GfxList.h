// glyphtint-gfx list: the central directory of an archive, one line per entry.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace glyphtint::tools {

// The name with control bytes written as \xNN and backslashes doubled, so that
// no name can move the terminal's cursor or pass for more than one field or line.
std::string EscapedEntryName(std::string_view name);

// Writes one line per entry in stored order, fields separated by tabs: name (escaped),
// uncompressed size, compressed size, method ("stored", "deflated" or its
// number) and CRC-32 in 8 hex digits. An archive that cannot be opened throws
// GfxToolError with the cause.
void ListGfxArchive(const std::string& path, std::ostream& out);

} // namespace glyphtint::tools
