// The size checks and encoders behind every picture file of glyphtint-render.
#include "tools/PictureFiles.h"

#include "io/FileReplacement.h"
#include "raster/QtImage.h"
#include "render/FramedImage.h"
#include "render/GlyphPack.h"
#include "render/PictureLimits.h"

#include <QIODevice>
#include <QImage>

#include <exception>
#include <stdexcept>
#include <string_view>

namespace glyphtint::tools {

// Qt maps a PNG's "quality" onto zlib's level: 80 gives level 1, the fastest that still
// compresses. At the default level deflate took most of a batch's time, for files only
// some 6 % smaller.
constexpr int kPngQuality = 80;

using render::kJpegMaxSide;
using render::kPngMaxSide;
using render::RequireSidesAtMost;

namespace {

// A device that appends what is written to a string: the encoder's bytes land where the
// file is written from, without a second copy.
class StringSink : public QIODevice {
public:
    explicit StringSink(std::string& bytes) : bytes_(bytes) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        bytes_.append(data, static_cast<std::size_t>(size));
        return size;
    }

private:
    std::string& bytes_;
};

} // namespace

void RefuseOversizedPictures(render::GlyphPack& pack, const std::string& text, PictureKinds kinds)
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
        render::RequireFrameNarrowEnough(0, text, frameFormat, frameMaxSide);
    }
    const render::StripSize size = render::MeasureCodedText(pack, text);
    if (kinds.stripPng) {
        RequireSidesAtMost(size.width, size.height, "strip", "PNG", kPngMaxSide);
    }
    if (framed) {
        // A strip too wide already spares measuring the caption in its font.
        render::RequireFrameNarrowEnough(size.width, text, frameFormat, frameMaxSide);
        const render::FrameSize frame = render::MeasureFramedImage(size.width, size.height, text);
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

std::string EncodePng(TBitmap& picture, const char* what)
{
    RequireSidesAtMost(picture, what, "PNG", kPngMaxSide);
    std::string png;
    // Room for the largest PNG the picture can give (raw rows in stored deflate blocks), so
    // that the bytes are never moved while they grow; pages not written cost nothing.
    const std::size_t pixels = static_cast<std::size_t>(picture.Width()) * static_cast<std::size_t>(picture.Height());
    png.reserve(pixels * 3 + pixels / 32 + static_cast<std::size_t>(picture.Height()) + 65536);
    StringSink sink(png);
    bool saved = false;
    // The encoder reads the picture's own rows: a copy of a strip of millions of columns
    // would double what writing it costs.
    glyphtint::raster::LendAsQImage(
        picture, [&](const QImage& image) { saved = !image.isNull() && image.save(&sink, "PNG", kPngQuality); });
    if (!saved) {
        throw std::runtime_error(std::string("Cannot encode the ") + what + " as PNG");
    }
    return png;
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

void WritePng(TBitmap& picture, const std::string& path, const char* what)
{
    WritePictureFile(path, EncodePng(picture, what));
}

} // namespace glyphtint::tools
