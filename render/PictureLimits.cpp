// Pictures too large for a file format are refused in words.
#include "render/PictureLimits.h"

#include "render/FramedImage.h"
#include "render/GlyphPack.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace glyphtint::render {

std::optional<std::string> SidesPast(std::int64_t width, std::int64_t height, const char* what, const char* format,
                                     int maxSide)
{
    if (width <= maxSide && height <= maxSide) {
        return std::nullopt;
    }
    return std::string("The ") + what + " is " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels; a " + format + " file can be at most " + std::to_string(maxSide) +
           " pixels wide and high, so the text is too long";
}

void RequireSidesAtMost(std::int64_t width, std::int64_t height, const char* what, const char* format, int maxSide)
{
    if (std::optional<std::string> refusal = SidesPast(width, height, what, format, maxSide)) {
        throw ETextTooLong(*refusal);
    }
}

void RequireSidesAtMost(const TBitmap& picture, const char* what, const char* format, int maxSide)
{
    RequireSidesAtMost(picture.Width(), picture.Height(), what, format, maxSide);
}

std::int64_t CaptionWidthAtLeast(std::string_view caption)
{
    return std::count_if(caption.begin(), caption.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

std::optional<std::string> FramePastWidth(std::int64_t stripWidth, std::string_view caption, const char* format,
                                          int maxSide, int scale)
{
    const std::int64_t width = (std::max(stripWidth, CaptionWidthAtLeast(caption)) + 2 * kFrameBorder) * scale;
    if (width <= maxSide) {
        return std::nullopt;
    }
    return "The framed picture is at least " + std::to_string(width) + " pixels wide; a " + format +
           " file can be at most " + std::to_string(maxSide) + " pixels wide and high, so the text is too long";
}

void RequireFrameNarrowEnough(std::int64_t stripWidth, std::string_view caption, const char* format, int maxSide,
                              int scale)
{
    if (std::optional<std::string> refusal = FramePastWidth(stripWidth, caption, format, maxSide, scale)) {
        throw ETextTooLong(*refusal);
    }
}

} // namespace glyphtint::render
