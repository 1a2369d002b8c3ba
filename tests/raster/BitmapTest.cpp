// Resizing, drawing and pixel access of TBitmap, TCanvas and TPicture.
#include "raster/Graphics.h"
#include "render/GlyphBackground.h"

#include <gtest/gtest.h>

#include <random>

using glyphtint::raster::BlueOf;
using glyphtint::raster::MakeColor;
using glyphtint::raster::RedOf;

namespace {

using glyphtint::render::kGlyphBackgroundColour;

// Paints every pixel with a colour derived from its place, so moved pixels show.
void PaintPattern(TBitmap& bitmap)
{
    TCanvas& canvas = bitmap.Canvas();
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            canvas.WritePixel(x, y, MakeColor(x * 7 + 1, y * 11 + 2, (x + y) * 3 + 3));
        }
    }
}

TColor Pattern(int x, int y)
{
    return MakeColor(x * 7 + 1, y * 11 + 2, (x + y) * 3 + 3);
}

void ExpectArea(const TBitmap& bitmap, int left, int top, int right, int bottom, TColor colour)
{
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            ASSERT_EQ(bitmap.PixelAt(x, y), colour) << "at column " << x << ", row " << y;
        }
    }
}

std::unique_ptr<TBitmap> MakeBitmap(int width, int height)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->ResizeWidth(width);
    bitmap->ResizeHeight(height);
    return bitmap;
}

} // namespace

TEST(BitmapResize, ZeroSidesReleaseStorageAndRegrowWhite)
{
    auto bitmap = MakeBitmap(30, 16);
    PaintPattern(*bitmap);
    bitmap->ResizeWidth(0);
    EXPECT_EQ(bitmap->Width(), 0);
    EXPECT_EQ(bitmap->Height(), 16);
    EXPECT_TRUE(bitmap->Empty());
    bitmap->ResizeHeight(0);
    bitmap->ResizeWidth(10);
    EXPECT_EQ(bitmap->Width(), 10);
    EXPECT_EQ(bitmap->Height(), 0);
    EXPECT_TRUE(bitmap->Empty());
    bitmap->ResizeHeight(16);
    ASSERT_FALSE(bitmap->Empty());
    ExpectArea(*bitmap, 0, 0, 10, 16, clWhite);
}

TEST(BitmapResize, GrowKeepsPixelsAndFillsNewColumns)
{
    auto bitmap = MakeBitmap(10, 16);
    PaintPattern(*bitmap);
    bitmap->ResizeWidth(22);
    ExpectArea(*bitmap, 10, 0, 22, 16, clWhite);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(bitmap->PixelAt(x, y), Pattern(x, y));
        }
    }

    // Shrinking loses the pixels beyond the new width even though the storage may keep them.
    bitmap->ResizeWidth(5);
    bitmap->ResizeWidth(10);
    ExpectArea(*bitmap, 5, 0, 10, 16, clWhite);
    bitmap->ResizeHeight(4);
    bitmap->ResizeHeight(16);
    ExpectArea(*bitmap, 0, 4, 10, 16, clWhite);
    EXPECT_EQ(bitmap->PixelAt(4, 3), Pattern(4, 3));
}

TEST(BitmapResize, ExposedAreaTakesBrushOnlyOnceCanvasExists)
{
    auto withCanvas = MakeBitmap(10, 16);
    withCanvas->Canvas().Brush.Color = kGlyphBackgroundColour;
    withCanvas->ResizeHeight(20);
    ExpectArea(*withCanvas, 0, 16, 10, 20, MakeColor(118, 124, 112));

    auto withoutCanvas = MakeBitmap(10, 16);
    withoutCanvas->ResizeHeight(20);
    ExpectArea(*withoutCanvas, 0, 16, 10, 20, clWhite);
}

TEST(BitmapResize, CurrentValueChangesNothing)
{
    auto bitmap = MakeBitmap(10, 16);
    PaintPattern(*bitmap);
    int notifications = 0;
    bitmap->OnChange = [&] { ++notifications; };
    bitmap->ResizeWidth(10);
    bitmap->ResizeHeight(16);
    EXPECT_EQ(notifications, 0);
    EXPECT_EQ(bitmap->PixelAt(9, 15), Pattern(9, 15));
    bitmap->ResizeWidth(11);
    EXPECT_EQ(notifications, 1);
}

TEST(BitmapResize, ImpossibleSizeRaisesAndKeepsOldImage)
{
    auto bitmap = MakeBitmap(12, 8);
    PaintPattern(*bitmap);
    try {
        bitmap->ResizeWidth(200000);
        bitmap->ResizeHeight(200000);
        FAIL() << "no error for a 200000 x 200000 bitmap";
    } catch (const EOutOfResources& error) {
        EXPECT_STREQ(error.what(), "Out of system resources");
    }
    EXPECT_EQ(bitmap->Width(), 200000);
    EXPECT_EQ(bitmap->Height(), 8);
    // The width step alone fits; shrink back and the first columns are still the old ones.
    bitmap->ResizeWidth(12);
    for (int x = 0; x < 12; ++x) {
        ASSERT_EQ(bitmap->PixelAt(x, 7), Pattern(x, 7));
    }
}

TEST(BitmapResize, StripGrownGlyphByGlyphKeepsEveryGlyph)
{
    TBitmap strip;
    constexpr int kGlyphWidth = 12;
    constexpr int kSteps = 300;
    for (int step = 0; step < kSteps; ++step) {
        const int x0 = strip.Width();
        strip.ResizeWidth(x0 + kGlyphWidth);
        strip.ResizeHeight(20);
        for (int x = x0; x < x0 + kGlyphWidth; ++x) {
            strip.Canvas().WritePixel(x, 19, MakeColor(step & 255, step >> 8, 7));
        }
    }
    ASSERT_EQ(strip.Width(), kSteps * kGlyphWidth);
    for (int step = 0; step < kSteps; ++step) {
        ASSERT_EQ(strip.PixelAt(step * kGlyphWidth, 19), MakeColor(step & 255, step >> 8, 7)) << step;
        ASSERT_EQ(strip.PixelAt(step * kGlyphWidth + 5, 0), clWhite) << step;
    }
}

TEST(BitmapPixels, WrittenValuesReadBackExactly)
{
    auto bitmap = MakeBitmap(16, 16);
    TCanvas& canvas = bitmap->Canvas();
    canvas.WritePixel(3, 4, 7371894);
    EXPECT_EQ(canvas.ReadPixel(3, 4), 7371894u);

    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        const TColor value = random() & 0x00FFFFFF;
        const int x = static_cast<int>(random() % 16);
        const int y = static_cast<int>(random() % 16);
        canvas.WritePixel(x, y, value);
        ASSERT_EQ(canvas.ReadPixel(x, y), value);
    }
    EXPECT_EQ(canvas.ReadPixel(16, 0), clNone);
    EXPECT_EQ(canvas.ReadPixel(-1, 0), clNone);
    canvas.WritePixel(0, 16, clBlack); // outside: ignored, no crash
}

TEST(BitmapPixels, DepthChangeTo24BitKeepsEveryColour)
{
    auto bitmap = MakeBitmap(9, 5);
    PaintPattern(*bitmap);
    bitmap->ChangeDepth(TPixelFormat::pf24bit);
    EXPECT_EQ(bitmap->BytesPerPixel(), 3);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 9; ++x) {
            ASSERT_EQ(bitmap->PixelAt(x, y), Pattern(x, y));
        }
    }
    // The row bytes are blue, green, red.
    EXPECT_EQ(bitmap->ScanLine(0)[0], BlueOf(Pattern(0, 0)));
    EXPECT_EQ(bitmap->ScanLine(0)[2], RedOf(Pattern(0, 0)));
}

TEST(CanvasDraw, EmptyGraphicsDrawNothing)
{
    auto target = MakeBitmap(8, 8);
    int notifications = 0;
    target->OnChange = [&] { ++notifications; };
    TBitmap empty;
    auto flat = MakeBitmap(10, 0);
    target->Canvas().DrawGraphic(0, 0, &empty);
    target->Canvas().DrawGraphic(0, 0, flat.get());
    target->Canvas().DrawGraphic(0, 0, nullptr);
    EXPECT_EQ(notifications, 0);
    ExpectArea(*target, 0, 0, 8, 8, clWhite);
}

TEST(CanvasDraw, SourceCopyIsClippedAndUnscaled)
{
    auto target = MakeBitmap(30, 16);
    auto source = MakeBitmap(10, 16);
    PaintPattern(*source);
    target->Canvas().DrawGraphic(25, 0, source.get());
    ExpectArea(*target, 0, 0, 25, 16, clWhite);
    for (int y = 0; y < 16; ++y) {
        for (int x = 25; x < 30; ++x) {
            ASSERT_EQ(target->PixelAt(x, y), Pattern(x - 25, y));
        }
    }

    auto small = MakeBitmap(4, 4);
    PaintPattern(*small);
    target->Canvas().DrawGraphic(-2, -3, small.get());
    EXPECT_EQ(target->PixelAt(0, 0), Pattern(2, 3));
    EXPECT_EQ(target->PixelAt(2, 0), clWhite);
}

TEST(CanvasDraw, PaletteAnd24BitSourcesDrawTheirColours)
{
    auto indexed = std::make_unique<TBitmap>();
    indexed->ChangeDepth(TPixelFormat::pf8bit);
    indexed->SetPalette({{10, 20, 30}, {200, 100, 50}});
    indexed->ResizeWidth(2);
    indexed->ResizeHeight(1);
    indexed->ScanLine(0)[0] = 1;
    indexed->ScanLine(0)[1] = 0;

    auto deep = MakeBitmap(1, 1);
    deep->ChangeDepth(TPixelFormat::pf24bit);
    deep->SetPixelAt(0, 0, MakeColor(255, 0, 0));

    auto target = MakeBitmap(4, 1);
    target->Canvas().DrawGraphic(0, 0, indexed.get());
    target->Canvas().DrawGraphic(2, 0, deep.get());
    EXPECT_EQ(target->PixelAt(0, 0), MakeColor(200, 100, 50));
    EXPECT_EQ(target->PixelAt(1, 0), MakeColor(10, 20, 30));
    EXPECT_EQ(target->PixelAt(2, 0), MakeColor(255, 0, 0));
    EXPECT_EQ(target->PixelAt(3, 0), clWhite);
}

TEST(CanvasRectangle, OutlineInPenInteriorInBrush)
{
    auto bitmap = MakeBitmap(16, 16);
    TCanvas& canvas = bitmap->Canvas();
    canvas.Pen.Color = kGlyphBackgroundColour;
    canvas.Brush.Color = kGlyphBackgroundColour;
    canvas.PaintRectangle(0, 0, 16, 16);
    ExpectArea(*bitmap, 0, 0, 16, 16, kGlyphBackgroundColour);

    canvas.Pen.Color = clBlack;
    canvas.Brush.Color = MakeColor(0, 0, 255);
    canvas.PaintRectangle(2, 3, 6, 8);
    EXPECT_EQ(canvas.ReadPixel(2, 3), clBlack);
    EXPECT_EQ(canvas.ReadPixel(5, 7), clBlack);
    EXPECT_EQ(canvas.ReadPixel(3, 4), MakeColor(0, 0, 255));
    EXPECT_EQ(canvas.ReadPixel(4, 6), MakeColor(0, 0, 255));
    EXPECT_EQ(canvas.ReadPixel(6, 5), kGlyphBackgroundColour); // right edge excluded
    EXPECT_EQ(canvas.ReadPixel(3, 8), kGlyphBackgroundColour); // bottom edge excluded
}

TEST(CanvasText, NewFontSettings)
{
    TBitmap bitmap;
    const TFont& font = bitmap.Canvas().Font;
    EXPECT_EQ(font.Name, "MS Sans Serif");
    EXPECT_EQ(font.Size(), 8);
    EXPECT_EQ(font.Height(), -static_cast<int>(std::lround(8.0 * TFont::DisplayDpi() / 72.0)));
    EXPECT_EQ(font.Color, clWindowText);
    EXPECT_FALSE(font.Style.Bold);
    EXPECT_EQ(bitmap.Canvas().Brush.Color, clWhite);
    EXPECT_EQ(bitmap.Canvas().Pen.Color, clBlack);
    EXPECT_EQ(bitmap.Canvas().CopyMode, 0x00CC0020u);
}

TEST(CanvasText, EmptyTextDrawsAndMeasuresNothing)
{
    auto bitmap = MakeBitmap(40, 20);
    int notifications = 0;
    bitmap->OnChange = [&] { ++notifications; };
    bitmap->Canvas().WriteText(0, 0, "");
    EXPECT_EQ(bitmap->Canvas().MeasureTextWidth(""), 0);
    EXPECT_EQ(notifications, 0);
    ExpectArea(*bitmap, 0, 0, 40, 20, clWhite);
}

TEST(CanvasText, OpaqueBoxOfMeasuredSize)
{
    auto bitmap = MakeBitmap(200, 40);
    TCanvas& canvas = bitmap->Canvas();
    canvas.Font.Name = "Arial";
    canvas.Font.Color = clWhite;
    canvas.Brush.Color = kGlyphBackgroundColour;
    const std::string text = "^1m00 caption";
    const int width = canvas.MeasureTextWidth(text);
    const int height = canvas.MeasureTextHeight(text);
    ASSERT_GT(width, 20);
    ASSERT_GT(height, 8);
    EXPECT_EQ(canvas.MeasureTextHeight("x"), height);
    canvas.WriteText(5, 3, text);

    // The box's first column and row are background; outside the box nothing changed.
    EXPECT_EQ(canvas.ReadPixel(5, 3), kGlyphBackgroundColour);
    EXPECT_EQ(canvas.ReadPixel(4, 3), clWhite);
    EXPECT_EQ(canvas.ReadPixel(5 + width, 3), clWhite);
    EXPECT_EQ(canvas.ReadPixel(5, 3 + height), clWhite);
    int lit = 0;
    for (int y = 3; y < 3 + height; ++y) {
        for (int x = 5; x < 5 + width; ++x) {
            lit += canvas.ReadPixel(x, y) != kGlyphBackgroundColour;
        }
    }
    EXPECT_GT(lit, 30) << "no glyph ink in the text box";
}

TEST(CanvasText, ArialResolvesToLiberationSansMetrics)
{
    TBitmap a;
    TBitmap b;
    a.Canvas().Font.Name = "Arial";
    b.Canvas().Font.Name = "Liberation Sans";
    const std::string text = "The quick brown fox 0123456789";
    EXPECT_EQ(a.Canvas().MeasureTextWidth(text), b.Canvas().MeasureTextWidth(text));
    a.Canvas().Font.SetHeight(-30);
    EXPECT_GT(a.Canvas().MeasureTextWidth(text), b.Canvas().MeasureTextWidth(text));
}

TEST(Picture, AsBitmapReplacesOtherGraphicsOnce)
{
    TPicture picture;
    int notifications = 0;
    picture.OnChange = [&] { ++notifications; };
    TBitmap& first = picture.AsBitmap();
    EXPECT_EQ(&picture.AsBitmap(), &first);
    EXPECT_EQ(first.Width(), 0);
    EXPECT_FALSE(first.HasCanvas());
    const int afterCreate = notifications;
    EXPECT_EQ(afterCreate, 1);

    first.ResizeWidth(3);
    first.ResizeHeight(3);
    first.Canvas().WritePixel(0, 0, clBlack);
    EXPECT_EQ(notifications, afterCreate + 3) << "resizes and pixel writes reach the picture's owner";

    picture.SetGraphic(MakeBitmap(2, 2));
    EXPECT_EQ(picture.Width(), 2);
}
