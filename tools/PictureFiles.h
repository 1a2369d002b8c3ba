// Writing a rendered picture as glyphtint-render's PNG or framed JPEG file, with the
// formats' size limits explained in the tool's own words.
#pragma once

#include "raster/Graphics.h"

#include <string>

namespace glyphtint::tools {

// libpng refuses to write a side longer than this unless told otherwise.
inline constexpr int kPngMaxSide = 1000000;
// The longest side libjpeg can encode.
inline constexpr int kJpegMaxSide = 65500;

// Encodes picture losslessly as PNG and replaces path with it. what names the picture in
// the message about a picture too large for PNG ("strip", "framed picture").
void WritePng(const TBitmap& picture, const std::string& path, const char* what);

// Saves the framed picture as the window's "Save image..." does.
void WriteFramedJpeg(TBitmap& framed, const std::string& path);

} // namespace glyphtint::tools
