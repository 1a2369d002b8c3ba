// The encoders behind every picture file, and the file they are written to.
#include "pictures/PictureFiles.h"

#include "io/FileReplacement.h"
#include "raster/PNGEncoder.h"
#include "render/FramedImage.h"
#include "render/PictureLimits.h"

#include <stdexcept>

namespace glyphtint::pictures {

using render::kJpegMaxSide;
using render::kPngMaxSide;
using render::RequireSidesAtMost;

std::string EncodePng(TBitmap& picture, const char* what, bool withAlpha)
{
    RequireSidesAtMost(picture, what, "PNG", kPngMaxSide);
    if (picture.Empty()) {
        throw std::runtime_error(std::string("Cannot encode the ") + what + " as PNG");
    }
    return withAlpha ? raster::EncodePngWithAlpha(picture) : raster::EncodePng(picture);
}

std::string EncodeFramedJpeg(TBitmap& framed)
{
    RequireSidesAtMost(framed, "framed picture", "JPEG", kJpegMaxSide);
    return render::EncodeFramedImage(framed);
}

void WritePictureFile(const std::string& path, const std::string& bytes)
{
    io::FileReplacement file(path);
    file.Commit(bytes);
}

} // namespace glyphtint::pictures
