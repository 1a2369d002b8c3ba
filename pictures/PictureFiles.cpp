// The size checks and encoders behind every picture file of glyphtint-render.
#include "pictures/PictureFiles.h"

#include "io/FileReplacement.h"
#include "raster/PNGEncoder.h"
#include "render/FramedImage.h"
#include "render/GlyphPack.h"
#include "render/PictureLimits.h"

#include <exception>
#include <stdexcept>

namespace glyphtint::tools {

using render::kJpegMaxSide;
using render::kPngMaxSide;
using render::RequireSidesAtMost;

void RefuseOversizedPictures(render::GlyphPack& pack, const std::string& text, PictureKinds kinds, int scale)
{
    if (!kinds.stripPng && !kinds.framedJpeg && !kinds.framedPng) {
        return;
    }
    const bool framed = kinds.framedJpeg || kinds.framedPng;
    // The narrower of the formats asked for: a caption too long for it is refused from
    // its length, before a glyph is read.
    const char* frameFormat = kinds.framedJpeg ? "JPEG" : "PNG";
    const int frameMaxSide = kinds.framedJpeg ? kJpegMaxSide : kPngMaxSide;
    if (framed) {
        render::RequireFrameNarrowEnough(0, text, frameFormat, frameMaxSide, scale);
    }
    const render::StripSize size = render::MeasureCodedText(pack, text);
    if (kinds.stripPng) {
        RequireSidesAtMost(size.width * scale, size.height * scale, "strip", "PNG", kPngMaxSide);
    }
    // The scaled copy is held beside the strip: it keeps the strip's own limit.
    const std::int64_t scaledPixels = size.width * size.tallest * scale * scale;
    if (scale > 1 && scaledPixels > render::kMaxStripPixels) {
        throw render::ETextTooLong("The text is too long: its picture at scale " + std::to_string(scale) +
                                   " would need " + std::to_string(scaledPixels) + " pixels, and at most " +
                                   std::to_string(render::kMaxStripPixels) + " are drawn");
    }
    if (framed) {
        // A strip too wide already spares measuring the caption in its font.
        render::RequireFrameNarrowEnough(size.width, text, frameFormat, frameMaxSide, scale);
        render::FrameSize frame = render::MeasureFramedImage(size.width, size.height, text);
        frame.width *= scale;
        frame.height *= scale;
        if (kinds.framedJpeg) {
            RequireSidesAtMost(frame.width, frame.height, "framed picture", "JPEG", kJpegMaxSide);
        }
        if (kinds.framedPng) {
            RequireSidesAtMost(frame.width, frame.height, "framed picture", "PNG", kPngMaxSide);
        }
        render::RequireFrameWithin(frame);
    }
    if (size.stoppedBy) {
        std::rethrow_exception(size.stoppedBy);
    }
}

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

} // namespace glyphtint::tools
