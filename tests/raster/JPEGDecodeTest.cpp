// Loading and decoding with TJPEGImage: header at load, decoding on first draw, errors.
#include "raster/JPEGImage.h"

#include "JPEGFixtures.h"

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <jerror.h>

#include <cstdlib>
#include <set>
#include <sstream>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::MakeColor;
using glyphtint::raster::RedOf;
namespace fixtures = glyphtint::test::fixtures;
using fixtures::Gradient;

namespace {

TColor Grey(int x, int y)
{
    const int v = 30 + x * 5 + y * 2;
    return MakeColor(v, v, v);
}

std::unique_ptr<TBitmap> MakeTarget(int width, int height, TColor fill)
{
    auto target = std::make_unique<TBitmap>();
    target->Canvas().Brush.Color = fill;
    target->ResizeWidth(width);
    target->ResizeHeight(height);
    return target;
}

int Distance(TColor a, TColor b)
{
    return std::max(
        {std::abs(RedOf(a) - RedOf(b)), std::abs(GreenOf(a) - GreenOf(b)), std::abs(BlueOf(a) - BlueOf(b))});
}

void ExpectClose(const TBitmap& bitmap, int left, int top, const std::function<TColor(int, int)>& expected, int width,
                 int height, int slack)
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            ASSERT_LE(Distance(bitmap.PixelAt(left + x, top + y), expected(x, y)), slack)
                << "at column " << x << ", row " << y;
        }
    }
}

int ErrorCodeOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EJPEG& e) {
        EXPECT_EQ(std::string(e.what()), "JPEG error #" + std::to_string(e.Code()));
        return e.Code();
    }
    return -1;
}

} // namespace

TEST(JPEGLoad, ZeroBytesLoadAsAnEmptyStreamThatFailsToDraw)
{
    TJPEGImage jpeg;
    EXPECT_TRUE(jpeg.Empty());
    jpeg.LoadJPEG(std::string_view());
    EXPECT_EQ(jpeg.Width(), 0);
    EXPECT_EQ(jpeg.Height(), 0);
    EXPECT_FALSE(jpeg.Empty());

    auto target = MakeTarget(4, 4, clBlack);
    EXPECT_EQ(ErrorCodeOf([&] { target->Canvas().DrawGraphic(0, 0, &jpeg); }), JERR_INPUT_EMPTY);
    EXPECT_FALSE(jpeg.IsDecoded());
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            ASSERT_EQ(target->PixelAt(x, y), clBlack);
        }
    }
}

struct LoadFailure {
    const char* name;
    std::string bytes;
    int code;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const LoadFailure& c, std::ostream* out)
{
    *out << c.name;
}

class JPEGLoadFailure : public ::testing::TestWithParam<LoadFailure> { };

TEST_P(JPEGLoadFailure, RaisesTheLibraryCodeAtLoad)
{
    TJPEGImage jpeg;
    EXPECT_EQ(ErrorCodeOf([&] { jpeg.LoadJPEG(GetParam().bytes); }), GetParam().code);
    EXPECT_EQ(jpeg.Width(), 0);
    EXPECT_EQ(jpeg.Height(), 0);
    // The bytes stay loaded, so drawing tries again and fails the same way.
    auto target = MakeTarget(2, 2, clBlack);
    EXPECT_EQ(ErrorCodeOf([&] { target->Canvas().DrawGraphic(0, 0, &jpeg); }), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(, JPEGLoadFailure,
                         ::testing::Values(LoadFailure{"NotAJPEG", "GIF89a not a jpeg", JERR_NO_SOI},
                                           LoadFailure{"OneByte", std::string(1, '\xFF'), JERR_NO_SOI},
                                           LoadFailure{"TablesOnly", fixtures::MakeTablesOnly(), JERR_NO_IMAGE},
                                           LoadFailure{"MarkerOnly", std::string("\xFF\xD8", 2), JERR_NO_IMAGE}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JPEGLoad, HeaderIsReadAtLoadAndDecodingWaitsForTheFirstDraw)
{
    const std::string bytes = fixtures::MakeJPEG(40, 24, Gradient);
    // Every byte from the stream's position to its end is taken.
    std::istringstream stream("junk" + bytes);
    stream.seekg(4);
    TJPEGImage jpeg;
    jpeg.LoadJPEG(stream);
    EXPECT_EQ(jpeg.Width(), 40);
    EXPECT_EQ(jpeg.Height(), 24);
    EXPECT_FALSE(jpeg.Data().Grayscale);
    EXPECT_FALSE(jpeg.Settings.ProgressiveWrite);
    EXPECT_FALSE(jpeg.IsDecoded());

    auto target = MakeTarget(50, 30, clBlack);
    target->Canvas().DrawGraphic(5, 3, &jpeg);
    ASSERT_TRUE(jpeg.IsDecoded());
    const TBitmap* decoded = &jpeg.Bitmap();
    EXPECT_EQ(decoded->PixelFormat(), TPixelFormat::pf24bit);
    ExpectClose(*target, 5, 3, Gradient, 40, 24, 6);
    EXPECT_EQ(target->PixelAt(4, 3), clBlack);
    EXPECT_EQ(target->PixelAt(45, 26), clBlack);

    // A second draw reuses the decoded bitmap.
    target->Canvas().DrawGraphic(0, 0, &jpeg);
    EXPECT_EQ(&jpeg.Bitmap(), decoded);

    // Loading again discards it.
    jpeg.LoadJPEG(fixtures::MakeJPEG(8, 9, Gradient));
    EXPECT_FALSE(jpeg.IsDecoded());
    EXPECT_EQ(jpeg.Width(), 8);
    EXPECT_EQ(jpeg.Height(), 9);
}

TEST(JPEGDecode, TruncatedFileDecodesItsTopAsTheWholeFileDoes)
{
    const auto tall = [](int x, int y) { return Gradient(x, y / 4); };
    const std::string whole = fixtures::MakeJPEG(64, 128, tall);
    TJPEGImage full;
    full.LoadJPEG(whole);
    TJPEGImage cut;
    cut.LoadJPEG(std::string_view(whole).substr(0, whole.size() * 3 / 4));
    EXPECT_EQ(cut.Width(), 64);
    EXPECT_EQ(cut.Height(), 128);
    const TBitmap& a = full.Bitmap();
    const TBitmap& b = cut.Bitmap();
    ASSERT_EQ(b.Width(), 64);
    ASSERT_EQ(b.Height(), 128);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 64; ++x) {
            ASSERT_EQ(a.PixelAt(x, y), b.PixelAt(x, y)) << "at column " << x << ", row " << y;
        }
    }
    bool bottomDiffers = false;
    for (int x = 0; x < 64; ++x) {
        bottomDiffers = bottomDiffers || a.PixelAt(x, 127) != b.PixelAt(x, 127);
    }
    EXPECT_TRUE(bottomDiffers) << "the cut did not reach the picture data";
}

TEST(JPEGDecode, GreyscaleFileGoesThroughThe236LevelQuantiser)
{
    TJPEGImage jpeg;
    jpeg.LoadJPEG(fixtures::MakeJPEG(48, 32, Grey, {fixtures::Storage::Grayscale}));
    EXPECT_TRUE(jpeg.Data().Grayscale);
    const TBitmap& bitmap = jpeg.Bitmap();
    ASSERT_EQ(bitmap.PixelFormat(), TPixelFormat::pf8bit);
    ASSERT_EQ(bitmap.Palette().size(), 236u);
    for (int j = 0; j < 236; ++j) {
        const auto v = static_cast<std::uint8_t>((j * 255 + 117) / 235);
        ASSERT_EQ(bitmap.Palette()[j], (TPaletteEntry{v, v, v})) << "level " << j;
    }
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 48; ++x) {
            ASSERT_LT(bitmap.ScanLine(y)[x], 236) << "at column " << x << ", row " << y;
        }
    }
    ExpectClose(bitmap, 0, 0, Grey, 48, 32, 7);
}

TEST(JPEGDecode, FlatGreyBetweenTwoLevelsIsSpreadByErrorDiffusion)
{
    // 134 lies between level 123 (133) and level 124 (135): both must occur.
    TJPEGImage jpeg;
    jpeg.LoadJPEG(fixtures::MakeJPEG(32, 32, [](int, int) { return MakeColor(134, 134, 134); },
                                     {fixtures::Storage::Grayscale, 100}));
    const TBitmap& bitmap = jpeg.Bitmap();
    std::set<int> indices;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            indices.insert(bitmap.ScanLine(y)[x]);
        }
    }
    EXPECT_EQ(indices, (std::set<int>{123, 124}));
}

struct TrueColourCase {
    const char* name;
    fixtures::Storage storage;
    TColor colour;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const TrueColourCase& c, std::ostream* out)
{
    *out << c.name;
}

class JPEGTrueColours : public ::testing::TestWithParam<TrueColourCase> { };

// Stored RGB (Adobe transform 0) must not come out with red and blue exchanged.
TEST_P(JPEGTrueColours, PrimaryKeepsItsChannel)
{
    const TColor colour = GetParam().colour;
    const auto flat = [colour](int, int) { return colour; };
    const std::string bytes = fixtures::MakeJPEG(16, 16, flat, {GetParam().storage, 95});
    ASSERT_EQ(fixtures::ReadHeader(bytes).adobe, GetParam().storage == fixtures::Storage::AdobeRGB);
    TJPEGImage jpeg;
    jpeg.LoadJPEG(bytes);
    auto target = MakeTarget(16, 16, clBlack);
    target->Canvas().DrawGraphic(0, 0, &jpeg);
    ExpectClose(*target, 0, 0, flat, 16, 16, 4);
}

INSTANTIATE_TEST_SUITE_P(
    , JPEGTrueColours,
    ::testing::Values(TrueColourCase{"YCbCrRed", fixtures::Storage::YCbCr, MakeColor(255, 0, 0)},
                      TrueColourCase{"YCbCrBlue", fixtures::Storage::YCbCr, MakeColor(0, 0, 255)},
                      TrueColourCase{"AdobeRed", fixtures::Storage::AdobeRGB, MakeColor(255, 0, 0)},
                      TrueColourCase{"AdobeBlue", fixtures::Storage::AdobeRGB, MakeColor(0, 0, 255)},
                      TrueColourCase{"AdobeOrange", fixtures::Storage::AdobeRGB, MakeColor(250, 120, 10)}),
    [](const auto& info) { return std::string(info.param.name); });

struct SettingsCase {
    const char* name;
    std::function<void(TJPEGSettings&)> change;
    int width;
    int height;
    TPixelFormat format;
    int slack; // against the gradient at full size; -1 skips the comparison
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const SettingsCase& c, std::ostream* out)
{
    *out << c.name;
}

class JPEGDecodeSettings : public ::testing::TestWithParam<SettingsCase> { };

TEST_P(JPEGDecodeSettings, ShapeTheDecodedBitmap)
{
    const SettingsCase& c = GetParam();
    TJPEGImage jpeg;
    c.change(jpeg.Settings);
    jpeg.LoadJPEG(fixtures::MakeJPEG(41, 27, Gradient));
    EXPECT_EQ(jpeg.Width(), c.width);
    EXPECT_EQ(jpeg.Height(), c.height);
    const TBitmap& bitmap = jpeg.Bitmap();
    EXPECT_EQ(bitmap.Width(), c.width);
    EXPECT_EQ(bitmap.Height(), c.height);
    EXPECT_EQ(bitmap.PixelFormat(), c.format);
    if (c.format == TPixelFormat::pf8bit) {
        EXPECT_LE(bitmap.Palette().size(), 236u);
        for (int y = 0; y < bitmap.Height(); ++y) {
            for (int x = 0; x < bitmap.Width(); ++x) {
                ASSERT_LT(bitmap.ScanLine(y)[x], bitmap.Palette().size());
            }
        }
    }
    if (c.slack >= 0) {
        ExpectClose(bitmap, 0, 0, Gradient, c.width, c.height, c.slack);
    }
}

INSTANTIATE_TEST_SUITE_P(
    , JPEGDecodeSettings,
    ::testing::Values(
        SettingsCase{"Defaults", [](TJPEGSettings&) {}, 41, 27, TPixelFormat::pf24bit, 6},
        SettingsCase{"BestSpeed", [](TJPEGSettings& s) { s.SpeedMode = TJPEGPerformance::jpBestSpeed; }, 41, 27,
                     TPixelFormat::pf24bit, 8},
        SettingsCase{"NoBlockSmoothing", [](TJPEGSettings& s) { s.BlockSmoothing = false; }, 41, 27,
                     TPixelFormat::pf24bit, 6},
        SettingsCase{"EightBitColour", [](TJPEGSettings& s) { s.OutputDepth = TJPEGPixelFormat::jf8Bit; }, 41, 27,
                     TPixelFormat::pf8bit, 24},
        SettingsCase{"EightBitFast",
                     [](TJPEGSettings& s) {
                         s.OutputDepth = TJPEGPixelFormat::jf8Bit;
                         s.SpeedMode = TJPEGPerformance::jpBestSpeed;
                     },
                     41, 27, TPixelFormat::pf8bit, 64},
        SettingsCase{"GreyOutput", [](TJPEGSettings& s) { s.GrayOutput = true; }, 41, 27, TPixelFormat::pf8bit, -1},
        SettingsCase{"Half", [](TJPEGSettings& s) { s.ScaleShift = 1; }, 21, 14, TPixelFormat::pf24bit, -1},
        SettingsCase{"Eighth", [](TJPEGSettings& s) { s.ScaleShift = 3; }, 6, 4, TPixelFormat::pf24bit, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JPEGDecode, IncrementalDisplayShowsEachScanAndEndsWithTheFullPicture)
{
    const std::string bytes = fixtures::MakeJPEG(40, 32, Gradient, {fixtures::Storage::YCbCr, 90, true});
    const int scans = fixtures::ReadHeader(bytes).scans;
    ASSERT_GT(scans, 1);

    TJPEGImage plain;
    plain.LoadJPEG(bytes);
    EXPECT_TRUE(plain.Settings.ProgressiveWrite);

    TJPEGImage incremental;
    incremental.Settings.IncrementalDisplay = true;
    int changes = 0;
    incremental.OnChange = [&changes] { ++changes; };
    incremental.LoadJPEG(bytes);
    changes = 0;
    const TBitmap& shown = incremental.Bitmap();
    EXPECT_GT(changes, 1);
    EXPECT_LE(changes, scans);
    const TBitmap& reference = plain.Bitmap();
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(shown.PixelAt(x, y), reference.PixelAt(x, y)) << "at column " << x << ", row " << y;
        }
    }
}

TEST(JPEGDecode, FourComponentFileFailsWithoutTouchingTheTarget)
{
    TJPEGImage jpeg;
    jpeg.LoadJPEG(fixtures::MakeJPEG(16, 8, Gradient, {fixtures::Storage::CMYK}));
    EXPECT_EQ(jpeg.Width(), 16);
    auto target = MakeTarget(20, 10, clBlack);
    EXPECT_EQ(ErrorCodeOf([&] { target->Canvas().DrawGraphic(0, 0, &jpeg); }), JERR_CONVERSION_NOTIMPL);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) {
            ASSERT_EQ(target->PixelAt(x, y), clBlack);
        }
    }
}

TEST(JPEGImage, SizeChangesAreRefused)
{
    TJPEGImage jpeg;
    jpeg.LoadJPEG(fixtures::MakeJPEG(8, 8, Gradient));
    for (auto set : {&TJPEGImage::SetWidth, &TJPEGImage::SetHeight}) {
        try {
            (jpeg.*set)(4);
            ADD_FAILURE() << "size change accepted";
        } catch (const EInvalidGraphicOperation& e) {
            EXPECT_STREQ(e.what(), "Cannot change the size of a JPEG image");
        }
    }
    EXPECT_EQ(jpeg.Width(), 8);
}
