// The PNG encoder: our own chunks around one zlib stream from libdeflate.
#include "raster/PNGEncoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace glyphtint::raster {
namespace {

// libdeflate's level 2 is the fastest that writes no larger files than zlib's level 1,
// which the strips were written with before; bench_png weighs the levels.
constexpr int kCompressionLevel = 2;

// The PNG row filters used: a row is stored as it is, or, when it repeats the row above
// (every row of a scaled picture comes scale times), as its difference from it, all
// zeros. Strips are glyphs on one flat background, where the other filters turn long
// runs of one colour into noise; bench_png measures them all.
constexpr std::uint8_t kFilterNone = 0;
constexpr std::uint8_t kFilterUp = 2;

// The most bytes of pixels a picture may bring, as many as a bitmap holds at most.
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{1} << 31;

const char* const kOutOfResources = "Out of system resources";

// Left uninitialised, as every byte is written before it is read: of a large picture's
// buffers only the pages written are used.
std::unique_ptr<std::uint8_t[]> Allocate(std::size_t bytes)
{
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[bytes]);
    if (!buffer) {
        throw EOutOfResources(kOutOfResources);
    }
    return buffer;
}

// 96 dots per inch, the resolution every picture is drawn for, as pixels per metre.
constexpr std::uint32_t kPixelsPerMetre = 3780;

// The picture's data is split into IDAT chunks of at most this many bytes: a chunk's
// length field takes at most 2^31 - 1, and readers need not hold a huge chunk whole.
constexpr std::size_t kMaxDataChunk = std::size_t{1} << 20;

constexpr std::string_view kSignature{"\x89PNG\r\n\x1a\n", 8};

// PNG's colour types for 8-bit RGB and RGBA.
constexpr std::uint8_t kColourTypeRgb = 2;
constexpr std::uint8_t kColourTypeRgba = 6;

// What a row of each pixel layout is in the file.
struct Layout {
    std::uint8_t colourType;
    std::size_t bytesPerPixel;
};

Layout LayoutOf(PngPixels pixels)
{
    switch (pixels) {
    case PngPixels::Rgb8: return {kColourTypeRgb, 3};
    case PngPixels::Rgba8: return {kColourTypeRgba, 4};
    }
    throw EInvalidOperation("PNG: unknown pixel layout");
}

void PutBigEndian32(std::uint8_t* to, std::uint32_t value)
{
    to[0] = static_cast<std::uint8_t>(value >> 24);
    to[1] = static_cast<std::uint8_t>(value >> 16);
    to[2] = static_cast<std::uint8_t>(value >> 8);
    to[3] = static_cast<std::uint8_t>(value);
}

// One chunk: its length, type, data and the CRC-32 of type and data.
void AppendChunk(std::string& out, const char (&type)[5], const std::uint8_t* data, std::size_t length)
{
    std::uint8_t head[8];
    PutBigEndian32(head, static_cast<std::uint32_t>(length));
    std::memcpy(head + 4, type, 4);
    std::uint8_t crc[4];
    PutBigEndian32(crc, libdeflate_crc32(libdeflate_crc32(0, head + 4, 4), data, length));
    out.append(reinterpret_cast<const char*>(head), sizeof head);
    out.append(reinterpret_cast<const char*>(data), length);
    out.append(reinterpret_cast<const char*>(crc), sizeof crc);
}

// Runs step with running out of memory, the output's included, raised as
// EOutOfResources.
template <typename Step> void WithMemoryRefusals(Step step)
{
    try {
        step();
    } catch (const std::bad_alloc&) {
        throw EOutOfResources(kOutOfResources);
    } catch (const std::length_error&) {
        throw EOutOfResources(kOutOfResources);
    }
}

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// A compressor costs over half a megabyte to set up: each thread keeps its own (one may
// not serve two threads at once), freed when the thread ends.
libdeflate_compressor& ThreadCompressor()
{
    thread_local std::unique_ptr<libdeflate_compressor, CompressorFree> compressor;
    if (!compressor) {
        compressor.reset(libdeflate_alloc_compressor(kCompressionLevel));
        if (!compressor) {
            throw EOutOfResources(kOutOfResources);
        }
    }
    return *compressor;
}

} // namespace

PngEncoder::PngEncoder(std::string& out, int width, int height, PngPixels pixels) : out_(out)
{
    if (width <= 0 || height <= 0) {
        throw EInvalidGraphicOperation("Cannot encode an empty picture as PNG");
    }
    const Layout layout = LayoutOf(pixels);
    rowBytes_ = static_cast<std::size_t>(width) * layout.bytesPerPixel;
    rowsLeft_ = height;
    if (static_cast<std::uint64_t>(rowBytes_) * static_cast<std::uint64_t>(height) > kMaxPixelBytes) {
        throw EOutOfResources(kOutOfResources);
    }
    // Each row starts with its filter byte.
    rows_ = Allocate((rowBytes_ + 1) * static_cast<std::size_t>(height));
    WithMemoryRefusals([&] {
        std::uint8_t header[13];
        PutBigEndian32(header, static_cast<std::uint32_t>(width));
        PutBigEndian32(header + 4, static_cast<std::uint32_t>(height));
        header[8] = 8; // bits a channel
        header[9] = layout.colourType;
        header[10] = 0; // deflate
        header[11] = 0; // the five filters
        header[12] = 0; // not interlaced
        std::uint8_t phys[9];
        PutBigEndian32(phys, kPixelsPerMetre);
        PutBigEndian32(phys + 4, kPixelsPerMetre);
        phys[8] = 1; // the unit is the metre
        out_.append(kSignature);
        AppendChunk(out_, "IHDR", header, sizeof header);
        AppendChunk(out_, "pHYs", phys, sizeof phys);
    });
}

PngEncoder::~PngEncoder() = default;

void PngEncoder::WriteRow(const std::uint8_t* row)
{
    if (rowsLeft_ == 0) {
        throw EInvalidOperation("PNG: more rows than the picture has");
    }
    std::uint8_t* to = rows_.get() + filled_;
    if (filled_ > 0 && std::memcmp(row, rows_.get() + lastPlainRow_ + 1, rowBytes_) == 0) {
        to[0] = kFilterUp;
        std::memset(to + 1, 0, rowBytes_);
    } else {
        to[0] = kFilterNone;
        std::memcpy(to + 1, row, rowBytes_);
        lastPlainRow_ = filled_;
    }
    filled_ += rowBytes_ + 1;
    if (--rowsLeft_ == 0) {
        WriteData();
    }
}

void PngEncoder::Finish()
{
    if (rowsLeft_ != 0) {
        throw EInvalidOperation("PNG: " + std::to_string(rowsLeft_) + " rows were not written");
    }
}

void PngEncoder::WriteData()
{
    WithMemoryRefusals([&] {
        libdeflate_compressor& compressor = ThreadCompressor();
        const std::size_t bound = libdeflate_zlib_compress_bound(&compressor, filled_);
        const std::unique_ptr<std::uint8_t[]> stream = Allocate(bound);
        const std::size_t length = libdeflate_zlib_compress(&compressor, rows_.get(), filled_, stream.get(), bound);
        if (length == 0) {
            throw EPNG("PNG: the picture's data could not be compressed");
        }
        rows_.reset();
        for (std::size_t at = 0; at < length; at += kMaxDataChunk) {
            AppendChunk(out_, "IDAT", stream.get() + at, std::min(kMaxDataChunk, length - at));
        }
        const std::uint8_t nothing = 0;
        AppendChunk(out_, "IEND", &nothing, 0);
    });
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
