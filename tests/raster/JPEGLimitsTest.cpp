// Decoding within bounds: crafted headers and scan counts cost bounded memory and time,
// while the largest legitimate pictures still decode.
#include "raster/JPEGImage.h"

#include "JPEGFixtures.h"

#include <gtest/gtest.h>

#include <jerror.h>

#include <functional>

namespace fixtures = glyphtint::test::fixtures;
using fixtures::Gradient;

namespace {

// 16 x 16, simple progression (10 scans), 4:2:0: six blocks a scan.
std::string SmallProgressive()
{
    return fixtures::MakeJPEG(16, 16, Gradient, {fixtures::Storage::YCbCr, 90, true});
}

std::string SmallBaseline()
{
    return fixtures::MakeJPEG(16, 16, Gradient);
}

enum class Outcome { Draws, RefusedAtLoad, FailsToDraw };

struct LimitCase {
    const char* name;
    std::function<std::string()> make;
    Outcome outcome;
    int width = 0; // of the decoded picture, when it draws
    int height = 0;
    bool incremental = false;
};

class JPEGDecodeLimits : public ::testing::TestWithParam<LimitCase> { };

TEST_P(JPEGDecodeLimits, BoundTheWorkBeforeDecoding)
{
    const LimitCase& c = GetParam();
    TJPEGImage jpeg;
    jpeg.Settings.IncrementalDisplay = c.incremental;
    const std::string bytes = c.make();
    if (c.outcome == Outcome::RefusedAtLoad) {
        try {
            jpeg.LoadJPEG(bytes);
            FAIL() << "loaded";
        } catch (const EOutOfResources& e) {
            EXPECT_STREQ(e.what(), "Out of system resources");
        }
        EXPECT_EQ(jpeg.Width(), 0);
        return;
    }
    jpeg.LoadJPEG(bytes);
    if (c.outcome == Outcome::FailsToDraw) {
        try {
            jpeg.Bitmap();
            FAIL() << "decoded";
        } catch (const EJPEG& e) {
            EXPECT_EQ(e.Code(), JERR_EOI_EXPECTED);
        }
        EXPECT_FALSE(jpeg.IsDecoded());
        return;
    }
    const TBitmap& bitmap = jpeg.Bitmap();
    EXPECT_EQ(bitmap.Width(), c.width);
    EXPECT_EQ(bitmap.Height(), c.height);
}

// 1024 x 1024 at 4:2:0 has 24 576 blocks a scan: 42 scans would fit the scan budget,
// but the work budget takes four scans of such a picture, or one of 131 072 pixels
// when it is arithmetic-coded.
INSTANTIATE_TEST_SUITE_P(
    , JPEGDecodeLimits,
    ::testing::Values(
        LimitCase{"ProgressiveDeclaring65500Square",
                  [] { return fixtures::WithDeclaredSize(SmallProgressive(), 65500, 65500); }, Outcome::RefusedAtLoad},
        LimitCase{"BaselineDeclaring23000Square",
                  [] { return fixtures::WithDeclaredSize(SmallBaseline(), 23000, 23000); }, Outcome::RefusedAtLoad},
        LimitCase{"OneRowPastThePixelCap", [] { return fixtures::WithDeclaredSize(SmallBaseline(), 1024, 1025); },
                  Outcome::RefusedAtLoad},
        LimitCase{"AtThePixelCap", [] { return fixtures::WithDeclaredSize(SmallBaseline(), 1024, 1024); },
                  Outcome::Draws, 1024, 1024},
        LimitCase{"WideAtThePixelCap", [] { return fixtures::WithDeclaredSize(SmallBaseline(), 16384, 64); },
                  Outcome::Draws, 16384, 64},
        LimitCase{"ProgressiveAtThePixelCap", [] { return fixtures::WithDeclaredSize(SmallProgressive(), 1024, 1024); },
                  Outcome::FailsToDraw},
        LimitCase{"ProgressiveOf400000Pixels", [] { return fixtures::WithDeclaredSize(SmallProgressive(), 640, 625); },
                  Outcome::Draws, 640, 625},
        LimitCase{"ArithmeticOfTheLargestGeneratedGlyphSize",
                  [] {
                      return fixtures::MakeJPEG(283, 283, Gradient, {fixtures::Storage::YCbCr, 95, false, true});
                  },
                  Outcome::Draws, 283, 283},
        LimitCase{"ArithmeticPastTheWorkBudget",
                  [] {
                      return fixtures::MakeJPEG(1024, 129, Gradient, {fixtures::Storage::YCbCr, 95, false, true});
                  },
                  Outcome::FailsToDraw},
        LimitCase{"ArithmeticProgressiveOfTenScans",
                  [] {
                      return fixtures::MakeJPEG(128, 128, Gradient, {fixtures::Storage::YCbCr, 95, true, true});
                  },
                  Outcome::FailsToDraw},
        LimitCase{"SmallPictureWith490Scans", [] { return fixtures::WithRepeatedLastScan(SmallProgressive(), 480); },
                  Outcome::Draws, 16, 16},
        LimitCase{"SmallPictureWith510Scans", [] { return fixtures::WithRepeatedLastScan(SmallProgressive(), 500); },
                  Outcome::FailsToDraw},
        LimitCase{"ScanBombShownIncrementally",
                  [] { return fixtures::WithRepeatedLastScan(SmallProgressive(), 20000); }, Outcome::FailsToDraw, 0, 0,
                  true},
        LimitCase{"LargePictureWith40Scans",
                  [] {
                      return fixtures::WithRepeatedLastScan(fixtures::WithDeclaredSize(SmallProgressive(), 1024, 1024),
                                                            30);
                  },
                  Outcome::FailsToDraw},
        LimitCase{"LargePictureWith50Scans",
                  [] {
                      return fixtures::WithRepeatedLastScan(fixtures::WithDeclaredSize(SmallProgressive(), 1024, 1024),
                                                            40);
                  },
                  Outcome::FailsToDraw}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
