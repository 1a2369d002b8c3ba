// GlyphPack: the open glyph pack, and the strips of tinted glyphs drawn from it for coded
// texts.
#pragma once

#include "raster/Graphics.h"
#include "render/ColourCodes.h"
#include "render/PictureStyle.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace glyphtint::render {

// The widest strip a render draws: room for a pasted text of 100 000 characters even of
// the widest shipped glyphs (18 pixels each), twice the widest PNG file. Beyond it (a
// pasted megabyte) a render costs seconds and gigabytes for a picture no file takes.
inline constexpr std::int64_t kMaxStripWidth = 2000000;
// The most pixels the strip may hold: the widest strip of the shipped glyphs, 20 pixels
// high (160 MB), or fewer columns of taller glyphs. With the framed picture's own limit
// (render/FramedImage.h) it keeps every program under half a gigabyte whatever the pack.
inline constexpr std::int64_t kMaxStripPixels = kMaxStripWidth * 20;

// How many bytes of decoded glyphs one render keeps while it draws, so that a glyph the
// text uses again is decoded once; past it glyphs are decoded every time.
inline constexpr std::int64_t kGlyphBytesPerRender = std::int64_t{20} << 20;

// The size a render's strip takes, known from the glyphs' JPEG headers alone.
struct StripSize {
    std::int64_t width = 0;
    std::int64_t height = 0;  // the last glyph's
    std::int64_t tallest = 0; // the tallest glyph's: the strip's storage keeps its rows
    // The most pixels the strip's storage holds on the way: its width times the tallest
    // glyph so far.
    std::int64_t peakPixels = 0;
    // The error that stopped the measurement at a glyph it could not read (missing,
    // damaged); null when every glyph was measured or the one it stopped at waits for a
    // password. The render meets the same error at that glyph, after the ones before it.
    std::exception_ptr stoppedBy;
};

// A text whose strip would pass the limits: refused before a pixel is drawn.
class ETextTooLong : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The glyph pack a program draws from, open for reading from Open to Close: its glyph
// entries found by character, the decoded glyphs it keeps between renders, if any, and
// the password asked for an encrypted glyph. Errors keep the types and messages of the
// archive reader ("ZipArchive1: ..."), which the error advice reads. One call at a time.
class GlyphPack {
public:
    // Asked when an encrypted glyph's password is not known or does not fit: may replace
    // password, or set skip to give up on the glyph, which then draws nothing and ends
    // the render. Without one every such glyph is given up.
    using PasswordRequest = std::function<void(const std::string& entryName, std::string& password, bool& skip)>;

    // keptGlyphBytes: how many bytes of decoded glyphs the pack keeps for later renders
    // (a batch of texts reads and decodes each glyph once). 0 keeps none: every render
    // reads the pack anew.
    explicit GlyphPack(std::int64_t keptGlyphBytes = 0);
    ~GlyphPack();
    GlyphPack(GlyphPack&&) noexcept;
    GlyphPack& operator=(GlyphPack&&) noexcept;

    // Opens the pack at path, closing any pack open before and forgetting its glyphs.
    // Readers share the file; a writer's lock keeps Open out ("Cannot open file <path>").
    // Raises EZipException, EFOpenError and EReadError as the archive reader does.
    void Open(const std::string& path);
    // Releases the file; does nothing when closed.
    void Close();
    bool Active() const;

    void SetPasswordRequest(PasswordRequest request);

    // Measuring and drawing, declared with the class below.
    friend StripSize MeasureCodedText(GlyphPack& pack, std::string_view text);
    friend StripSize MeasureCodedText(GlyphPack& pack, std::string_view text, const CodeRules& rules);
    friend void RenderCodedText(GlyphPack& pack, std::string_view text, TPicture& target);
    friend void RenderCodedText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style);
    friend void RenderCodedText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style,
                                const CodeRules& rules);
    friend void RenderMeasuredText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style,
                                   const StripSize& size);
    friend void RenderMeasuredText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style,
                                   const StripSize& size, const CodeRules& rules);
    friend void AppendGlyph(GlyphPack& pack, TPicture& target, std::string& extractionBuffer, unsigned char character,
                            TColourTriple colour);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The strip a render of text would draw, from the header of each glyph it draws (each
// entry read once). An encrypted entry is read with the password as it stands, and none
// is asked for: the render asks. It stops at the first glyph it cannot size (missing,
// damaged, or encrypted with a password not given yet), so it counts the glyphs before
// it, and keeps the error in StripSize::stoppedBy. A glyph past the limits of
// render/GlyphLimits.h raises EGlyphTooLarge; running out of memory raises.
StripSize MeasureCodedText(GlyphPack& pack, std::string_view text);
// The same for the text as other code rules (a game's) read it.
StripSize MeasureCodedText(GlyphPack& pack, std::string_view text, const CodeRules& rules);

// Why a strip of this size is not drawn (wider than kMaxStripWidth, or past
// kMaxStripPixels), in the words of the ETextTooLong the render raises; nothing when it is.
std::optional<std::string> StripPastLimits(const StripSize& size);

// Empties the target's bitmap and appends, left to right, the glyph of every byte the
// coded text draws, each tinted to the colour in force at that byte. The pack must be
// open. A text whose strip would be wider than kMaxStripWidth or pass kMaxStripPixels
// is refused with ETextTooLong, and a glyph past the glyph limits with EGlyphTooLarge,
// before anything is drawn (the target is then empty); glyphs that could not be measured
// beforehand are held to the same limits as they come. Otherwise the first error (a
// missing or damaged entry, an undecodable JPEG) ends the render at that byte and passes
// out as it was raised; the glyphs before it stay. An entry's glyph is decoded once per
// render, however often the text or the pack's names use it.
void RenderCodedText(GlyphPack& pack, std::string_view text, TPicture& target);
// The same with the style's background and legible tints; its scale is left to
// ScaleBitmap, once the picture is complete.
void RenderCodedText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style);
// The same for the text as other code rules (a game's) read it.
void RenderCodedText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style,
                     const CodeRules& rules);
// The same for a text already measured (and held to the limits) by its caller: size is
// what MeasureCodedText gave for it, and the text is not measured again.
void RenderMeasuredText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style,
                        const StripSize& size);
void RenderMeasuredText(GlyphPack& pack, std::string_view text, TPicture& target, const PictureStyle& style,
                        const StripSize& size, const CodeRules& rules);

// One glyph step of a render: the byte's glyph widens the strip, sets its height and is
// drawn at the old right edge and tinted. Bytes without a glyph leave everything alone.
// extractionBuffer is the render's buffer for entry bytes, reused by every glyph.
void AppendGlyph(GlyphPack& pack, TPicture& target, std::string& extractionBuffer, unsigned char character,
                 TColourTriple colour);

} // namespace glyphtint::render
