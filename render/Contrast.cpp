// ContrastRatio and LegibleColour: sRGB luminance, and the least mix toward white or black
// that reaches a ratio, found by bisection.
#include "render/Contrast.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

namespace glyphtint::render {

double LinearChannel(std::int32_t channel)
{
    const double c = std::clamp(channel, 0, 255) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

namespace {

double RelativeLuminance(TColourTriple colour)
{
    return 0.2126 * LinearChannel(colour.Red) + 0.7152 * LinearChannel(colour.Green) +
           0.0722 * LinearChannel(colour.Blue);
}

// Mixing with white or black moves every channel by the same share of its distance, so
// the differences between channels, and with them the hue, keep their proportions.
TColourTriple Mixed(TColourTriple colour, std::int32_t toward, double share)
{
    const auto mix = [&](std::int32_t channel) {
        return static_cast<std::int32_t>(std::lround(channel + (toward - channel) * share));
    };
    return {mix(colour.Red), mix(colour.Green), mix(colour.Blue)};
}

// colour mixed with as little of toward as reaches minRatio, or nothing when even toward
// itself falls short. Unmixed, colour falls short; as the share grows the ratio may first
// fall (while the mix passes the background's luminance) and then only rises, so the
// shares that reach it run from one least share up to 1, and bisection finds that share.
std::optional<TColourTriple> LeastMixReaching(TColourTriple colour, std::int32_t toward, TColourTriple background,
                                              double minRatio)
{
    if (ContrastRatio(Mixed(colour, toward, 1.0), background) < minRatio) {
        return std::nullopt;
    }
    double low = 0.0;
    double high = 1.0;
    for (int step = 0; step < 40; ++step) {
        const double middle = (low + high) / 2;
        (ContrastRatio(Mixed(colour, toward, middle), background) >= minRatio ? high : low) = middle;
    }
    return Mixed(colour, toward, high);
}

std::int64_t Distance(TColourTriple a, TColourTriple b)
{
    const auto square = [](std::int64_t d) { return d * d; };
    return square(a.Red - b.Red) + square(a.Green - b.Green) + square(a.Blue - b.Blue);
}

} // namespace

double ContrastRatio(TColourTriple a, TColourTriple b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TColourTriple LegibleColour(TColourTriple colour, TColourTriple background, double minRatio)
{
    if (ContrastRatio(colour, background) >= minRatio) {
        return colour;
    }
    const std::optional<TColourTriple> lighter = LeastMixReaching(colour, 255, background, minRatio);
    const std::optional<TColourTriple> darker = LeastMixReaching(colour, 0, background, minRatio);
    if (lighter && darker) {
        return Distance(*lighter, colour) <= Distance(*darker, colour) ? *lighter : *darker;
    }
    if (lighter || darker) {
        return lighter ? *lighter : *darker;
    }
    const TColourTriple white{255, 255, 255};
    const TColourTriple black{0, 0, 0};
    const double whiteRatio = ContrastRatio(white, background);
    const double blackRatio = ContrastRatio(black, background);
    if (whiteRatio != blackRatio) {
        return whiteRatio > blackRatio ? white : black;
    }
    return Distance(white, colour) <= Distance(black, colour) ? white : black;
}

} // namespace glyphtint::render
