// The framed export image: geometry, colours of the frame and caption, and its JPEG file.
#include "render/FramedImage.h"

#include "io/StreamError.h"
#include "raster/JPEGImage.h"
#include "render/GlyphBackground.h"
#include "render/PictureLimits.h"
#include "tests/raster/JPEGFixtures.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestArchives.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::MakeColor;
using glyphtint::raster::RedOf;
using glyphtint::render::kGlyphBackgroundColour;
using glyphtint::test::ReadFileBytes;
using glyphtint::test::ScratchFolder;
namespace fixtures = glyphtint::test::fixtures;

using namespace glyphtint::render;

namespace {

constexpr TColor kStripColour = MakeColor(200, 30, 40);

// A strip whose every pixel differs from the frame's, with a marked first column.
std::unique_ptr<TBitmap> MakeStrip(int width, int height)
{
    auto strip = std::make_unique<TBitmap>();
    strip->ResizeWidth(width);
    strip->ResizeHeight(height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            strip->SetPixelAt(x, y, x == 0 ? MakeColor(10, 20, y) : kStripColour);
        }
    }
    return strip;
}

struct CaptionMetrics {
    int width;
    int height;
};

// The caption measured as the frame measures it: in Arial at a new canvas's height.
CaptionMetrics MeasureCaption(const std::string& caption)
{
    TBitmap scratch;
    TCanvas& canvas = scratch.Canvas();
    canvas.Font.Name = "Arial";
    return {canvas.MeasureTextWidth(caption), canvas.MeasureTextHeight(caption)};
}

struct FrameCase {
    const char* name;
    int stripWidth;
    int stripHeight;
    std::string caption;
};

class FramedImageGeometry : public ::testing::TestWithParam<FrameCase> { };

} // namespace

// Every pixel of the frame is checked: the strip in its place, the caption's box, and the
// background colour everywhere else, in particular where a resize added pixels.
TEST_P(FramedImageGeometry, StripCaptionAndBackgroundTakeTheirPlaces)
{
    const FrameCase& c = GetParam();
    auto strip = MakeStrip(c.stripWidth, c.stripHeight);
    const CaptionMetrics text = MeasureCaption(c.caption);

    TPicture framed;
    ComposeFramedImage(*strip, c.caption, framed);
    const TBitmap& frame = framed.AsBitmap();

    const int w = c.stripWidth;
    const int h = c.stripHeight;
    ASSERT_EQ(frame.Width(), std::max(w + 16, text.width + 16));
    ASSERT_EQ(frame.Height(), h + text.height + 20);

    int captionInk = 0;
    for (int y = 0; y < frame.Height(); ++y) {
        for (int x = 0; x < frame.Width(); ++x) {
            const TColor pixel = frame.PixelAt(x, y);
            const bool inStrip = x >= 8 && x < w + 8 && y >= 8 && y < h + 8;
            const bool inCaption = x >= 8 && x < text.width + 8 && y >= h + 12 && y < h + text.height + 12;
            if (inStrip) {
                ASSERT_EQ(pixel, strip->PixelAt(x - 8, y - 8)) << "strip at column " << x << ", row " << y;
            } else if (inCaption) {
                // Anti-aliased white on the background: every channel at least the background's.
                ASSERT_GE(RedOf(pixel), RedOf(kGlyphBackgroundColour)) << "caption at " << x << "," << y;
                ASSERT_GE(GreenOf(pixel), GreenOf(kGlyphBackgroundColour)) << "caption at " << x << "," << y;
                ASSERT_GE(BlueOf(pixel), BlueOf(kGlyphBackgroundColour)) << "caption at " << x << "," << y;
                captionInk += RedOf(pixel) + GreenOf(pixel) + BlueOf(pixel) > 3 * 220 ? 1 : 0;
            } else {
                ASSERT_EQ(pixel, kGlyphBackgroundColour) << "frame at column " << x << ", row " << y;
            }
        }
    }
    EXPECT_EQ(captionInk > 0, !c.caption.empty()) << "near-white caption characters drawn";
}

INSTANTIATE_TEST_SUITE_P(, FramedImageGeometry,
                         ::testing::Values(FrameCase{"EmptyTextIsSixteenWide", 0, 0, ""},
                                           FrameCase{"StripWithCodedCaption", 22, 16, "^1m00"},
                                           FrameCase{"CaptionWiderThanStrip", 22, 16, std::string(60, 'W')},
                                           FrameCase{"StripWiderThanCaption", 300, 20, "ab"},
                                           FrameCase{"CaptionWithoutStrip", 0, 0, "^^ ^x"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Strips without pixels can claim any width; the frame around them is refused before it
// is made.
TEST(FramedImage, ImpossibleSizesAreRefusedAndKeepThePicture)
{
    for (int width : {1 << 30, std::numeric_limits<int>::max() - 8}) {
        TBitmap strip;
        strip.ResizeWidth(width);
        TPicture framed;
        TBitmap& before = framed.AsBitmap();
        EXPECT_THROW(ComposeFramedImage(strip, "a", framed), glyphtint::render::ETextTooLong) << width;
        EXPECT_EQ(framed.Graphic(), &before) << width;
    }
}

TEST(FramedImage, AFailedComposeLeavesTheOldPictureAsItWas)
{
    TPicture framed;
    TBitmap& old = framed.AsBitmap();
    old.ResizeWidth(3);
    old.ResizeHeight(2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            old.SetPixelAt(x, y, kStripColour);
        }
    }
    // The frame's width can be made, its height cannot.
    TBitmap strip;
    strip.ResizeHeight(1 << 29);
    EXPECT_THROW(ComposeFramedImage(strip, "a", framed), glyphtint::render::ETextTooLong);
    ASSERT_EQ(framed.Graphic(), &old);
    ASSERT_EQ(old.Width(), 3);
    ASSERT_EQ(old.Height(), 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(old.PixelAt(x, y), kStripColour) << x << "," << y;
        }
    }
}

TEST(FramedImage, ReplacesWhatThePictureHeldAndNotifiesIt)
{
    auto strip = MakeStrip(10, 16);
    TPicture framed;
    TBitmap& old = framed.AsBitmap();
    old.Canvas().Brush.Color = clWhite;
    old.ResizeWidth(500);
    old.ResizeHeight(500);
    int notifications = 0;
    framed.OnChange = [&notifications] { ++notifications; };

    ComposeFramedImage(*strip, "", framed);
    EXPECT_EQ(framed.AsBitmap().Width(), 26);
    EXPECT_EQ(framed.AsBitmap().PixelAt(25, 0), kGlyphBackgroundColour);
    EXPECT_GE(notifications, 1);
}

namespace {

class FramedImageFile : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    ScratchFolder folder_;
};

} // namespace

TEST_F(FramedImageFile, SavedFileIsBaselineJFIFOfQuality90AndDecodesToTheFrameSize)
{
    auto strip = MakeStrip(22, 16);
    TPicture framed;
    ComposeFramedImage(*strip, "^1m00", framed);
    TBitmap& frame = framed.AsBitmap();
    SaveFramedImage(frame, Path("framed.jpg"));

    const std::string bytes = ReadFileBytes(Path("framed.jpg"));
    ASSERT_GE(bytes.size(), 11u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xD8\xFF\xE0", 4));
    EXPECT_EQ(bytes.substr(6, 5), std::string("JFIF\0", 5));
    const fixtures::Header header = fixtures::ReadHeader(bytes);
    EXPECT_EQ(header.width, frame.Width());
    EXPECT_EQ(header.height, frame.Height());
    EXPECT_FALSE(header.progressive);
    EXPECT_EQ(header.components, 3);
    EXPECT_EQ(header.samplingH[0], 2);
    EXPECT_EQ(header.samplingV[0], 2);

    // The library's own quality-90 tables, from a file it wrote itself.
    const fixtures::Header reference =
        fixtures::ReadHeader(fixtures::MakeJPEG(8, 8, [](int, int) { return clBlack; }, {.quality = 90}));
    ASSERT_TRUE(header.hasQuant[0] && header.hasQuant[1]);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(header.quant[0][i], reference.quant[0][i]) << "luminance " << i;
        EXPECT_EQ(header.quant[1][i], reference.quant[1][i]) << "chrominance " << i;
    }

    TJPEGImage decoded;
    decoded.LoadJPEG(std::string_view(bytes));
    const TBitmap& pixels = decoded.Bitmap();
    ASSERT_EQ(pixels.Width(), frame.Width());
    ASSERT_EQ(pixels.Height(), frame.Height());
    const TColor corner = pixels.PixelAt(0, 0);
    EXPECT_NEAR(RedOf(corner), 118, 4);
    EXPECT_NEAR(GreenOf(corner), 124, 4);
    EXPECT_NEAR(BlueOf(corner), 112, 4);
}

// The least width that refuses a caption unmeasured is never more than the caption's
// measured width, for every printable character alone and next to every other (kerning).
TEST(FramedImage, TheCaptionsLeastWidthNeverPassesItsMeasuredWidth)
{
    std::string pairs;
    for (char first = ' '; first <= '~'; ++first) {
        for (char second = ' '; second <= '~'; ++second) {
            pairs += {first, second};
        }
        const std::string alone(50, first);
        EXPECT_LE(CaptionWidthAtLeast(alone), MeasureFramedImage(0, 0, alone).width - 2 * kFrameBorder) << first;
    }
    EXPECT_LE(CaptionWidthAtLeast(pairs), MeasureFramedImage(0, 0, pairs).width - 2 * kFrameBorder);
    EXPECT_EQ(CaptionWidthAtLeast("\x01\t\xC3\xA9~a"), 2) << "only printable ASCII counts";
}

// A pasted text of 10 000 characters gives a frame far wider than JPEG allows: saving
// reports it and neither leaves a partial file nor touches the file already there.
TEST_F(FramedImageFile, TextTooLongForJPEGFailsCleanly)
{
    const std::string text(10000, 'm');
    auto strip = MakeStrip(4, 16);
    TPicture framed;
    ComposeFramedImage(*strip, text, framed);
    TBitmap& frame = framed.AsBitmap();
    ASSERT_GT(frame.Width(), 65500);

    {
        std::ofstream(Path("framed.jpg"), std::ios::binary) << "earlier picture";
    }
    EXPECT_THROW(SaveFramedImage(frame, Path("framed.jpg")), EJPEG);
    EXPECT_THROW(SaveFramedImage(frame, Path("new.jpg")), EJPEG);
    EXPECT_EQ(ReadFileBytes(Path("framed.jpg")), "earlier picture");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.Path()), {}), 1);
}

TEST_F(FramedImageFile, UncreatableFileIsReportedWithItsPath)
{
    auto strip = MakeStrip(4, 16);
    TPicture framed;
    ComposeFramedImage(*strip, "a", framed);
    const std::string path = Path("missing/framed.jpg");
    try {
        SaveFramedImage(framed.AsBitmap(), path);
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file " + path);
    }
}
