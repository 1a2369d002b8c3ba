// The picture files: a rendered picture as PNG or framed JPEG bytes, with the formats'
// size limits explained in words, and written to a file.
#pragma once

#include "raster/Graphics.h"

#include <string>

namespace glyphtint::pictures {

// The picture encoded losslessly as PNG. what names the picture in the message about a
// picture too large for PNG ("strip", "framed picture"). Encoded without Qt
// (raster/PNGEncoder.h), a row at a time.
// withAlpha: 8-bit RGBA from the display-depth pixels' fourth byte.
std::string EncodePng(TBitmap& picture, const char* what, bool withAlpha = false);

// The framed picture as the JPEG file the window's "Save image..." writes.
std::string EncodeFramedJpeg(TBitmap& framed);

// A picture file's bytes written to path, replacing it only when complete.
void WritePictureFile(const std::string& path, const std::string& bytes);

} // namespace glyphtint::pictures
