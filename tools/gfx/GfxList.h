// glyphtint-gfx list: the central directory of an archive, one line per entry.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace glyphtint::tools {

// The name with control bytes written as \xNN and backslashes doubled, so that
// no name can move the terminal's cursor or pass for more than one field or line.
std::string EscapedEntryName(std::string_view name);

// The character whose glyph an entry of that name holds, as a person reads it ("A" for
// "AA.jpg", "!" for "u1.jpg", "space" for "spc.jpg"); "(none)" for a name that is no glyph.
std::string GlyphCharacterOf(std::string_view entryName);

// Writes one line per entry in stored order, fields separated by tabs: name (escaped),
// uncompressed size, compressed size, method ("stored", "deflated" or its
// number) and CRC-32 in 8 hex digits. For people (forPeople, the list on a terminal) a
// header line comes first and the character each glyph draws stands beside its name
// (GlyphCharacterOf). An archive that cannot be opened throws GfxToolError with the cause.
void ListGfxArchive(const std::string& path, std::ostream& out, bool forPeople = false);

} // namespace glyphtint::tools
