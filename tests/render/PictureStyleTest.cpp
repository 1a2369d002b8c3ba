// Strips fitted to a page: the blends onto another background or none, legible tints
// and scaling, against the tint's own factor.
#include "render/GlyphBackground.h"
#include "render/PictureStyle.h"
#include "render/Tint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::MakeColor;
using glyphtint::raster::RedOf;
using namespace glyphtint::render;

namespace {

// A row of pixels of the given channel means (grey), at display depth.
std::unique_ptr<TBitmap> GreyRow(const std::vector<int>& means)
{
    auto row = std::make_unique<TBitmap>();
    row->ResizeWidth(static_cast<int>(means.size()));
    row->ResizeHeight(1);
    for (std::size_t x = 0; x < means.size(); ++x) {
        row->Canvas().WritePixel(static_cast<int>(x), 0, MakeColor(means[x], means[x], means[x]));
    }
    return row;
}

} // namespace

// White, a mid grey and the faintest pixel the tint changes; a pixel it leaves alone.
TEST(PictureStyle, TransparentAlphaIsTheBlendFactorAndCompositesBackToTheGlyphPicture)
{
    struct Case {
        int mean;
        int alpha;
    };
    const Case cases[] = {{255, 255}, {186, 127}, {119, 2}, {118, 0}};
    for (const TColourTriple tint : {TColourTriple{255, 0, 0}, TColourTriple{0, 0, 0}, TColourTriple{51, 153, 255}}) {
        std::vector<int> means;
        for (const Case& c : cases) {
            means.push_back(c.mean);
        }
        const auto bitmap = GreyRow(means);
        TBitmap& row = *bitmap;
        TintBitmapAreaOnto(row, 0, 0, row.Width(), 1, tint, {TintBackground::Kind::Transparent, {}});
        for (std::size_t x = 0; x < std::size(cases); ++x) {
            const std::uint8_t* p = row.ScanLine(0) + x * 4;
            EXPECT_EQ(p[3], cases[x].alpha) << cases[x].mean;
            EXPECT_EQ(TintAlpha(cases[x].mean), cases[x].alpha);
            if (cases[x].alpha == 0) {
                EXPECT_EQ(p[0] | p[1] | p[2], 0) << "untouched pixels are fully transparent";
                continue;
            }
            EXPECT_EQ(MakeColor(p[0], p[1], p[2]), MakeColor(tint.Red, tint.Green, tint.Blue));
            // Over the glyph background: the glyph picture's pixel within one step.
            const TColor glyph = TintedColour(cases[x].mean, tint);
            const int background[3] = {RedOf(kGlyphBackgroundColour), GreenOf(kGlyphBackgroundColour),
                                       BlueOf(kGlyphBackgroundColour)};
            const int expected[3] = {RedOf(glyph), GreenOf(glyph), BlueOf(glyph)};
            for (int channel = 0; channel < 3; ++channel) {
                const double over = (p[channel] * p[3] + background[channel] * (255 - p[3])) / 255.0;
                EXPECT_LE(std::abs(std::lround(over) - expected[channel]), 1)
                    << "mean " << cases[x].mean << " channel " << channel;
            }
        }
    }
}

TEST(PictureStyle, AColourBackgroundTakesTheBlendAndTheUntouchedPixels)
{
    const TColourTriple page{30, 30, 30};
    const TColourTriple tint{255, 0, 0};
    const auto bitmap = GreyRow({255, 186, 119, 118, 40});
    TBitmap& row = *bitmap;
    TintBitmapAreaOnto(row, 0, 0, row.Width(), 1, tint, {TintBackground::Kind::Colour, page});
    EXPECT_EQ(row.PixelAt(0, 0), MakeColor(255, 0, 0));
    // Factor 68/137 of the way from the page to the tint.
    EXPECT_EQ(row.PixelAt(1, 0), MakeColor(142, 15, 15));
    EXPECT_EQ(row.PixelAt(2, 0), TintedColour(119, tint, page));
    EXPECT_EQ(row.PixelAt(3, 0), MakeColor(30, 30, 30));
    EXPECT_EQ(row.PixelAt(4, 0), MakeColor(30, 30, 30));
}

TEST(PictureStyle, ScalingMakesEveryPixelAnExactBlockAlphaIncluded)
{
    TBitmap source;
    source.ResizeWidth(3);
    source.ResizeHeight(2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const std::uint8_t pixel[4] = {static_cast<std::uint8_t>(x * 80), static_cast<std::uint8_t>(y * 90), 7,
                                           static_cast<std::uint8_t>(10 + x + 3 * y)};
            std::memcpy(source.ScanLine(y) + x * 4, pixel, 4);
        }
    }
    for (const int scale : {1, 2, 3, 8}) {
        TBitmap scaled;
        ScaleBitmap(source, scale, scaled);
        ASSERT_EQ(scaled.Width(), 3 * scale);
        ASSERT_EQ(scaled.Height(), 2 * scale);
        for (int y = 0; y < scaled.Height(); ++y) {
            for (int x = 0; x < scaled.Width(); ++x) {
                EXPECT_EQ(std::memcmp(scaled.ScanLine(y) + x * 4, source.ScanLine(y / scale) + (x / scale) * 4, 4), 0)
                    << "scale " << scale << " at " << x << "," << y;
            }
        }
    }
}

TEST(PictureStyle, AdjustedCodesAreThoseBelowTheRatioOnTheBackground)
{
    PictureStyle dark;
    dark.background = StripBackground::Colour;
    dark.backgroundColour = {0x1e, 0x1e, 0x1e};
    const std::string text = "^0Dark ^4Blue ^1Red";
    EXPECT_TRUE(AdjustedCodes(text, dark).empty()) << "nothing without a minimum contrast";
    dark.minContrast = 3;
    EXPECT_EQ(AdjustedCodes(text, dark), (std::vector<std::string>{"0", "4"}));
    // Each code once; a doubled caret draws a caret, and the code after it counts; text
    // before any code is in the colour of '7'.
    EXPECT_EQ(AdjustedCodes("^0a^0b^^4c", dark), (std::vector<std::string>{"0", "4"}));
    PictureStyle light;
    light.background = StripBackground::Transparent;
    light.page = TColourTriple{255, 255, 255};
    light.minContrast = 3;
    EXPECT_EQ(AdjustedCodes("plain ^0dark", light), (std::vector<std::string>{"7"}));
    EXPECT_EQ(StyledTint({0, 0, 0}, light), (TColourTriple{0, 0, 0}));
}
