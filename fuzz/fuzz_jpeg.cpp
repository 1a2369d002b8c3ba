// Fuzz target: arbitrary bytes loaded as a JPEG and drawn into a bitmap.
#include "raster/JPEGImage.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TJPEGImage jpeg;
    try {
        jpeg.LoadJPEG(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const EJPEG&) {
        return 0;
    }
    // A header may claim up to 65500 x 65500 pixels; past a few million the run only
    // measures the allocator.
    if (static_cast<std::int64_t>(jpeg.Width()) * jpeg.Height() > (std::int64_t{1} << 22)) {
        return 0;
    }
    TBitmap target;
    target.ResizeWidth(32);
    target.ResizeHeight(24);
    try {
        target.Canvas().DrawGraphic(-3, 2, &jpeg);
    } catch (const EJPEG&) {
    }
    return 0;
}
