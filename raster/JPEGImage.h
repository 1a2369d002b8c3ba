// TJPEGImage: a picture holding the compressed bytes of one JPEG and, once drawn,
// its decoded bitmap; with the program-wide codec settings and the codec's errors.
#pragma once

#include "io/StreamError.h"
#include "raster/Graphics.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// A fatal error of the JPEG library, carrying the library's message code.
class EJPEG : public std::runtime_error {
public:
    explicit EJPEG(int code);
    int Code() const { return code_; }

private:
    int code_;
};

enum class TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum class TJPEGPixelFormat { jf24Bit, jf8Bit };

struct TJPEGSettings {
    int EncodeQuality = 90;  // 1..100
    bool GrayOutput = false; // decode to grey; encode a one-component file
    TJPEGPerformance SpeedMode = TJPEGPerformance::jpBestQuality;
    TJPEGPixelFormat OutputDepth = TJPEGPixelFormat::jf24Bit;
    bool IncrementalDisplay = false; // show each scan of a multi-scan file as it lands
    bool ProgressiveWrite = false;   // encode with the simple progressive scan script
    int ScaleShift = 0;              // decode at 1/2^n of full size, 0..3
    bool BlockSmoothing = true;
};

// The settings every new TJPEGImage starts from.
extern TJPEGSettings DefaultJPEGSettings;

namespace glyphtint::raster {

// Every picture this program decodes is a glyph: one character, a few hundred pixels a
// side at most. Decoding refuses files past these caps before the library allocates
// its buffers, so a crafted file costs a fraction of a second and some tens of MB.
// The picture's pixels (1024 x 1024, or 16 384 x 64): past them EOutOfResources.
inline constexpr std::int64_t kMaxDecodedPixels = std::int64_t{1} << 20;
// The library's whole-picture buffers (all coefficients of a progressive or multi-scan
// file, the picture of two-pass colour quantisation), enforced by the library: past
// them EJPEG. Pictures within kMaxDecodedPixels need under a third of it.
inline constexpr std::int64_t kMaxDecoderMemory = std::int64_t{64} << 20;
// Scans of one file, and scans times the picture's 8x8 blocks (a full-size picture
// may have about 80 scans, a small one 500): past them EJPEG.
inline constexpr int kMaxScans = 500;
inline constexpr std::uint64_t kMaxScanBlocks = std::uint64_t{1} << 20;
// The work of one decode: pixels times scans, an arithmetic-coded scan counting 32
// times (it decodes about ten to twenty times more slowly). 4 194 304 keeps every decode
// under about a tenth of a second: a Huffman-coded picture of 1 048 576 pixels in one
// scan, 400 000 pixels in the ten scans of a progressive file, 131 072 pixels of
// arithmetic coding in one scan. The largest generated glyph (about 80 000 pixels, one
// Huffman scan) uses a fiftieth of it. Past it EJPEG, when the scan that would pass it
// begins.
inline constexpr std::uint64_t kMaxDecodeWork = std::uint64_t{1} << 22;
inline constexpr std::uint64_t kArithmeticScanWeight = 32;

} // namespace glyphtint::raster

// The compressed side of a TJPEGImage.
class TJPEGData {
public:
    // Absent until bytes are loaded or encoded; present and empty after loading 0 bytes.
    std::optional<std::string> Bytes;
    int Width = 0;
    int Height = 0;
    bool Grayscale = false;
};

class TJPEGImage : public TGraphic {
public:
    TJPEGImage();
    ~TJPEGImage() override;

    // Copied from DefaultJPEGSettings on creation. Decoding settings act on the next
    // decode, so change them before the first draw.
    TJPEGSettings Settings;

    // Replaces the data with every byte from the stream's position to its end and
    // reads the header when there is at least one byte. Raises EJPEG.
    void LoadJPEG(std::istream& stream);
    // The same with the bytes at hand.
    void LoadJPEG(std::string_view bytes);

    // The decoded bitmap's size, else the header's scaled by ScaleShift.
    int Width() const override;
    int Height() const override;
    bool Empty() const override;
    // Decodes on the first draw, then draws the decoded bitmap. Raises EJPEG.
    void Draw(TCanvas& canvas, int x, int y) override;

    // Refused: a JPEG has the size of its picture.
    void SetWidth(int width);
    void SetHeight(int height);

    // Drops the compressed data and takes a copy of the bitmap as the picture.
    void AssignBitmap(const TBitmap& bitmap);

    // Decodes if not done yet and returns the decoded bitmap. Raises EJPEG.
    const TBitmap& Bitmap();
    const TJPEGData& Data() const { return *data_; }
    bool IsDecoded() const { return bitmap_ != nullptr; }

    // The compressed bytes, encoding the bitmap first when there are none yet. Empty
    // when there is nothing to encode. Raises EJPEG.
    const std::string& SaveToBytes();

    // Writes the compressed bytes to a file, encoded completely in memory before the
    // file is touched: a failed encoding leaves an existing file as it was. An existing
    // file keeps its owner, group, mode, hard links and the symlinks that lead to it
    // (glyphtint::io::FileReplacement). Raises EFCreateError when the file cannot
    // be created, EJPEG when encoding fails, EWriteError when writing fails.
    void SaveJPEGFile(const std::string& path);

private:
    void ReadHeader();
    void DecodeJPEG();
    void EncodeJPEG();

    std::unique_ptr<TJPEGData> data_;
    std::unique_ptr<TBitmap> bitmap_;
};

namespace glyphtint::raster {

// The bitmap as JPEG bytes with the settings' quality, grey and progressive choices, its
// rows read where they stand: encoding a large picture costs no copy of it. Empty for an
// empty bitmap. Raises EJPEG.
std::string EncodeJPEGBytes(const TBitmap& bitmap, const TJPEGSettings& settings);

} // namespace glyphtint::raster
