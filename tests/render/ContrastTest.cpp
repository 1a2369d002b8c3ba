// Colours made legible on a page: every code colour takes the nearest mix that reaches the
// ratio asked for on four pages, keeps its hue, and is left alone where it already does.
#include "render/ColourCodes.h"
#include "render/Contrast.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

using glyphtint::render::ContrastRatio;
using glyphtint::render::LegibleColour;
using glyphtint::render::TColourTriple;

namespace {

// The hue in degrees, or nothing for a grey.
std::optional<double> HueOf(TColourTriple c)
{
    const int high = std::max({c.Red, c.Green, c.Blue});
    const int low = std::min({c.Red, c.Green, c.Blue});
    if (high - low < 8) {
        return std::nullopt; // too close to grey for rounding to leave a hue
    }
    const double span = high - low;
    double hue = 0;
    if (high == c.Red) {
        hue = std::fmod((c.Green - c.Blue) / span, 6.0);
    } else if (high == c.Green) {
        hue = (c.Blue - c.Red) / span + 2;
    } else {
        hue = (c.Red - c.Green) / span + 4;
    }
    return std::fmod(hue * 60 + 360, 360.0);
}

double HueDistance(double a, double b)
{
    const double d = std::fabs(a - b);
    return std::min(d, 360 - d);
}

std::int64_t Distance(TColourTriple a, TColourTriple b)
{
    const auto square = [](std::int64_t d) { return d * d; };
    return square(a.Red - b.Red) + square(a.Green - b.Green) + square(a.Blue - b.Blue);
}

// The nearest to colour of its mixes with white and with black, in steps of 1/512, that
// reaches ratio on page; nothing when none does.
std::optional<TColourTriple> NearestReachingMix(TColourTriple colour, TColourTriple page, double ratio)
{
    std::optional<TColourTriple> nearest;
    for (const int toward : {0, 255}) {
        for (int step = 0; step <= 512; ++step) {
            const auto mix = [&](int c) { return static_cast<int>(std::lround(c + (toward - c) * (step / 512.0))); };
            const TColourTriple mixed{mix(colour.Red), mix(colour.Green), mix(colour.Blue)};
            if (ContrastRatio(mixed, page) >= ratio) {
                if (!nearest || Distance(mixed, colour) < Distance(*nearest, colour)) {
                    nearest = mixed;
                }
                break;
            }
        }
    }
    return nearest;
}

} // namespace

TEST(Contrast, RatiosAreThoseOfTheWeb)
{
    EXPECT_NEAR(ContrastRatio({0, 0, 0}, {255, 255, 255}), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio({255, 255, 255}, {0, 0, 0}), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio({118, 124, 112}, {118, 124, 112}), 1.0, 1e-12);
    // #777777 on white is the usual example of a grey just under 4.5.
    EXPECT_NEAR(ContrastRatio({0x77, 0x77, 0x77}, {255, 255, 255}), 4.48, 0.01);
}

// Lightening or darkening, whichever changes the colour less; where neither reaches the
// ratio, white or black, whichever comes closer to it.
TEST(Contrast, EveryCodeColourTakesTheNearestMixInItsHueThatReachesTheRatioAndLegibleOnesStay)
{
    const TColourTriple pages[] = {{0, 0, 0}, {255, 255, 255}, {118, 124, 112}, {0x1e, 0x1e, 0x1e}};
    for (const double ratio : {3.0, 3.5, 4.5, 7.0}) {
        for (const TColourTriple page : pages) {
            for (int code = 0; code < 256; ++code) {
                TColourTriple colour;
                if (!glyphtint::render::SelectColourCode(static_cast<unsigned char>(code), colour)) {
                    continue;
                }
                const TColourTriple legible = LegibleColour(colour, page, ratio);
                SCOPED_TRACE(testing::Message() << "code " << char(code) << " at " << ratio << " on " << page.Red << ","
                                                << page.Green << "," << page.Blue);
                if (ContrastRatio(colour, page) >= ratio) {
                    EXPECT_EQ(legible, colour);
                    continue;
                }
                const std::optional<TColourTriple> nearest = NearestReachingMix(colour, page, ratio);
                if (!nearest) {
                    const TColourTriple white{255, 255, 255}, black{0, 0, 0};
                    EXPECT_EQ(legible, ContrastRatio(white, page) > ContrastRatio(black, page) ? white : black);
                    continue;
                }
                EXPECT_GE(ContrastRatio(legible, page), ratio);
                // Bisection finds a share at least as small as the test's steps.
                EXPECT_LE(Distance(legible, colour), Distance(*nearest, colour));
                const auto before = HueOf(colour);
                const auto after = HueOf(legible);
                // Higher ratios take some mixes so near white or black that rounding alone
                // moves their hue further.
                if (ratio == 3.0 && before && after) {
                    EXPECT_LE(HueDistance(*before, *after), 4.0);
                }
            }
        }
    }
    // Two that were darkened to near black on the glyph background.
    const TColourTriple glyphPage{118, 124, 112};
    EXPECT_LE(Distance(LegibleColour({230, 235, 17}, glyphPage, 3.5), {236, 240, 71}), 12);
    EXPECT_LE(Distance(LegibleColour({189, 190, 189}, glyphPage, 3.0), {215, 216, 215}), 12);
}
