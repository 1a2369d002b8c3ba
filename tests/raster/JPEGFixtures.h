// Small JPEG files made in the tests through libjpeg itself, and a reader of their
// header fields, so the codec is checked against the library rather than against itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "raster/Graphics.h"

namespace glyphtint::test::fixtures {

enum class Storage {
    YCbCr,     // the usual three-component file
    AdobeRGB,  // components stored as R, G, B with an Adobe marker, transform 0
    Grayscale, // one component
    CMYK,      // four components, stored as given
};

struct Options {
    Storage storage = Storage::YCbCr;
    int quality = 95;
    bool progressive = false;
    bool arithmetic = false; // arithmetic coding instead of Huffman coding
};

// A smooth pattern that JPEG keeps close at high quality.
inline TColor Gradient(int x, int y)
{
    return raster::MakeColor(40 + x * 4, 60 + y * 3, 200 - x * 2 - y);
}

// Encodes width x height pixels given by colourAt(x, y) as a JPEG.
std::string MakeJPEG(int width, int height, const std::function<TColor(int, int)>& colourAt,
                     const Options& options = {});

// A stream of tables only, with no image.
std::string MakeTablesOnly();

// The file with its frame header declaring another size: the data then covers the top
// left only, and the library completes the rest as it does for a cut-off file.
std::string WithDeclaredSize(std::string bytes, int width, int height);

// The file with its last scan repeated count more times before the end marker.
std::string WithRepeatedLastScan(const std::string& bytes, int count);

struct Header {
    int width = 0;
    int height = 0;
    int components = 0;
    bool jfif = false;
    int densityUnit = -1;
    int xDensity = 0;
    int yDensity = 0;
    bool progressive = false;
    bool adobe = false;
    int samplingH[3] = {};
    int samplingV[3] = {};
    // Quantisation tables 0 (luminance) and 1 (chrominance) in natural row order.
    int quant[2][64] = {};
    bool hasQuant[2] = {};
    int scans = 0;
};

// Reads a file's header (and counts its scans) with libjpeg.
Header ReadHeader(const std::string& bytes);

} // namespace glyphtint::test::fixtures
