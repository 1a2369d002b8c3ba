// glyphtint-gfx extract: one entry's bytes through ExtractEntryBytes.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace glyphtint::tools {

// A failure of the tool itself rather than of the archive.
class GfxToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The most bytes extract gives: far more than any glyph, and little enough that a
// small file whose entry inflates to gigabytes is refused instead of filling memory.
inline constexpr std::uint64_t kMaxExtractedEntryBytes = 64u << 20;

// Extracts the entry that matches name (as the program looks glyphs up) and
// returns its bytes. Errors come as GfxToolError with the cause that the
// archive's message leaves out. An encrypted entry uses password; when there is none or
// it does not fit, GfxToolError is thrown instead of asking for another.
std::string ExtractGfxEntry(const std::string& path, const std::string& name,
                            const std::optional<std::string>& password);

} // namespace glyphtint::tools
