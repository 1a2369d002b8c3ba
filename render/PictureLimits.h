// The largest pictures that the file formats the program writes can hold.
#pragma once

#include "raster/Graphics.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glyphtint::render {

// libpng refuses to write a side longer than this unless told otherwise.
constexpr int kPngMaxSide = 1000000;
// The longest side libjpeg can encode.
constexpr int kJpegMaxSide = 65500;

// Refuses a picture with a side beyond maxSide before it reaches the encoder, with a
// message that says so in words ("The framed picture is W x H pixels; a JPEG file can
// be at most 65500 pixels wide and high, so the text is too long"), rather than the
// encoder's error number. what names the picture, format the file type. Raises
// ETextTooLong, as the other limits on a text's pictures do.
void RequireSidesAtMost(const TBitmap& picture, const char* what, const char* format, int maxSide);
// The same for a picture measured before it is drawn.
void RequireSidesAtMost(std::int64_t width, std::int64_t height, const char* what, const char* format, int maxSide);
// What RequireSidesAtMost raises for these sides, or nothing when they fit.
std::optional<std::string> SidesPast(std::int64_t width, std::int64_t height, const char* what, const char* format,
                                     int maxSide);

// The fewest pixels a framed picture's caption can take in width, found from its bytes
// alone: each printable ASCII character (space to '~') moves the pen on by at least a
// pixel in any font a caption is drawn in, while other characters (controls, marks,
// joiners) may move it by nothing. Measuring a long caption in its font costs seconds.
std::int64_t CaptionWidthAtLeast(std::string_view caption);

// Refuses a framed picture that is wider than maxSide already by its strip's width or the
// least width of its caption, before the caption is measured in its font: "The framed
// picture is at least W pixels wide; a JPEG file can be at most 65500 pixels wide and
// high, so the text is too long". scale: what each pixel is made, as a side.
void RequireFrameNarrowEnough(std::int64_t stripWidth, std::string_view caption, const char* format, int maxSide,
                              int scale = 1);
// What RequireFrameNarrowEnough raises, or nothing for a frame that may fit.
std::optional<std::string> FramePastWidth(std::int64_t stripWidth, std::string_view caption, const char* format,
                                          int maxSide, int scale = 1);

} // namespace glyphtint::render
