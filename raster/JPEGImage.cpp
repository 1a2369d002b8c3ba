// TJPEGImage: header reading at load, decoding on first draw, encoding on save.
#include "raster/JPEGImage.h"

#include "io/FileReplacement.h"
#include "raster/JPEGLibrary.h"

#include <jerror.h>

#include <algorithm>
#include <iterator>

TJPEGSettings DefaultJPEGSettings;

EJPEG::EJPEG(int code) : std::runtime_error("JPEG error #" + std::to_string(code)), code_(code)
{
}

namespace {

namespace jpeglib = glyphtint::raster::jpeglib;
using glyphtint::raster::kMaxDecodedPixels;
using glyphtint::raster::kMaxDecoderMemory;

constexpr int kQuantisedColours = 236;
constexpr jpeglib::DecodeLimits kDecodeLimits{static_cast<std::size_t>(kMaxDecoderMemory), glyphtint::raster::kMaxScans,
                                              glyphtint::raster::kMaxScanBlocks, glyphtint::raster::kMaxDecodeWork,
                                              glyphtint::raster::kArithmeticScanWeight};

// Refuses a picture past the decode cap before the library allocates for it. Within
// the cap the library's own buffers stay far below kMaxDecoderMemory, which it
// enforces itself as a second line.
void CheckDecodedSize(const jpeg_decompress_struct& cinfo)
{
    if (std::int64_t{cinfo.image_width} * cinfo.image_height > kMaxDecodedPixels) {
        throw EOutOfResources("Out of system resources");
    }
}

int ClampedShift(int shift)
{
    return std::clamp(shift, 0, 3);
}

// Output size of a 1/2^shift decode, rounded up as the library does.
int ScaledSide(int side, int shift)
{
    const int denominator = 1 << ClampedShift(shift);
    return (side + denominator - 1) / denominator;
}

// Sets every decompression parameter from the settings; runs inside a guarded step.
// Returns whether the output is quantised to a palette.
bool SetDecodeParameters(jpeg_decompress_struct& cinfo, const TJPEGSettings& settings)
{
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1u << ClampedShift(settings.ScaleShift);
    cinfo.do_block_smoothing = settings.BlockSmoothing ? TRUE : FALSE;
    const bool grey = settings.GrayOutput || cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool quantise = grey || settings.OutputDepth == TJPEGPixelFormat::jf8Bit;
    if (grey) {
        cinfo.out_color_space = JCS_GRAYSCALE;
    } else if (quantise) {
        cinfo.out_color_space = JCS_RGB; // the colour map then lists red, green, blue
    } else {
        cinfo.out_color_space = JCS_EXT_BGR; // rows land in the bitmap's byte order
    }
    if (quantise) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = kQuantisedColours;
    }
    if (settings.SpeedMode == TJPEGPerformance::jpBestQuality) {
        cinfo.dct_method = JDCT_FLOAT;
    } else {
        cinfo.dct_method = JDCT_IFAST;
        cinfo.two_pass_quantize = FALSE;
        cinfo.dither_mode = JDITHER_ORDERED;
    }
    return quantise;
}

// Reads all rows of the current output pass into the bitmap; runs inside a guarded step.
void ReadRows(jpeg_decompress_struct& cinfo, TBitmap& bitmap)
{
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = bitmap.ScanLine(static_cast<int>(cinfo.output_scanline));
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) {
            break;
        }
    }
}

std::vector<TPaletteEntry> PaletteFromColourMap(const jpeg_decompress_struct& cinfo)
{
    std::vector<TPaletteEntry> palette;
    palette.reserve(static_cast<std::size_t>(cinfo.actual_number_of_colors));
    const bool grey = cinfo.out_color_components == 1;
    for (int i = 0; i < cinfo.actual_number_of_colors; ++i) {
        if (grey) {
            const auto v = static_cast<std::uint8_t>(cinfo.colormap[0][i]);
            palette.push_back({v, v, v});
        } else {
            palette.push_back({static_cast<std::uint8_t>(cinfo.colormap[0][i]),
                               static_cast<std::uint8_t>(cinfo.colormap[1][i]),
                               static_cast<std::uint8_t>(cinfo.colormap[2][i])});
        }
    }
    return palette;
}

} // namespace

TJPEGImage::TJPEGImage() : Settings(DefaultJPEGSettings), data_(std::make_unique<TJPEGData>())
{
}

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::LoadJPEG(std::istream& stream)
{
    std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    auto data = std::make_unique<TJPEGData>();
    data->Bytes = std::move(bytes);
    data_ = std::move(data);
    bitmap_.reset();
    ReadHeader();
    Changed();
}

void TJPEGImage::LoadJPEG(std::string_view bytes)
{
    auto data = std::make_unique<TJPEGData>();
    data->Bytes = std::string(bytes);
    data_ = std::move(data);
    bitmap_.reset();
    ReadHeader();
    Changed();
}

void TJPEGImage::ReadHeader()
{
    const std::string& bytes = *data_->Bytes;
    if (bytes.empty()) {
        return;
    }
    jpeglib::Decompressor decoder;
    decoder.Create(bytes.data(), bytes.size(), kDecodeLimits);
    jpeg_decompress_struct& cinfo = decoder.cinfo;
    bool multiScan = false;
    jpeglib::Guard(decoder.err, [&cinfo, &multiScan] {
        jpeg_read_header(&cinfo, TRUE);
        multiScan = jpeg_has_multiple_scans(&cinfo) != FALSE;
    });
    // Refused at load, so that a render never widens its strip for a glyph it cannot draw.
    CheckDecodedSize(cinfo);
    data_->Width = static_cast<int>(cinfo.image_width);
    data_->Height = static_cast<int>(cinfo.image_height);
    data_->Grayscale = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    Settings.ProgressiveWrite = multiScan;
}

int TJPEGImage::Width() const
{
    if (bitmap_) {
        return bitmap_->Width();
    }
    return ScaledSide(data_->Width, Settings.ScaleShift);
}

int TJPEGImage::Height() const
{
    if (bitmap_) {
        return bitmap_->Height();
    }
    return ScaledSide(data_->Height, Settings.ScaleShift);
}

bool TJPEGImage::Empty() const
{
    return !data_->Bytes.has_value() && (!bitmap_ || bitmap_->Empty());
}

void TJPEGImage::SetWidth(int)
{
    throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::SetHeight(int)
{
    throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::DecodeJPEG()
{
    const std::string& bytes = *data_->Bytes;
    auto bitmap = std::make_unique<TBitmap>();
    jpeglib::Decompressor decoder;
    decoder.Create(bytes.data(), bytes.size(), kDecodeLimits);
    jpeg_decompress_struct& cinfo = decoder.cinfo;
    const TJPEGSettings& settings = Settings;
    bool quantise = false;
    bool incremental = false;
    jpeglib::Guard(decoder.err, [&cinfo, &settings, &quantise, &incremental] {
        jpeg_read_header(&cinfo, TRUE);
        quantise = SetDecodeParameters(cinfo, settings);
        incremental = settings.IncrementalDisplay && jpeg_has_multiple_scans(&cinfo);
        if (incremental) {
            cinfo.buffered_image = TRUE;
            cinfo.enable_2pass_quant = cinfo.two_pass_quantize;
        }
    });
    CheckDecodedSize(cinfo);
    jpeglib::Guard(decoder.err, [&cinfo] { jpeg_start_decompress(&cinfo); });
    // The rows are written straight into the bitmap, so their width must match it.
    if (cinfo.output_components != (quantise ? 1 : 3)) {
        throw EJPEG(JERR_CONVERSION_NOTIMPL);
    }

    bitmap->ChangeDepth(quantise ? TPixelFormat::pf8bit : TPixelFormat::pf24bit);
    bitmap->ResizeWidth(static_cast<int>(cinfo.output_width));
    bitmap->ResizeHeight(static_cast<int>(cinfo.output_height));
    if (quantise) {
        bitmap->SetPalette(PaletteFromColourMap(cinfo));
    }
    TBitmap& target = *bitmap;

    if (!incremental) {
        jpeglib::Guard(decoder.err, [&cinfo, &target] {
            ReadRows(cinfo, target);
            jpeg_finish_decompress(&cinfo);
        });
        bitmap_ = std::move(bitmap);
        return;
    }

    // One output pass per scan: each pass shows the picture as far as the scans read
    // so far give it, and the last one, made after the final scan, is the full picture.
    bitmap_ = std::move(bitmap);
    try {
        bool complete = false;
        while (!complete) {
            jpeglib::Guard(decoder.err, [&cinfo, &target, &complete] {
                jpeg_start_output(&cinfo, cinfo.input_scan_number);
                ReadRows(cinfo, target);
                jpeg_finish_output(&cinfo);
                complete = jpeg_input_complete(&cinfo) != FALSE;
            });
            Changed();
        }
        jpeglib::Guard(decoder.err, [&cinfo] { jpeg_finish_decompress(&cinfo); });
    } catch (...) {
        bitmap_.reset();
        throw;
    }
}

void TJPEGImage::Draw(TCanvas& canvas, int x, int y)
{
    if (!bitmap_) {
        if (!data_->Bytes) {
            return;
        }
        DecodeJPEG();
    }
    bitmap_->Draw(canvas, x, y);
}

const TBitmap& TJPEGImage::Bitmap()
{
    if (!bitmap_) {
        if (data_->Bytes) {
            DecodeJPEG();
        } else {
            bitmap_ = std::make_unique<TBitmap>();
        }
    }
    return *bitmap_;
}

void TJPEGImage::AssignBitmap(const TBitmap& bitmap)
{
    auto copy = bitmap.Clone();
    data_ = std::make_unique<TJPEGData>();
    bitmap_ = std::move(copy);
    Changed();
}

std::string glyphtint::raster::EncodeJPEGBytes(const TBitmap& bitmap, const TJPEGSettings& settings)
{
    if (bitmap.Width() == 0 || bitmap.Height() == 0) {
        return {};
    }
    // Display-depth and 24-bit rows go to the library as they are, in their own byte
    // order; palette rows are expanded in a copy first.
    const TBitmap* source = &bitmap;
    std::unique_ptr<TBitmap> expanded;
    if (source->PixelFormat() == TPixelFormat::pf8bit) {
        expanded = source->Clone();
        expanded->ChangeDepth(TPixelFormat::pf24bit);
        source = expanded.get();
    }
    const bool device = source->PixelFormat() == TPixelFormat::pfDevice;

    jpeglib::Compressor encoder;
    encoder.Create();
    jpeg_compress_struct& cinfo = encoder.cinfo;
    jpeglib::Guard(encoder.err, [&cinfo, &settings, source, device] {
        cinfo.image_width = static_cast<JDIMENSION>(source->Width());
        cinfo.image_height = static_cast<JDIMENSION>(source->Height());
        cinfo.input_components = device ? 4 : 3;
        cinfo.in_color_space = device ? JCS_EXT_RGBX : JCS_EXT_BGR;
        jpeg_set_defaults(&cinfo);
        cinfo.dct_method = JDCT_FLOAT;
        jpeg_set_quality(&cinfo, settings.EncodeQuality, TRUE);
        if (settings.GrayOutput) {
            jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
        }
        if (settings.ProgressiveWrite) {
            jpeg_simple_progression(&cinfo);
        }
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            // The library only reads input rows.
            JSAMPROW row = const_cast<JSAMPROW>(source->ScanLine(static_cast<int>(cinfo.next_scanline)));
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
    });
    return encoder.Bytes();
}

void TJPEGImage::EncodeJPEG()
{
    auto data = std::make_unique<TJPEGData>();
    data->Bytes = bitmap_ ? glyphtint::raster::EncodeJPEGBytes(*bitmap_, Settings) : std::string();
    if (!data->Bytes->empty()) {
        data->Width = bitmap_->Width();
        data->Height = bitmap_->Height();
        data->Grayscale = Settings.GrayOutput;
    }
    data_ = std::move(data);
}

const std::string& TJPEGImage::SaveToBytes()
{
    if (!data_->Bytes) {
        EncodeJPEG();
    }
    return *data_->Bytes;
}

void TJPEGImage::SaveJPEGFile(const std::string& path)
{
    glyphtint::io::FileReplacement file(path);
    file.Commit(SaveToBytes());
}
