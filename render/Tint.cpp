// Glyph tinting, straight on the bitmap's pixel rows with a table per call.
#include "render/Tint.h"

#include "render/GlyphBackground.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace glyphtint::render {

namespace {

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::MakeColor;
using glyphtint::raster::RedOf;

constexpr int kTintSpan = 255 - kTintThreshold; // 137
constexpr int kBackground[3] = {RedOf(kGlyphBackgroundColour), GreenOf(kGlyphBackgroundColour),
                                BlueOf(kGlyphBackgroundColour)};

int BlendChannel(float factor, int background, int tint)
{
    const double value = (1.0 - static_cast<double>(factor)) * background + static_cast<double>(factor) * tint;
    // Nearest integer, halves to the even neighbour (the default rounding mode).
    const long rounded = std::lrint(value);
    return static_cast<int>(std::clamp(rounded, 0L, 255L));
}

// The part of the rectangle inside the bitmap, as columns x0..x1 and rows y0..y1 (end
// excluded): pixels outside can neither be read nor written. Empty for an empty bitmap
// or rectangle.
struct Area {
    int x0, y0, x1, y1;
};
Area ClippedArea(const TBitmap& bitmap, int left, int top, int width, int height)
{
    if (height <= 0 || width <= 0 || bitmap.Empty()) {
        return {0, 0, 0, 0};
    }
    return {std::max(left, 0), std::max(top, 0),
            static_cast<int>(std::min<std::int64_t>(std::int64_t{left} + width, bitmap.Width())),
            static_cast<int>(std::min<std::int64_t>(std::int64_t{top} + height, bitmap.Height()))};
}

} // namespace

TColor TintedColour(int mean, TColourTriple colour)
{
    return TintedColour(mean, colour, {kBackground[0], kBackground[1], kBackground[2]});
}

TColor TintedColour(int mean, TColourTriple colour, TColourTriple background)
{
    const int k = mean - kTintThreshold;
    const float factor = static_cast<float>(k) / static_cast<float>(kTintSpan);
    return MakeColor(BlendChannel(factor, background.Red, colour.Red),
                     BlendChannel(factor, background.Green, colour.Green),
                     BlendChannel(factor, background.Blue, colour.Blue));
}

int TintAlpha(int mean)
{
    if (mean <= kTintThreshold) {
        return 0;
    }
    // Integer rounding of (mean - 118) * 255 / 137, halves up.
    return ((std::min(mean, 255) - kTintThreshold) * 255 * 2 + kTintSpan) / (2 * kTintSpan);
}

void TintBitmapAreaOnto(TBitmap& bitmap, int left, int top, int width, int height, TColourTriple colour,
                        const TintBackground& background)
{
    if (background.kind == TintBackground::Kind::Glyph) {
        TintBitmapArea(bitmap, left, top, width, height, colour);
        return;
    }
    const auto [x0, y0, x1, y1] = ClippedArea(bitmap, left, top, width, height);
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    if (bitmap.PixelFormat() != TPixelFormat::pfDevice) {
        // Only device pixels have a byte to keep alpha in.
        throw EInvalidGraphicOperation("A glyph can be drawn on another background only at display depth");
    }
    // Every mean's pixel: the blend onto the colour, or the tint colour with the blend
    // factor in the fourth byte. This runs once a glyph, and a glyph shows only a few
    // dozen of the bright means, so each blend is worked out on first use.
    const bool transparent = background.kind == TintBackground::Kind::Transparent;
    const auto channel = [](std::int32_t value) { return static_cast<std::uint32_t>(std::clamp(value, 0, 255)); };
    const std::uint32_t tintBytes = channel(colour.Red) | channel(colour.Green) << 8 | channel(colour.Blue) << 16;
    const std::uint32_t backgroundBytes =
        channel(background.colour.Red) | channel(background.colour.Green) << 8 | channel(background.colour.Blue) << 16;
    // A black tint at full alpha has this value too: it is merely worked out again.
    constexpr std::uint32_t kNotYetBlended = 0xFF000000u;
    std::array<std::uint32_t, 256> byMean;
    for (int mean = 0; mean < 256; ++mean) {
        byMean[mean] = mean > kTintThreshold ? kNotYetBlended : transparent ? 0 : backgroundBytes;
    }
    static_assert(std::endian::native == std::endian::little);
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* p = bitmap.ScanLine(y) + static_cast<std::size_t>(x0) * 4;
        for (int x = x0; x < x1; ++x, p += 4) {
            const int mean = (p[0] + p[1] + p[2]) / 3;
            std::uint32_t& pixel = byMean[mean];
            if (pixel == kNotYetBlended) {
                pixel = transparent ? tintBytes | static_cast<std::uint32_t>(TintAlpha(mean)) << 24
                                    : TintedColour(mean, colour, background.colour);
            }
            std::memcpy(p, &pixel, 4);
        }
    }
    bitmap.NotifyChanged();
}

void TintBitmapArea(TBitmap& bitmap, int left, int top, int width, int height, TColourTriple colour)
{
    const auto [x0, y0, x1, y1] = ClippedArea(bitmap, left, top, width, height);
    if (x0 >= x1 || y0 >= y1) {
        return;
    }

    if (bitmap.PixelFormat() != TPixelFormat::pfDevice) {
        TCanvas& canvas = bitmap.Canvas();
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                const TColor p = canvas.ReadPixel(x, y);
                const int mean = (RedOf(p) + GreenOf(p) + BlueOf(p)) / 3;
                if (mean > kTintThreshold) {
                    canvas.WritePixel(x, y, TintedColour(mean, colour));
                }
            }
        }
        return;
    }

    // One entry per channel mean. A pixel becomes (pixel & keep) | tinted: dark means
    // keep every bit, bright ones take the tinted value, so there is no branch on the
    // pixel's brightness (glyph edges make it unpredictable). A glyph shows only a few
    // dozen of the 137 bright means, so each blend is worked out on first use.
    struct MeanEntry {
        std::uint32_t keep;
        std::uint32_t tinted;
    };
    constexpr std::uint32_t kNotYetBlended = 0xFF000000u; // no colour value has these bits
    std::array<MeanEntry, 256> byMean;
    for (int mean = 0; mean < 256; ++mean) {
        byMean[mean] = mean > kTintThreshold ? MeanEntry{0, kNotYetBlended} : MeanEntry{~0u, 0};
    }

    // Device pixels are colour values in memory order red, green, blue, 0.
    static_assert(std::endian::native == std::endian::little);
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* p = bitmap.ScanLine(y) + static_cast<std::size_t>(x0) * 4;
        for (int x = x0; x < x1; ++x, p += 4) {
            std::uint32_t pixel;
            std::memcpy(&pixel, p, 4);
            const int mean = (p[0] + p[1] + p[2]) / 3;
            MeanEntry& entry = byMean[mean];
            if (entry.tinted == kNotYetBlended) {
                entry.tinted = TintedColour(mean, colour);
            }
            pixel = (pixel & entry.keep) | entry.tinted;
            std::memcpy(p, &pixel, 4);
        }
    }
    bitmap.NotifyChanged();
}

void TintGlyphArea(TPicture& target, int left, int top, int width, int height, TColourTriple colour)
{
    TBitmap& strip = target.AsBitmap();
    glyphtint::render::TintBitmapArea(strip, left, top, width, height, colour);
}

} // namespace glyphtint::render
