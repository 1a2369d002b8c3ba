// Test fixtures: JPEG files written by libjpeg directly, and their header fields.
#include "JPEGFixtures.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::RedOf;

namespace glyphtint::test::fixtures {

namespace {

struct Compress {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    Compress()
    {
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_compress(&cinfo);
        jpeg_mem_dest(&cinfo, &buffer, &size);
    }
    ~Compress()
    {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
    std::string Bytes() const { return std::string(reinterpret_cast<const char*>(buffer), size); }
};

} // namespace

std::string MakeJPEG(int width, int height, const std::function<TColor(int, int)>& colourAt, const Options& options)
{
    Compress c;
    const bool grey = options.storage == Storage::Grayscale;
    const bool cmyk = options.storage == Storage::CMYK;
    const int components = grey ? 1 : cmyk ? 4 : 3;
    c.cinfo.image_width = static_cast<JDIMENSION>(width);
    c.cinfo.image_height = static_cast<JDIMENSION>(height);
    c.cinfo.input_components = components;
    c.cinfo.in_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c.cinfo);
    if (options.storage == Storage::AdobeRGB) {
        jpeg_set_colorspace(&c.cinfo, JCS_RGB);
    }
    jpeg_set_quality(&c.cinfo, options.quality, TRUE);
    if (options.progressive) {
        jpeg_simple_progression(&c.cinfo);
    }
    c.cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
    jpeg_start_compress(&c.cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * components);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const TColor colour = colourAt(x, y);
            if (grey) {
                row[x] = static_cast<JSAMPLE>(RedOf(colour));
            } else if (cmyk) {
                row[4 * x] = static_cast<JSAMPLE>(255 - RedOf(colour));
                row[4 * x + 1] = static_cast<JSAMPLE>(255 - GreenOf(colour));
                row[4 * x + 2] = static_cast<JSAMPLE>(255 - BlueOf(colour));
                row[4 * x + 3] = 0;
            } else {
                row[3 * x] = static_cast<JSAMPLE>(RedOf(colour));
                row[3 * x + 1] = static_cast<JSAMPLE>(GreenOf(colour));
                row[3 * x + 2] = static_cast<JSAMPLE>(BlueOf(colour));
            }
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&c.cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&c.cinfo);
    return c.Bytes();
}

std::string MakeTablesOnly()
{
    Compress c;
    c.cinfo.image_width = 8;
    c.cinfo.image_height = 8;
    c.cinfo.input_components = 3;
    c.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c.cinfo);
    jpeg_write_tables(&c.cinfo);
    return c.Bytes();
}

namespace {

// Offsets of the markers of a file made by libjpeg: 0xFF followed by a code that is
// neither a stuffed zero, a fill byte nor a restart marker.
std::vector<std::pair<unsigned char, std::size_t>> Markers(const std::string& bytes)
{
    std::vector<std::pair<unsigned char, std::size_t>> found;
    for (std::size_t i = 2; i + 1 < bytes.size(); ++i) {
        const auto code = static_cast<unsigned char>(bytes[i + 1]);
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && code != 0 && code != 0xFF && (code < 0xD0 || code > 0xD7)) {
            found.emplace_back(code, i);
        }
    }
    return found;
}

} // namespace

std::string WithDeclaredSize(std::string bytes, int width, int height)
{
    for (const auto& [code, offset] : Markers(bytes)) {
        if (code == 0xC0 || code == 0xC1 || code == 0xC2) {
            bytes[offset + 5] = static_cast<char>(height >> 8);
            bytes[offset + 6] = static_cast<char>(height & 255);
            bytes[offset + 7] = static_cast<char>(width >> 8);
            bytes[offset + 8] = static_cast<char>(width & 255);
            return bytes;
        }
    }
    throw std::invalid_argument("no frame header");
}

std::string WithRepeatedLastScan(const std::string& bytes, int count)
{
    std::size_t lastScan = 0;
    std::size_t end = 0;
    for (const auto& [code, offset] : Markers(bytes)) {
        if (code == 0xDA) {
            lastScan = offset;
        } else if (code == 0xD9) {
            end = offset;
        }
    }
    if (lastScan == 0 || end < lastScan) {
        throw std::invalid_argument("no scan");
    }
    std::string repeated = bytes.substr(0, end);
    for (int i = 0; i < count; ++i) {
        repeated.append(bytes, lastScan, end - lastScan);
    }
    return repeated + bytes.substr(end);
}

Header ReadHeader(const std::string& bytes)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    Header h;
    h.width = static_cast<int>(cinfo.image_width);
    h.height = static_cast<int>(cinfo.image_height);
    h.components = cinfo.num_components;
    h.jfif = cinfo.saw_JFIF_marker;
    h.densityUnit = cinfo.density_unit;
    h.xDensity = cinfo.X_density;
    h.yDensity = cinfo.Y_density;
    h.progressive = cinfo.progressive_mode;
    h.adobe = cinfo.saw_Adobe_marker;
    for (int i = 0; i < cinfo.num_components && i < 3; ++i) {
        h.samplingH[i] = cinfo.comp_info[i].h_samp_factor;
        h.samplingV[i] = cinfo.comp_info[i].v_samp_factor;
    }
    for (int t = 0; t < 2; ++t) {
        if (cinfo.quant_tbl_ptrs[t] == nullptr) {
            continue;
        }
        h.hasQuant[t] = true;
        for (int i = 0; i < 64; ++i) {
            h.quant[t][i] = cinfo.quant_tbl_ptrs[t]->quantval[i];
        }
    }
    // Count the scans by reading them into the coefficient buffer.
    jpeg_read_coefficients(&cinfo);
    h.scans = cinfo.input_scan_number;
    jpeg_destroy_decompress(&cinfo);
    return h;
}

} // namespace glyphtint::test::fixtures
