// Encoding with TJPEGImage: byte order, the quality-90 baseline JFIF file, and
// SaveJPEGFile replacing its target only with a complete new picture.
#include "raster/JPEGImage.h"
#include "render/GlyphBackground.h"

#include "JPEGFixtures.h"
#include "tests/support/FileBytes.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <jerror.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/resource.h>

using glyphtint::test::ReadFileBytes;
using glyphtint::test::ScratchFolder;

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::MakeColor;
using glyphtint::raster::RedOf;
namespace fixtures = glyphtint::test::fixtures;

namespace fs = std::filesystem;

namespace {

// The example tables of the JPEG standard (K.1 luminance, K.2 chrominance), row order.
constexpr int kLuminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr int kChrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                  24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                  99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

std::unique_ptr<TBitmap> MakeBitmap(int width, int height, TPixelFormat format, TColor colour)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->ChangeDepth(format);
    bitmap->ResizeWidth(width);
    bitmap->ResizeHeight(height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bitmap->SetPixelAt(x, y, colour);
        }
    }
    return bitmap;
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class TempFolder : public ::testing::Test {
protected:
    std::vector<std::string> Names() const { return scratch_.Names(); }

    ScratchFolder scratch_{"jpegsave"};
    fs::path folder_ = scratch_.Path();
};

} // namespace

struct ByteOrderCase {
    const char* name;
    TPixelFormat format;
    TColor colour;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ByteOrderCase& c, std::ostream* out)
{
    *out << c.name;
}

class JPEGEncodeByteOrder : public ::testing::TestWithParam<ByteOrderCase> { };

TEST_P(JPEGEncodeByteOrder, PrimarySurvivesSaveAndReload)
{
    const TColor colour = GetParam().colour;
    auto bitmap = MakeBitmap(16, 16, GetParam().format, colour);
    TJPEGImage saved;
    saved.AssignBitmap(*bitmap);
    const std::string bytes = saved.SaveToBytes();

    TJPEGImage loaded;
    loaded.LoadJPEG(bytes);
    const TBitmap& decoded = loaded.Bitmap();
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const TColor got = decoded.PixelAt(x, y);
            ASSERT_LE(std::abs(RedOf(got) - RedOf(colour)), 12) << "at column " << x << ", row " << y;
            ASSERT_LE(std::abs(GreenOf(got) - GreenOf(colour)), 12) << "at column " << x << ", row " << y;
            ASSERT_LE(std::abs(BlueOf(got) - BlueOf(colour)), 12) << "at column " << x << ", row " << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(, JPEGEncodeByteOrder,
                         ::testing::Values(ByteOrderCase{"DeviceRed", TPixelFormat::pfDevice, MakeColor(255, 0, 0)},
                                           ByteOrderCase{"DeviceBlue", TPixelFormat::pfDevice, MakeColor(0, 0, 255)},
                                           ByteOrderCase{"BGR24Red", TPixelFormat::pf24bit, MakeColor(255, 0, 0)},
                                           ByteOrderCase{"BGR24Blue", TPixelFormat::pf24bit, MakeColor(0, 0, 255)},
                                           ByteOrderCase{"PaletteRed", TPixelFormat::pf8bit, MakeColor(255, 0, 0)},
                                           ByteOrderCase{"DeviceBackground", TPixelFormat::pfDevice,
                                                         glyphtint::render::kGlyphBackgroundColour}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JPEGEncode, SavedFileIsBaselineJFIFWithTheQuality90Tables)
{
    auto bitmap = MakeBitmap(16, 20, TPixelFormat::pfDevice, MakeColor(200, 100, 50));
    TJPEGImage jpeg;
    jpeg.AssignBitmap(*bitmap);
    EXPECT_EQ(jpeg.Width(), 16);
    EXPECT_EQ(jpeg.Height(), 20);
    EXPECT_FALSE(jpeg.Empty());
    const std::string bytes = jpeg.SaveToBytes();
    EXPECT_EQ(jpeg.Data().Width, 16);
    EXPECT_EQ(jpeg.Data().Height, 20);

    ASSERT_GE(bytes.size(), 11u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xD8\xFF\xE0", 4));
    EXPECT_EQ(bytes.substr(6, 5), std::string("JFIF\0", 5));

    const fixtures::Header h = fixtures::ReadHeader(bytes);
    EXPECT_EQ(h.width, 16);
    EXPECT_EQ(h.height, 20);
    EXPECT_TRUE(h.jfif);
    EXPECT_EQ(h.densityUnit, 0);
    EXPECT_EQ(h.xDensity, 1);
    EXPECT_EQ(h.yDensity, 1);
    EXPECT_FALSE(h.progressive);
    EXPECT_EQ(h.scans, 1);
    ASSERT_EQ(h.components, 3);
    EXPECT_EQ(h.samplingH[0], 2);
    EXPECT_EQ(h.samplingV[0], 2);
    for (int c = 1; c < 3; ++c) {
        EXPECT_EQ(h.samplingH[c], 1);
        EXPECT_EQ(h.samplingV[c], 1);
    }
    ASSERT_TRUE(h.hasQuant[0] && h.hasQuant[1]);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(h.quant[0][i], std::clamp((kLuminance[i] * 20 + 50) / 100, 1, 255)) << "luminance " << i;
        EXPECT_EQ(h.quant[1][i], std::clamp((kChrominance[i] * 20 + 50) / 100, 1, 255)) << "chrominance " << i;
    }

    TJPEGImage reloaded;
    reloaded.LoadJPEG(bytes);
    EXPECT_EQ(reloaded.Bitmap().Width(), 16);
    EXPECT_EQ(reloaded.Bitmap().Height(), 20);
}

TEST(JPEGEncode, GreyAndProgressiveSettingsShapeTheFile)
{
    auto bitmap = MakeBitmap(24, 16, TPixelFormat::pfDevice, MakeColor(90, 160, 30));
    TJPEGImage jpeg;
    jpeg.Settings.GrayOutput = true;
    jpeg.Settings.ProgressiveWrite = true;
    jpeg.AssignBitmap(*bitmap);
    const std::string bytes = jpeg.SaveToBytes();
    EXPECT_TRUE(jpeg.Data().Grayscale);
    const fixtures::Header h = fixtures::ReadHeader(bytes);
    EXPECT_EQ(h.components, 1);
    EXPECT_TRUE(h.progressive);
    EXPECT_GT(h.scans, 1);
}

TEST(JPEGEncode, NothingToEncodeGivesNoBytes)
{
    TJPEGImage jpeg;
    EXPECT_TRUE(jpeg.SaveToBytes().empty());
    TBitmap zeroHigh;
    zeroHigh.ResizeWidth(10);
    jpeg.AssignBitmap(zeroHigh);
    EXPECT_TRUE(jpeg.SaveToBytes().empty());
}

TEST(JPEGEncode, SidesUpTo65500PixelsEncode)
{
    for (const int width : {65500, 65501}) {
        TJPEGImage jpeg;
        jpeg.AssignBitmap(*MakeBitmap(width, 8, TPixelFormat::pfDevice, clWhite));
        if (width <= 65500) {
            EXPECT_EQ(fixtures::ReadHeader(jpeg.SaveToBytes()).width, width);
            continue;
        }
        try {
            jpeg.SaveToBytes();
            ADD_FAILURE() << "encoded " << width << " columns";
        } catch (const EJPEG& e) {
            EXPECT_EQ(e.Code(), JERR_IMAGE_TOO_BIG);
        }
    }
}

TEST(JPEGEncode, AssignBitmapCopiesAndLeavesTheSourceAlone)
{
    auto bitmap = MakeBitmap(5, 4, TPixelFormat::pfDevice, clWhite);
    TJPEGImage jpeg;
    jpeg.LoadJPEG(fixtures::MakeJPEG(8, 8, [](int, int) { return clBlack; }));
    jpeg.AssignBitmap(*bitmap);
    bitmap->SetPixelAt(0, 0, clBlack);
    EXPECT_FALSE(jpeg.Data().Bytes.has_value());
    EXPECT_EQ(jpeg.Width(), 5);
    EXPECT_EQ(jpeg.Bitmap().PixelAt(0, 0), clWhite);
    EXPECT_EQ(bitmap->PixelAt(1, 0), clWhite);
}

using JPEGSaveFile = TempFolder;

TEST_F(JPEGSaveFile, ReplacesTheTargetAndLeavesNoTemporaryFile)
{
    const fs::path target = folder_ / "picture.jpg";
    WriteFile(target, "old picture");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::path link = folder_ / "link.jpg";
    fs::create_symlink(target, link);

    auto bitmap = MakeBitmap(16, 20, TPixelFormat::pfDevice, MakeColor(255, 0, 0));
    TJPEGImage jpeg;
    jpeg.AssignBitmap(*bitmap);
    jpeg.SaveJPEGFile(link.string());

    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(target), jpeg.SaveToBytes());
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Names(), (std::vector<std::string>{"link.jpg", "picture.jpg"}));
}

TEST_F(JPEGSaveFile, FailedEncodeKeepsTheOldFile)
{
    const fs::path target = folder_ / "picture.jpg";
    WriteFile(target, "old picture");
    // Wider than any JPEG can be.
    auto bitmap = MakeBitmap(70000, 1, TPixelFormat::pfDevice, clWhite);
    TJPEGImage jpeg;
    jpeg.AssignBitmap(*bitmap);
    try {
        jpeg.SaveJPEGFile(target.string());
        ADD_FAILURE() << "saved a picture too wide for JPEG";
    } catch (const EJPEG& e) {
        EXPECT_EQ(e.Code(), JERR_IMAGE_TOO_BIG);
    }
    EXPECT_EQ(ReadFileBytes(target), "old picture");
    EXPECT_EQ(Names(), std::vector<std::string>{"picture.jpg"});
}

TEST_F(JPEGSaveFile, ShortWriteIsReportedAndKeepsTheOldFile)
{
    const fs::path target = folder_ / "picture.jpg";
    WriteFile(target, "old picture");
    auto bitmap = MakeBitmap(64, 64, TPixelFormat::pfDevice, MakeColor(10, 200, 90));
    TJPEGImage jpeg;
    jpeg.AssignBitmap(*bitmap);
    ASSERT_GT(jpeg.SaveToBytes().size(), 300u);

    // A file size limit makes the write stop short, as a full disk would.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 200;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool reported = false;
    try {
        jpeg.SaveJPEGFile(target.string());
    } catch (const EWriteError& e) {
        reported = true;
        EXPECT_EQ(std::string(e.what()), "Cannot write file " + target.string());
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(reported);
    EXPECT_EQ(ReadFileBytes(target), "old picture");
    EXPECT_EQ(Names(), std::vector<std::string>{"picture.jpg"});
}

TEST_F(JPEGSaveFile, UncreatableTargetsRaiseCannotCreateFile)
{
    WriteFile(folder_ / "plain", "x");
    fs::create_directory(folder_ / "folder");
    const std::vector<fs::path> targets = {folder_ / "missing" / "picture.jpg", folder_ / "plain" / "picture.jpg",
                                           folder_ / "folder"};
    auto bitmap = MakeBitmap(8, 8, TPixelFormat::pfDevice, clWhite);
    TJPEGImage jpeg;
    jpeg.AssignBitmap(*bitmap);
    for (const fs::path& target : targets) {
        try {
            jpeg.SaveJPEGFile(target.string());
            ADD_FAILURE() << "created " << target;
        } catch (const EFCreateError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + target.string());
        }
    }
    // Nothing was encoded on the way: the failure comes before the picture is touched.
    EXPECT_FALSE(jpeg.Data().Bytes.has_value());
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "plain"}));
}
