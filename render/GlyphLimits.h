// How large a glyph may be: limits that no real glyph reaches, so that a hostile glyph
// pack costs bounded memory and time.
#pragma once

#include <cstdint>

namespace glyphtint::render {

// Bytes of one glyph entry, declared, compressed or produced. A glyph is a small
// picture of one character: the shipped ones take under 2 KB, and even a 1000-pixel
// glyph saved at quality 100 stays well under 1 MiB.
inline constexpr std::uint64_t kMaxGlyphEntryBytes = 4u << 20;

} // namespace glyphtint::render
