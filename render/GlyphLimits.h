// How large a glyph may be: limits that no real glyph reaches, so that a hostile glyph
// pack costs bounded memory and time.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace glyphtint::render {

// Bytes of one glyph entry, declared, compressed or produced. A glyph is a small
// picture of one character: the shipped ones take under 2 KB, and even a 1000-pixel
// glyph saved at quality 100 stays well under 1 MiB.
inline constexpr std::uint64_t kMaxGlyphEntryBytes = 4u << 20;

// The sides of one glyph. The generator draws glyphs at most 256 pixels high (a font of
// some 180 pixels, whose widest characters take some 230), and the window shows 45 rows
// of the strip and 32 of each palette: twice the tallest generated glyph and four times
// its widest reach nothing real. A glyph at the
// limit takes 2 MB decoded, so the palettes' 51 glyphs stay near 100 MB; past it a pack
// of 65 000 x 16 glyphs made the window take half a gigabyte at start.
inline constexpr int kMaxGlyphWidth = 1024;
inline constexpr int kMaxGlyphHeight = 512;

// A glyph larger than the limits: the pack is refused where it is read.
class EGlyphTooLarge : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What is wrong with a glyph of this size, without its name ("2000 x 8 pixels; a glyph may
// be at most 1024 pixels wide and 512 high"); empty when nothing is.
inline std::string GlyphSizeProblem(std::int64_t width, std::int64_t height)
{
    if (width <= kMaxGlyphWidth && height <= kMaxGlyphHeight) {
        return {};
    }
    return std::to_string(width) + " x " + std::to_string(height) + " pixels; a glyph may be at most " +
           std::to_string(kMaxGlyphWidth) + " pixels wide and " + std::to_string(kMaxGlyphHeight) + " high";
}

// Raises EGlyphTooLarge naming the entry and the limits for a glyph larger than them.
inline void RequireGlyphWithin(const std::string& entryName, std::int64_t width, std::int64_t height)
{
    if (const std::string problem = GlyphSizeProblem(width, height); !problem.empty()) {
        throw EGlyphTooLarge("The glyph \"" + entryName + "\" is " + problem);
    }
}

} // namespace glyphtint::render
