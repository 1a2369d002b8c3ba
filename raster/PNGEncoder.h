// PNG files written a row at a time and deflated by libdeflate: no Qt, so that programs
// which only draw glyphs write their pictures without starting Qt.
#pragma once

#include "raster/Graphics.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

// A picture the encoder cannot write as PNG.
class EPNG : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace glyphtint::raster {

// The pixel layouts the encoder takes: opaque, or with an alpha byte after each pixel.
enum class PngPixels { Rgb8, Rgba8 };

// One PNG file, appended to out as it is encoded: the header on construction, then
// exactly height rows (the picture's data is written with the last), then Finish.
// Raises EOutOfResources when memory runs out or the rows would hold more than 2 GB, as
// no bitmap does, and EPNG when the compressor fails. An encoder left before its last
// row leaves an incomplete file in out.
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
    void WriteData();

    std::string& out_;
    // The rows as the file holds them, each after its filter byte, deflated in one piece
    // once the last arrives.
    std::unique_ptr<std::uint8_t[]> rows_;
    std::size_t rowBytes_ = 0;
    std::size_t filled_ = 0;
    // Where the last row stored unfiltered starts in rows_ (its filter byte).
    std::size_t lastPlainRow_ = 0;
    int rowsLeft_ = 0;
};

// The bitmap's pixels as a PNG file of 8-bit RGB, whatever its depth; an empty bitmap
// raises EInvalidGraphicOperation.
std::string EncodePng(const TBitmap& bitmap);

// The bitmap at display depth as 8-bit RGBA, the fourth byte of each pixel its alpha
// (a transparent strip keeps it there); any other depth raises
// EInvalidGraphicOperation, as an empty bitmap does.
std::string EncodePngWithAlpha(const TBitmap& bitmap);

} // namespace glyphtint::raster
