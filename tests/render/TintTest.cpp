// Glyph tinting against a plain per-pixel version of the blend.
#include "render/Tint.h"
#include "tests/support/TintOracle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using glyphtint::test::OracleTint;

using glyphtint::raster::MakeColor;
using glyphtint::raster::RedOf;
using glyphtint::render::TColourTriple;
using glyphtint::render::TintBitmapArea;
using glyphtint::render::TintedColour;
using glyphtint::render::TintGlyphArea;

namespace {

std::unique_ptr<TBitmap> OnePixel(TColor pixel)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->ResizeWidth(1);
    bitmap->ResizeHeight(1);
    bitmap->Canvas().WritePixel(0, 0, pixel);
    return bitmap;
}

struct WorkedExample {
    int r, g, b;
    TColourTriple tint;
    int outR, outG, outB;
};

class TintExamples : public ::testing::TestWithParam<WorkedExample> { };

} // namespace

TEST_P(TintExamples, MatchWorkedArithmetic)
{
    const WorkedExample& e = GetParam();
    auto bitmap = OnePixel(MakeColor(e.r, e.g, e.b));
    TintBitmapArea(*bitmap, 0, 0, 1, 1, e.tint);
    EXPECT_EQ(bitmap->PixelAt(0, 0), MakeColor(e.outR, e.outG, e.outB))
        << "pixel (" << e.r << ", " << e.g << ", " << e.b << ")";
}

INSTANTIATE_TEST_SUITE_P(Examples, TintExamples,
                         ::testing::Values(WorkedExample{255, 255, 255, {255, 4, 8}, 255, 4, 8},
                                           WorkedExample{200, 200, 200, {255, 4, 8}, 200, 52, 50},
                                           WorkedExample{119, 119, 119, {255, 4, 8}, 119, 123, 111},
                                           WorkedExample{130, 120, 108, {255, 4, 8}, 119, 123, 111},
                                           WorkedExample{118, 124, 112, {255, 4, 8}, 118, 124, 112},
                                           WorkedExample{180, 170, 160, {0, 255, 0}, 73, 174, 69},
                                           WorkedExample{200, 200, 200, {255, 255, 255}, 200, 202, 198},
                                           WorkedExample{255, 0, 0, {0, 255, 0}, 255, 0, 0}));

TEST(Tint, EqualsThePerPixelVersionForEveryMeanAndManyTints)
{
    // One pixel per channel sum 0..765, tinted with random colours and the extremes.
    std::mt19937 random(1234);
    std::vector<TColourTriple> tints = {{0, 0, 0}, {255, 255, 255}, {255, 0, 255}, {0, 255, 0}};
    for (int i = 0; i < 60; ++i) {
        tints.push_back({int(random() % 256), int(random() % 256), int(random() % 256)});
    }

    for (const TColourTriple& tint : tints) {
        TBitmap fast;
        fast.ResizeWidth(766);
        fast.ResizeHeight(2);
        for (int sum = 0; sum < 766; ++sum) {
            const int r = std::min(sum, 255), g = std::min(std::max(sum - 255, 0), 255);
            const int b = sum - r - g;
            fast.Canvas().WritePixel(sum, 0, MakeColor(r, g, b));
            fast.Canvas().WritePixel(sum, 1, MakeColor(int(random() % 256), int(random() % 256), int(random() % 256)));
        }
        auto oracle = fast.Clone();
        TintBitmapArea(fast, 0, 0, 766, 2, tint);
        OracleTint(*oracle, 0, 0, 766, 2, tint);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 766; ++x) {
                ASSERT_EQ(fast.PixelAt(x, y), oracle->PixelAt(x, y))
                    << "column " << x << ", row " << y << ", tint " << tint.Red << "," << tint.Green << ","
                    << tint.Blue;
            }
        }
    }
}

TEST(Tint, EveryMeanAndChannelValueAgreesWithTheOracle)
{
    // All 137 bright means against every tint value, in each channel position.
    TBitmap row;
    row.ResizeWidth(256);
    row.ResizeHeight(1);
    for (int mean = 119; mean <= 255; ++mean) {
        for (int t = 0; t < 256; ++t) {
            row.SetPixelAt(t, 0, MakeColor(mean, mean, mean));
        }
        for (int t = 0; t < 256; ++t) {
            const TColourTriple tint{t, 255 - t, (t * 7) & 255};
            auto oracle = row.Clone();
            OracleTint(*oracle, t, 0, 1, 1, tint);
            ASSERT_EQ(TintedColour(mean, tint), oracle->PixelAt(t, 0)) << "mean " << mean << ", tint " << t;
        }
    }
}

TEST(Tint, FullMeanLeavesExactTintAndRedFollowsMean)
{
    for (int mean = 119; mean <= 255; ++mean) {
        const TColor tinted = TintedColour(mean, {255, 17, 99});
        EXPECT_EQ(RedOf(tinted), mean) << "a red tint of 255 gives the mean as red";
    }
    EXPECT_EQ(TintedColour(255, {12, 34, 56}), MakeColor(12, 34, 56));
}

TEST(Tint, OnlyTheRectangleChanges)
{
    TBitmap strip;
    strip.ResizeWidth(30);
    strip.ResizeHeight(10);
    strip.Canvas().Brush.Color = clWhite;
    TintBitmapArea(strip, 10, 2, 12, 5, {255, 4, 8});
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 10 && x < 22 && y >= 2 && y < 7;
            ASSERT_EQ(strip.PixelAt(x, y), inside ? MakeColor(255, 4, 8) : clWhite) << x << "," << y;
        }
    }

    int notifications = 0;
    strip.OnChange = [&] { ++notifications; };
    TintBitmapArea(strip, 0, 0, 0, 10, {0, 0, 0});
    TintBitmapArea(strip, 0, 0, 30, 0, {0, 0, 0});
    TintBitmapArea(strip, 0, 0, -4, -4, {0, 0, 0});
    EXPECT_EQ(notifications, 0);
    EXPECT_EQ(strip.PixelAt(0, 0), clWhite);
}

TEST(Tint, PaletteAndDeepBitmapsAgreeWithTheOracle)
{
    for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf8bit}) {
        TBitmap bitmap;
        bitmap.ChangeDepth(format);
        if (format == TPixelFormat::pf8bit) {
            std::vector<TPaletteEntry> greys;
            for (int v = 0; v < 256; ++v) {
                greys.push_back({std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)});
            }
            bitmap.SetPalette(greys);
        }
        bitmap.ResizeWidth(256);
        bitmap.ResizeHeight(1);
        for (int x = 0; x < 256; ++x) {
            bitmap.SetPixelAt(x, 0, MakeColor(x, x, x));
        }
        auto oracle = bitmap.Clone();
        TintBitmapArea(bitmap, 0, 0, 256, 1, {230, 146, 41});
        OracleTint(*oracle, 0, 0, 256, 1, {230, 146, 41});
        for (int x = 0; x < 256; ++x) {
            ASSERT_EQ(bitmap.PixelAt(x, 0), oracle->PixelAt(x, 0)) << x;
        }
    }
}

TEST(Tint, GlyphAreaWorksOnThePicturesBitmap)
{
    TPicture picture;
    TBitmap& strip = picture.AsBitmap();
    strip.ResizeWidth(2);
    strip.ResizeHeight(1);
    TintGlyphArea(picture, 1, 0, 1, 1, {0, 255, 0});
    EXPECT_EQ(strip.PixelAt(0, 0), clWhite);
    EXPECT_EQ(strip.PixelAt(1, 0), MakeColor(0, 255, 0));
}
