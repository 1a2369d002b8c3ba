// ContrastRatio and LegibleColour: sRGB luminance, and a mix toward white or black found
// by bisection.
#include "render/Contrast.h"

#include <algorithm>
#include <cmath>

namespace glyphtint::render {
namespace {

double LinearChannel(std::int32_t channel)
{
    const double c = std::clamp(channel, 0, 255) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

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
    const TColourTriple white{255, 255, 255};
    const TColourTriple black{0, 0, 0};
    const std::int32_t toward = ContrastRatio(white, background) >= ContrastRatio(black, background) ? 255 : 0;
    if (ContrastRatio(Mixed(colour, toward, 1.0), background) < minRatio) {
        return Mixed(colour, toward, 1.0);
    }
    // The ratio grows with the share mixed in, from below minRatio at 0 to above it at 1.
    double low = 0.0;
    double high = 1.0;
    for (int step = 0; step < 40; ++step) {
        const double middle = (low + high) / 2;
        (ContrastRatio(Mixed(colour, toward, middle), background) >= minRatio ? high : low) = middle;
    }
    return Mixed(colour, toward, high);
}

} // namespace glyphtint::render
