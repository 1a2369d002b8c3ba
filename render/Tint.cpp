// Glyph tinting, straight on the bitmap's pixel rows with a table per call.
#include "render/Tint.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

constexpr int kTintSpan = 255 - kTintThreshold; // 137
constexpr int kBackground[3] = {RedOf(kGlyphBackgroundColour), GreenOf(kGlyphBackgroundColour),
                                BlueOf(kGlyphBackgroundColour)};

int BlendChannel(float factor, int background, int tint)
{
    const double value = (1.0 - static_cast<double>(factor)) * background + static_cast<double>(factor) * tint;
    // lrint rounds halves to the even neighbour in the default rounding mode.
    const long rounded = std::lrint(value);
    return static_cast<int>(std::min<long>(std::max<long>(rounded, 0), 255));
}

} // namespace

TColor TintedColour(int mean, TColourTriple colour)
{
    const int k = mean - kTintThreshold;
    const float factor = static_cast<float>(k) / static_cast<float>(kTintSpan);
    return MakeColor(BlendChannel(factor, kBackground[0], colour.Red),
                     BlendChannel(factor, kBackground[1], colour.Green),
                     BlendChannel(factor, kBackground[2], colour.Blue));
}

void TintBitmapArea(TBitmap& bitmap, int left, int top, int width, int height, TColourTriple colour)
{
    if (height <= 0 || width <= 0 || bitmap.Empty())
        return;
    // Pixels outside the bitmap can neither be read nor written: clip to it.
    const int x0 = std::max(left, 0);
    const int y0 = std::max(top, 0);
    const int x1 = static_cast<int>(std::min<std::int64_t>(std::int64_t{left} + width, bitmap.Width()));
    const int y1 = static_cast<int>(std::min<std::int64_t>(std::int64_t{top} + height, bitmap.Height()));
    if (x0 >= x1 || y0 >= y1)
        return;

    if (bitmap.PixelFormat() != TPixelFormat::pfDevice) {
        TCanvas& canvas = bitmap.Canvas();
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const TColor p = canvas.ReadPixel(x, y);
                const int mean = (RedOf(p) + GreenOf(p) + BlueOf(p)) / 3;
                if (mean > kTintThreshold)
                    canvas.WritePixel(x, y, TintedColour(mean, colour));
            }
        return;
    }

    // Indexed by the channel sum (0..765), so the division for the mean happens once
    // per sum rather than once per pixel. A pixel becomes (pixel & keep) | tinted:
    // dark sums keep every bit, bright ones take the tinted value. No branch per pixel,
    // since glyph edges make bright and dark pixels alternate unpredictably.
    struct SumEntry {
        std::uint32_t keep;
        std::uint32_t tinted;
    };
    std::array<SumEntry, 766> bySum;
    for (int sum = 0; sum < 766; ++sum) {
        const int mean = sum / 3;
        bySum[sum] = mean > kTintThreshold ? SumEntry{0, TintedColour(mean, colour)} : SumEntry{~0u, 0};
    }

    // Device pixels are colour values in memory order red, green, blue, 0.
    static_assert(std::endian::native == std::endian::little);
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* p = bitmap.ScanLine(y) + static_cast<std::size_t>(x0) * 4;
        for (int x = x0; x < x1; ++x, p += 4) {
            std::uint32_t pixel;
            std::memcpy(&pixel, p, 4);
            const SumEntry& entry = bySum[p[0] + p[1] + p[2]];
            pixel = (pixel & entry.keep) | entry.tinted;
            std::memcpy(p, &pixel, 4);
        }
    }
    bitmap.NotifyChanged();
}

void TintGlyphArea(TPicture& target, int left, int top, int width, int height, TColourTriple colour)
{
    TBitmap& strip = target.AsBitmap();
    TintBitmapArea(strip, left, top, width, height, colour);
}
