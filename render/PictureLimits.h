// The largest pictures that the file formats the program writes can hold.
#pragma once

#include "raster/Graphics.h"

#include <cstdint>

namespace glyphtint::render {

// libpng refuses to write a side longer than this unless told otherwise.
constexpr int kPngMaxSide = 1000000;
// The longest side libjpeg can encode.
constexpr int kJpegMaxSide = 65500;

// Refuses a picture with a side beyond maxSide before it reaches the encoder, with a
// message that says so in words ("The framed picture is W x H pixels; a JPEG file can
// be at most 65500 pixels wide and high, so the text is too long"), rather than the
// encoder's error number. what names the picture, format the file type.
void RequireSidesAtMost(const TBitmap& picture, const char* what, const char* format, int maxSide);
// The same for a picture measured before it is drawn.
void RequireSidesAtMost(std::int64_t width, std::int64_t height, const char* what, const char* format, int maxSide);

} // namespace glyphtint::render
