// The PNG encoder over libspng.
#include "raster/PNGEncoder.h"

#include <spng.h>

#include <new>
#include <string>
#include <vector>

EPNG::EPNG(int code) : std::runtime_error(std::string("PNG error: ") + spng_strerror(code)), code_(code)
{
}

namespace glyphtint::raster {
namespace {

// zlib's fastest level on unfiltered rows. The strips are glyphs on one flat background,
// where row filters turn long runs of one colour into noise: unfiltered rows come out
// about a sixth smaller than with every filter tried per row, in half the time
// (bench_batch's EncodeNames weighs them against Qt's writer).
constexpr int kCompressionLevel = 1;
constexpr int kFilterChoice = SPNG_FILTER_CHOICE_NONE;

// The smallest deflate window that holds the whole picture, as libpng chooses it: the
// same size of file for a strip that fits, with less of zlib's memory to set up each time.
int WindowBitsFor(std::size_t rawBytes)
{
    int bits = 9;
    while (bits < 15 && (std::size_t{1} << bits) < rawBytes) {
        ++bits;
    }
    return bits;
}

// 96 dots per inch, the resolution every picture is drawn for, as pixels per metre.
constexpr std::uint32_t kPixelsPerMetre = 3780;

// What a row of each pixel layout is in the file.
struct Layout {
    std::uint8_t colourType;
    std::size_t bytesPerPixel;
};

Layout LayoutOf(PngPixels pixels)
{
    switch (pixels) {
    case PngPixels::Rgb8: return {SPNG_COLOR_TYPE_TRUECOLOR, 3};
    case PngPixels::Rgba8: return {SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 4};
    }
    throw EInvalidOperation("PNG: unknown pixel layout");
}

// Appends what the library writes to the string; a string that cannot grow fails the
// write instead of throwing through the C library.
int AppendToString(spng_ctx*, void* user, void* data, std::size_t length)
{
    auto* encoder = static_cast<std::pair<std::string*, bool*>*>(user);
    try {
        encoder->first->append(static_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        *encoder->second = true;
        return SPNG_IO_ERROR;
    } catch (const std::length_error&) {
        *encoder->second = true;
        return SPNG_IO_ERROR;
    }
    return 0;
}

} // namespace

void PngEncoder::ContextFree::operator()(spng_ctx* context) const
{
    spng_ctx_free(context);
}

PngEncoder::PngEncoder(std::string& out, int width, int height, PngPixels pixels)
    : out_(out), context_(spng_ctx_new(SPNG_CTX_ENCODER))
{
    if (!context_) {
        throw EOutOfResources("Out of system resources");
    }
    if (width <= 0 || height <= 0) {
        throw EInvalidGraphicOperation("Cannot encode an empty picture as PNG");
    }
    const Layout layout = LayoutOf(pixels);
    rowBytes_ = static_cast<std::size_t>(width) * layout.bytesPerPixel;
    rowsLeft_ = height;
    sink_ = {&out_, &outOfMemory_};
    Check(spng_set_png_stream(context_.get(), AppendToString, &sink_));
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(width);
    header.height = static_cast<std::uint32_t>(height);
    header.bit_depth = 8;
    header.color_type = layout.colourType;
    Check(spng_set_ihdr(context_.get(), &header));
    spng_phys phys{kPixelsPerMetre, kPixelsPerMetre, 1};
    Check(spng_set_phys(context_.get(), &phys));
    Check(spng_set_option(context_.get(), SPNG_IMG_COMPRESSION_LEVEL, kCompressionLevel));
    Check(spng_set_option(context_.get(), SPNG_FILTER_CHOICE, kFilterChoice));
    // Each row starts with its filter byte.
    const std::size_t rawBytes = (rowBytes_ + 1) * static_cast<std::size_t>(height);
    Check(spng_set_option(context_.get(), SPNG_IMG_WINDOW_BITS, WindowBitsFor(rawBytes)));
    Check(spng_encode_image(context_.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE));
}

PngEncoder::~PngEncoder() = default;

void PngEncoder::WriteRow(const std::uint8_t* row)
{
    if (rowsLeft_ == 0) {
        throw EInvalidOperation("PNG: more rows than the picture has");
    }
    --rowsLeft_;
    const int result = spng_encode_row(context_.get(), row, rowBytes_);
    // The last row finalises the file and answers that the image has ended.
    if (!(rowsLeft_ == 0 && result == SPNG_EOI)) {
        Check(result);
    }
}

void PngEncoder::Finish()
{
    if (rowsLeft_ != 0) {
        throw EInvalidOperation("PNG: " + std::to_string(rowsLeft_) + " rows were not written");
    }
}

void PngEncoder::Check(int result)
{
    if (outOfMemory_) {
        throw EOutOfResources("Out of system resources");
    }
    if (result != 0) {
        throw EPNG(result);
    }
}

std::string EncodePng(const TBitmap& bitmap)
{
    if (bitmap.Empty()) {
        throw EInvalidGraphicOperation("Cannot encode an empty picture as PNG");
    }
    const int width = bitmap.Width();
    std::string png;
    PngEncoder encoder(png, width, bitmap.Height());
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * 3);
    const TPixelFormat format = bitmap.PixelFormat();
    const std::vector<TPaletteEntry>& palette = bitmap.Palette();
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t* in = bitmap.ScanLine(y);
        std::uint8_t* out = rgb.data();
        if (format == TPixelFormat::pfDevice) {
            for (int x = 0; x < width; ++x, in += 4, out += 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
        } else if (format == TPixelFormat::pf24bit) {
            for (int x = 0; x < width; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        } else {
            for (int x = 0; x < width; ++x, ++in, out += 3) {
                const TPaletteEntry entry = *in < palette.size() ? palette[*in] : TPaletteEntry{};
                out[0] = entry.Red;
                out[1] = entry.Green;
                out[2] = entry.Blue;
            }
        }
        encoder.WriteRow(rgb.data());
    }
    encoder.Finish();
    return png;
}

std::string EncodePngWithAlpha(const TBitmap& bitmap)
{
    if (bitmap.Empty() || bitmap.PixelFormat() != TPixelFormat::pfDevice) {
        throw EInvalidGraphicOperation("Cannot encode the picture as PNG with alpha");
    }
    std::string png;
    PngEncoder encoder(png, bitmap.Width(), bitmap.Height(), PngPixels::Rgba8);
    // Device pixels are red, green, blue and the alpha byte already.
    for (int y = 0; y < bitmap.Height(); ++y) {
        encoder.WriteRow(bitmap.ScanLine(y));
    }
    encoder.Finish();
    return png;
}

} // namespace glyphtint::raster
