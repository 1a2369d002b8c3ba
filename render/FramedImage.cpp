// ComposeFramedImage and SaveFramedImage: the picture that "Save image..." writes and
// "Copy image to clipboard" copies.
#include "render/FramedImage.h"

#include "io/FileReplacement.h"
#include "raster/JPEGImage.h"
#include "render/GlyphBackground.h"
#include "render/GlyphPack.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

namespace glyphtint::render {

namespace {

constexpr int kExportQuality = 90;
constexpr TColor kCaptionColour = clWhite;
constexpr const char* kCaptionFont = "Arial";

// A side of the framed image, refused when it no longer fits the bitmap's size type.
int FrameSide(std::int64_t side)
{
    if (side > std::numeric_limits<int>::max()) {
        throw EOutOfResources("Out of system resources");
    }
    return static_cast<int>(side);
}

} // namespace

void ComposeFramedImage(TBitmap& strip, const std::string& caption, TPicture& framed)
{
    const FrameSize size = MeasureFramedImage(strip.Width(), strip.Height(), caption);
    RequireFrameWithin(size);
    // Composed apart and handed over at the end, so that a failure leaves framed alone.
    // It grows a side at a time to the size measured, all of it allocated at the first step.
    auto frame = std::make_unique<TBitmap>();
    frame->ExpectSize(FrameSide(size.width), FrameSide(size.height));

    // No canvas yet: these first pixels start white and are painted over below.
    frame->ResizeWidth(FrameSide(std::int64_t{strip.Width()} + 2 * kFrameBorder));
    frame->ResizeHeight(FrameSide(std::int64_t{strip.Height()} + 2 * kFrameBorder));

    TCanvas& canvas = frame->Canvas();
    canvas.Brush.Color = kGlyphBackgroundColour;
    canvas.Pen.Color = canvas.Brush.Color;
    canvas.PaintRectangle(0, 0, frame->Width(), frame->Height());
    canvas.DrawGraphic(kFrameBorder, kFrameBorder, &strip);

    // The caption is measured in its own font, so the font is set first.
    canvas.Font.Name = kCaptionFont;
    canvas.Font.Color = kCaptionColour;
    const int stripBottom = frame->Height();

    // From here on the canvas exists with the background brush, so every row and column
    // the two resizes add takes the background colour.
    frame->ResizeHeight(FrameSide(std::int64_t{stripBottom} + canvas.MeasureTextHeight(caption) + kCaptionGap));
    frame->ResizeWidth(FrameSide(
        std::max<std::int64_t>(frame->Width(), std::int64_t{canvas.MeasureTextWidth(caption)} + 2 * kFrameBorder)));

    canvas.WriteText(kFrameBorder, stripBottom - kCaptionGap, caption);
    framed.SetGraphic(std::move(frame));
}

FrameSize MeasureFramedImage(std::int64_t stripWidth, std::int64_t stripHeight, const std::string& caption)
{
    TBitmap probe;
    TCanvas& canvas = probe.Canvas();
    canvas.Font.Name = kCaptionFont;
    FrameSize size;
    size.width = std::max(stripWidth, std::int64_t{canvas.MeasureTextWidth(caption)}) + 2 * kFrameBorder;
    size.height = stripHeight + 2 * kFrameBorder + canvas.MeasureTextHeight(caption) + kCaptionGap;
    return size;
}

std::optional<std::string> FramePastPixels(const FrameSize& size)
{
    const std::int64_t pixels = size.width * size.height;
    if (pixels <= kMaxFramedPixels) {
        return std::nullopt;
    }
    return "The text is too long: its framed picture would need " + std::to_string(pixels) + " pixels, and at most " +
           std::to_string(kMaxFramedPixels) + " are made";
}

void RequireFrameWithin(const FrameSize& size)
{
    if (std::optional<std::string> refusal = FramePastPixels(size)) {
        throw ETextTooLong(*refusal);
    }
}

std::string EncodeFramedImage(TBitmap& framed)
{
    TJPEGSettings settings = DefaultJPEGSettings;
    settings.EncodeQuality = kExportQuality;
    // Encoded from the picture itself: a copy of it would double what saving costs.
    return glyphtint::raster::EncodeJPEGBytes(framed, settings);
}

void SaveFramedImage(TBitmap& framed, const std::string& path)
{
    glyphtint::io::FileReplacement file(path);
    file.Commit(EncodeFramedImage(framed));
}

} // namespace glyphtint::render
