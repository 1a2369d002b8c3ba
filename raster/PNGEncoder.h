// PNG files written with libspng, a row at a time: no Qt, so that programs which only
// draw glyphs write their pictures without starting Qt.
#pragma once

#include "raster/Graphics.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

struct spng_ctx;

// A failure of the PNG library, carrying its error number and message.
class EPNG : public std::runtime_error {
public:
    explicit EPNG(int code);
    int Code() const { return code_; }

private:
    int code_;
};

namespace glyphtint::raster {

// The pixel layouts the encoder takes: opaque, or with an alpha byte after each pixel.
enum class PngPixels { Rgb8, Rgba8 };

// One PNG file, appended to out as it is encoded: the header on construction, then
// exactly height rows, then Finish. Raises EPNG when the library refuses a step, and
// EOutOfResources when out cannot grow. An encoder left before Finish leaves an
// incomplete file in out.
class PngEncoder {
public:
    PngEncoder(std::string& out, int width, int height, PngPixels pixels = PngPixels::Rgb8);
    ~PngEncoder();
    PngEncoder(const PngEncoder&) = delete;
    PngEncoder& operator=(const PngEncoder&) = delete;

    // The next row: width pixels of 3 bytes (red, green, blue), 4 with alpha.
    void WriteRow(const std::uint8_t* row);
    // Ends the file once every row was written.
    void Finish();

private:
    struct ContextFree {
        void operator()(spng_ctx* context) const;
    };
    void Check(int result);

    std::string& out_;
    std::unique_ptr<spng_ctx, ContextFree> context_;
    // What the library's write callback reaches: the output and the flag it raises when
    // the output cannot grow.
    std::pair<std::string*, bool*> sink_;
    std::size_t rowBytes_ = 0;
    int rowsLeft_ = 0;
    bool outOfMemory_ = false;
};

// The bitmap's pixels as a PNG file of 8-bit RGB, whatever its depth; an empty bitmap
// raises EInvalidGraphicOperation.
std::string EncodePng(const TBitmap& bitmap);

// The bitmap at display depth as 8-bit RGBA, the fourth byte of each pixel its alpha
// (a transparent strip keeps it there); any other depth raises
// EInvalidGraphicOperation, as an empty bitmap does.
std::string EncodePngWithAlpha(const TBitmap& bitmap);

} // namespace glyphtint::raster
