// PNG encoders side by side on the same strips: the project's encoder (libdeflate)
// against the one it replaced (zlib at level 1, set up for each picture and fed a row at
// a time, as libspng drove it, rows unfiltered), and libdeflate's levels under each row
// filter. Compare items_per_second (strips a second) of Encode/.../libdeflate with
// Encode/.../zlib in the same run, and their bytes_per_strip; Filters/... weighs the
// filter and level the encoder uses against the others on the deflated data alone.
#include "BenchNames.h"
#include "raster/PNGEncoder.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphPack.h"
#include "render/PictureStyle.h"

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using glyphtint::render::PictureStyle;
using glyphtint::render::StripBackground;

struct StripSet {
    std::vector<std::unique_ptr<TBitmap>> strips;
    bool alpha = false;
};

// The texts of tests/data/pictures/texts.txt: each line not a comment is a name, a space
// and the text.
std::vector<std::string> ReferenceTexts()
{
    std::ifstream in(std::string(GLYPHTINT_TEST_DATA) + "/pictures/texts.txt", std::ios::binary);
    std::vector<std::string> texts;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#' && line.find(' ') != std::string::npos) {
            texts.push_back(line.substr(line.find(' ') + 1));
        }
    }
    if (texts.empty()) {
        throw std::runtime_error("texts.txt not read");
    }
    return texts;
}

StripSet Draw(const std::vector<std::string>& texts, StripBackground background, std::vector<int> scales)
{
    glyphtint::render::GlyphPack pack(glyphtint::render::kGlyphBytesPerRender);
    pack.Open(glyphtint::render::GlyphArchivePath());
    StripSet set;
    set.alpha = background == StripBackground::Transparent;
    PictureStyle style;
    style.background = background;
    for (const std::string& text : texts) {
        TPicture strip;
        RenderCodedText(pack, text, strip, style);
        for (const int scale : scales) {
            set.strips.push_back(std::make_unique<TBitmap>());
            glyphtint::render::ScaleBitmap(strip.AsBitmap(), scale, *set.strips.back());
            if (set.strips.back()->PixelFormat() != TPixelFormat::pfDevice) {
                throw std::runtime_error("a strip not at display depth");
            }
        }
    }
    return set;
}

const StripSet& Strips(int which)
{
    static const std::vector<std::string> names = glyphtint::bench::MakeNames(256);
    static const std::vector<std::string> someNames(names.begin(), names.begin() + 32);
    static const StripSet sets[] = {
        Draw(names, StripBackground::Glyph, {1}),
        Draw(names, StripBackground::Transparent, {1}),
        Draw(someNames, StripBackground::Glyph, {4}),
        Draw(someNames, StripBackground::Transparent, {4}),
        Draw(ReferenceTexts(), StripBackground::Glyph, {1, 2, 4, 8}),
        Draw(ReferenceTexts(), StripBackground::Transparent, {1, 2, 4, 8}),
    };
    return sets[which];
}

// The strip's rows as the file holds them, without filter bytes: RGB, or RGBA.
std::vector<std::uint8_t> Pixels(const TBitmap& strip, bool alpha)
{
    const std::size_t channels = alpha ? 4 : 3;
    std::vector<std::uint8_t> pixels;
    pixels.reserve(static_cast<std::size_t>(strip.Width()) * strip.Height() * channels);
    for (int y = 0; y < strip.Height(); ++y) {
        const std::uint8_t* in = strip.ScanLine(y);
        for (int x = 0; x < strip.Width(); ++x, in += 4) {
            pixels.insert(pixels.end(), in, in + channels);
        }
    }
    return pixels;
}

// The old encoder's work: zlib set up for the picture with the smallest window that
// holds it, level 1, a row at a time, each unfiltered; then the same chunks as ours.
std::string EncodeWithZlib(const TBitmap& strip, bool alpha)
{
    const std::size_t rowBytes = static_cast<std::size_t>(strip.Width()) * (alpha ? 4 : 3);
    const std::size_t raw = (rowBytes + 1) * strip.Height();
    int bits = 9;
    while (bits < 15 && (std::size_t{1} << bits) < raw) {
        ++bits;
    }
    z_stream zlib{};
    if (deflateInit2(&zlib, 1, Z_DEFLATED, bits, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("zlib cannot start");
    }
    std::string data(deflateBound(&zlib, raw), '\0');
    zlib.next_out = reinterpret_cast<Bytef*>(data.data());
    zlib.avail_out = static_cast<uInt>(data.size());
    std::vector<std::uint8_t> row(rowBytes + 1);
    for (int y = 0; y < strip.Height(); ++y) {
        const std::uint8_t* in = strip.ScanLine(y);
        for (int x = 0; x < strip.Width(); ++x, in += 4) {
            std::memcpy(&row[1 + static_cast<std::size_t>(x) * (alpha ? 4 : 3)], in, alpha ? 4 : 3);
        }
        zlib.next_in = row.data();
        zlib.avail_in = static_cast<uInt>(row.size());
        deflate(&zlib, y + 1 == strip.Height() ? Z_FINISH : Z_NO_FLUSH);
    }
    data.resize(zlib.total_out);
    deflateEnd(&zlib);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    const auto chunk = [&png](const char* type, const std::string& body) {
        const std::uint32_t length = static_cast<std::uint32_t>(body.size());
        std::string typed = std::string(type, 4) + body;
        const std::uint32_t crc =
            static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size()));
        const char head[4] = {char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
        const char tail[4] = {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
        png.append(head, 4).append(typed).append(tail, 4);
    };
    const std::uint32_t w = strip.Width();
    const std::uint32_t h = strip.Height();
    chunk("IHDR", {char(w >> 24), char(w >> 16), char(w >> 8), char(w), char(h >> 24), char(h >> 16), char(h >> 8),
                   char(h), 8, char(alpha ? 6 : 2), 0, 0, 0});
    chunk("pHYs", std::string("\0\0\x0e\xc4\0\0\x0e\xc4\x01", 9));
    chunk("IDAT", data);
    chunk("IEND", "");
    return png;
}

std::string EncodeWithDeflate(const TBitmap& strip, bool alpha)
{
    return alpha ? glyphtint::raster::EncodePngWithAlpha(strip) : glyphtint::raster::EncodePng(strip);
}

using Encoder = std::string (*)(const TBitmap&, bool);

// Every strip of the set encoded once an iteration.
void Encode(benchmark::State& state, int which, Encoder encode)
{
    const StripSet& set = Strips(which);
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const auto& strip : set.strips) {
            bytes += encode(*strip, set.alpha).size();
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(set.strips.size()));
    state.counters["bytes_per_strip"] = static_cast<double>(bytes) / static_cast<double>(set.strips.size());
}

void RegisterEncoders()
{
    const char* const setNames[] = {"names",           "names_transparent",          "names_x4", "names_x4_transparent",
                                    "reference_texts", "reference_texts_transparent"};
    for (int which = 0; which < 6; ++which) {
        const std::string name = std::string("Encode/") + setNames[which];
        benchmark::RegisterBenchmark((name + "/zlib").c_str(), Encode, which, EncodeWithZlib);
        benchmark::RegisterBenchmark((name + "/libdeflate").c_str(), Encode, which, EncodeWithDeflate);
    }
}

// PNG's filters 0 to 4 on one row, and 5: the encoder's rule, Up for a row that repeats
// the one above and None for any other.
std::uint8_t FilterRow(int filter, const std::uint8_t* row, const std::uint8_t* above, std::size_t bytes,
                       std::size_t channels, std::uint8_t* out)
{
    if (filter == 5) {
        filter = above != nullptr && std::memcmp(row, above, bytes) == 0 ? 2 : 0;
    }
    for (std::size_t i = 0; i < bytes; ++i) {
        const int left = i >= channels ? row[i - channels] : 0;
        const int up = above != nullptr ? above[i] : 0;
        const int corner = above != nullptr && i >= channels ? above[i - channels] : 0;
        int predicted = 0;
        switch (filter) {
        case 1: predicted = left; break;
        case 2: predicted = up; break;
        case 3: predicted = (left + up) / 2; break;
        case 4: {
            const int p = left + up - corner;
            const int toLeft = std::abs(p - left), toUp = std::abs(p - up), toCorner = std::abs(p - corner);
            predicted = toLeft <= toUp && toLeft <= toCorner ? left : toUp <= toCorner ? up : corner;
            break;
        }
        }
        out[i] = static_cast<std::uint8_t>(row[i] - predicted);
    }
    return static_cast<std::uint8_t>(filter);
}

// The set's strips filtered and deflated by libdeflate at a level, the filter's cost
// included and the chunks left out.
void Filters(benchmark::State& state, int which, int filter, int level)
{
    const StripSet& set = Strips(which);
    const std::size_t channels = set.alpha ? 4 : 3;
    std::vector<std::vector<std::uint8_t>> pixels;
    for (const auto& strip : set.strips) {
        pixels.push_back(Pixels(*strip, set.alpha));
    }
    const std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        libdeflate_alloc_compressor(level), libdeflate_free_compressor);
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::size_t rowBytes = static_cast<std::size_t>(set.strips[i]->Width()) * channels;
            const std::size_t height = static_cast<std::size_t>(set.strips[i]->Height());
            std::vector<std::uint8_t> rows((rowBytes + 1) * height);
            for (std::size_t y = 0; y < height; ++y) {
                const std::uint8_t* row = &pixels[i][y * rowBytes];
                rows[y * (rowBytes + 1)] = FilterRow(filter, row, y > 0 ? row - rowBytes : nullptr, rowBytes, channels,
                                                     &rows[y * (rowBytes + 1) + 1]);
            }
            std::vector<std::uint8_t> out(libdeflate_zlib_compress_bound(compressor.get(), rows.size()));
            bytes += libdeflate_zlib_compress(compressor.get(), rows.data(), rows.size(), out.data(), out.size());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(set.strips.size()));
    state.counters["bytes_per_strip"] = static_cast<double>(bytes) / static_cast<double>(set.strips.size());
}

void RegisterFilters()
{
    const char* const filterNames[] = {"none", "sub", "up", "average", "paeth", "up_on_repeats"};
    // The opaque and transparent names at scales 1 and 4.
    const char* const setNames[] = {"names", "names_transparent", "names_x4", "names_x4_transparent"};
    for (int which = 0; which < 4; ++which) {
        for (const int filter : {0, 1, 2, 4, 5}) {
            for (const int level : {1, 2, 3}) {
                const std::string name = std::string("Filters/") + setNames[which] + "/" + filterNames[filter] +
                                         "/level" + std::to_string(level);
                benchmark::RegisterBenchmark(name.c_str(), Filters, which, filter, level);
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    RegisterEncoders();
    RegisterFilters();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
