// Pictures too large for a file format are refused in words.
#include "render/PictureLimits.h"

#include <stdexcept>
#include <string>

namespace glyphtint::render {

void RequireSidesAtMost(const TBitmap& picture, const char* what, const char* format, int maxSide)
{
    if (picture.Width() > maxSide || picture.Height() > maxSide) {
        throw std::runtime_error(std::string("The ") + what + " is " + std::to_string(picture.Width()) + " x " +
                                 std::to_string(picture.Height()) + " pixels; a " + format + " file can be at most " +
                                 std::to_string(maxSide) + " pixels wide and high, so the text is too long");
    }
}

} // namespace glyphtint::render
