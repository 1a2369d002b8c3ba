// Composition of a coded text into a strip of tinted glyphs read from the glyph archive.
#pragma once

#include "raster/Graphics.h"
#include "render/ColourCodes.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

class TZipArchive;

namespace glyphtint::render {

// The widest strip a render draws: room for a pasted text of 100 000 characters even of
// the widest shipped glyphs (18 pixels each), twice the widest PNG file. Beyond it (a
// pasted megabyte) a render costs seconds and gigabytes for a picture no file takes.
inline constexpr std::int64_t kMaxStripWidth = 2000000;
// The most pixels the strip may hold: the widest strip of the shipped glyphs, 20 pixels
// high (160 MB), or fewer columns of taller glyphs. With the framed picture's own limit
// (render/FramedImage.h) it keeps every program under half a gigabyte whatever the pack.
inline constexpr std::int64_t kMaxStripPixels = kMaxStripWidth * 20;

// The size a render's strip takes, known from the glyphs' JPEG headers alone.
struct StripSize {
    std::int64_t width = 0;
    std::int64_t height = 0;  // the last glyph's
    std::int64_t tallest = 0; // the tallest glyph's: the strip's storage keeps its rows
    // The most pixels the strip's storage holds on the way: its width times the tallest
    // glyph so far.
    std::int64_t peakPixels = 0;
};

// A text whose strip would pass the limits: refused before a pixel is drawn.
class ETextTooLong : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The strip a render of text would draw, from the header of each glyph it draws (each
// entry read once). An encrypted entry is read with the archive's password as it stands,
// and none is asked for: the render asks. It stops at the first glyph it cannot size
// (missing, damaged, or encrypted with a password not given yet: the render itself
// reports or asks), so it counts the glyphs before it. A glyph past the limits of
// render/GlyphLimits.h raises EGlyphTooLarge.
StripSize MeasureCodedText(TZipArchive& archive, std::string_view text);

// Raises ETextTooLong, naming what was asked for and the limit, when a strip of this
// size is wider than maxWidth or passes kMaxStripPixels.
void RequireStripWithin(const StripSize& size, std::int64_t maxWidth);

// Glyphs that the renders and measurements over one open archive keep for the next ones,
// so that a job drawing many texts (a batch) reads and decodes each entry once rather
// than once per text. Decoded glyphs are kept up to a bounded number of pixels. The
// window keeps none: each of its renders reads the archive anew.
class GlyphMemory {
public:
    GlyphMemory();
    ~GlyphMemory();
    GlyphMemory(const GlyphMemory&) = delete;
    GlyphMemory& operator=(const GlyphMemory&) = delete;

    struct Kept;
    Kept& Glyphs() { return *kept_; }

private:
    std::unique_ptr<Kept> kept_;
};

// MeasureCodedText with the sizes of glyphs that earlier calls read kept in memory.
StripSize MeasureCodedText(TZipArchive& archive, std::string_view text, GlyphMemory& memory);

} // namespace glyphtint::render

// Empties the target's bitmap and appends, left to right, the glyph of every byte the
// coded text draws, each tinted to the colour in force at that byte. The archive must
// be open. A text whose strip would be wider than kMaxStripWidth or pass kMaxStripPixels
// is refused with ETextTooLong, and a glyph past the glyph limits with EGlyphTooLarge,
// before anything is drawn (the target is then empty); glyphs that could not be measured
// beforehand are held to the same limits as they come. Otherwise the first
// error (a missing or damaged entry, an undecodable JPEG) ends the render at that byte
// and passes out as it was raised; the glyphs before it stay. An entry's glyph is
// decoded once per render, however often the text or the archive's names use it.
void RenderCodedText(TZipArchive& archive, std::string_view text, TPicture& target);
// The same, drawing glyphs kept in memory by earlier renders over the same open archive
// and keeping those it decodes.
void RenderCodedText(TZipArchive& archive, std::string_view text, TPicture& target,
                     glyphtint::render::GlyphMemory& memory);

// One glyph step of a render: the byte's glyph widens the strip, sets its height and is
// drawn at the old right edge and tinted. Bytes without a glyph leave everything alone.
// extractionBuffer is the render's buffer for entry bytes, reused by every glyph.
void AppendGlyph(TZipArchive& archive, TPicture& target, std::string& extractionBuffer, unsigned char character,
                 TColourTriple colour);
