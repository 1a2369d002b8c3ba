// The framed export image: a glyph strip on a border of the glyph background colour with
// the coded text printed under it, and its JPEG file.
#pragma once

#include "raster/Graphics.h"
#include "render/GlyphPack.h"

#include <cstdint>
#include <optional>
#include <string>

namespace glyphtint::render {

// Width of the border left of, right of and above the strip.
constexpr int kFrameBorder = 8;
// Rows between the strip's last row and the caption's top.
constexpr int kCaptionGap = 4;

// The most pixels a framed picture may have: 16 M (64 MB), a JPEG file's full 65 500
// columns of the shipped glyphs four times over, or a copied picture of some 17 000 of
// them. With the strip beside it, and a copy for the clipboard, it stays far under half a
// gigabyte; a larger one is refused with ETextTooLong before it is made.
inline constexpr std::int64_t kMaxFramedPixels = std::int64_t{1} << 24;

// Makes framed hold a new bitmap: the strip at (8, 8) on the glyph background colour and
// under it the caption, byte for byte (colour codes included), in white Arial at the new
// canvas's font height. The frame grows in height before it grows in width, and every
// pixel it adds takes the glyph background colour, never white. framed keeps what it held
// when composing fails (ETextTooLong past kMaxFramedPixels, EOutOfResources for an image
// the platform cannot make).
void ComposeFramedImage(TBitmap& strip, const std::string& caption, TPicture& framed);

// The size ComposeFramedImage gives a strip of the given size and the caption, found
// without drawing: the caption is measured in its font.
struct FrameSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};
FrameSize MeasureFramedImage(std::int64_t stripWidth, std::int64_t stripHeight, const std::string& caption);

// Raises ETextTooLong, naming the pixels asked for and the limit, for a framed picture
// of this size past kMaxFramedPixels.
void RequireFrameWithin(const FrameSize& size);
// What RequireFrameWithin raises, or nothing for a frame within the limit.
std::optional<std::string> FramePastPixels(const FrameSize& size);

// The framed image encoded as the JPEG file SaveFramedImage writes. Raises EJPEG for a
// side beyond JPEG's 65 500 pixels.
std::string EncodeFramedImage(TBitmap& framed);

// Writes the framed image as a JPEG file of quality 90. An existing file is replaced only
// by a complete picture: on failure (EFCreateError, EJPEG for a side beyond JPEG's 65 500
// pixels, EWriteError) it stays as it was and no partial file is left behind.
void SaveFramedImage(TBitmap& framed, const std::string& path);

} // namespace glyphtint::render
