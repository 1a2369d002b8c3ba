// glyphtint-render's picture files: a rendered picture as PNG or framed JPEG bytes, with
// the formats' size limits explained in the tool's own words, and written to a file.
#pragma once

#include "raster/Graphics.h"
#include "render/GlyphPack.h"

#include <string>

namespace glyphtint::tools {

// Which pictures of a text are to be written.
struct PictureKinds {
    bool stripPng = false;
    bool framedJpeg = false;
    bool framedPng = false;
};

// Refuses, before anything is drawn, a text whose pictures of the given kinds would be
// too large for their file formats; the sizes come from the glyphs' JPEG headers. A glyph
// that cannot be read raises its error here, as the render would after the glyphs before it.
// scale: the side of the block each pixel becomes; the limits hold for the scaled sizes.
void RefuseOversizedPictures(render::GlyphPack& pack, const std::string& text, PictureKinds kinds, int scale = 1);

// The picture encoded losslessly as PNG. what names the picture in the message about a
// picture too large for PNG ("strip", "framed picture"). Encoded without Qt
// (raster/PNGEncoder.h), a row at a time.
// withAlpha: 8-bit RGBA from the display-depth pixels' fourth byte.
std::string EncodePng(TBitmap& picture, const char* what, bool withAlpha = false);

// The framed picture as the JPEG file the window's "Save image..." writes.
std::string EncodeFramedJpeg(TBitmap& framed);

// A picture file's bytes written to path, replacing it only when complete.
void WritePictureFile(const std::string& path, const std::string& bytes);

} // namespace glyphtint::tools
