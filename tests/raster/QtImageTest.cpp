// Bitmaps as Qt images, and text drawn through Qt onto a bitmap, checked against pixels
// the test sets and text the test draws with Qt itself.
#include "raster/QtImage.h"

#include <QFont>
#include <QPainter>
#include <gtest/gtest.h>

using glyphtint::raster::MakeColor;

namespace {

QRgb Expected(int x, int y)
{
    return qRgb(x * 40 + 5, y * 60 + 7, (x + y) * 20 + 9);
}

} // namespace

TEST(QtImage, EveryPixelFormatConvertsRowByRowToTheColoursItHolds)
{
    for (const TPixelFormat format : {TPixelFormat::pfDevice, TPixelFormat::pf24bit}) {
        SCOPED_TRACE(static_cast<int>(format));
        TBitmap bitmap;
        bitmap.ChangeDepth(format);
        bitmap.ResizeWidth(5);
        bitmap.ResizeHeight(3);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                const QRgb c = Expected(x, y);
                bitmap.SetPixelAt(x, y, MakeColor(qRed(c), qGreen(c), qBlue(c)));
            }
        }
        for (const QImage& image : {glyphtint::raster::ToQImage(bitmap), MakeClipboardBitmap(bitmap)}) {
            ASSERT_EQ(image.size(), QSize(5, 3));
            for (int y = 0; y < 3; ++y) {
                for (int x = 0; x < 5; ++x) {
                    EXPECT_EQ(image.pixel(x, y), Expected(x, y)) << x << ", " << y;
                }
            }
        }
    }

    // Palette rows: each index stands for its entry; one past the palette for black.
    TBitmap indexed;
    indexed.ChangeDepth(TPixelFormat::pf8bit);
    indexed.SetPalette({{10, 20, 30}, {200, 100, 50}});
    indexed.ResizeWidth(3);
    indexed.ResizeHeight(1);
    const std::uint8_t indices[] = {1, 0, 7};
    std::copy(std::begin(indices), std::end(indices), indexed.ScanLine(0));
    const QImage image = glyphtint::raster::ToQImage(indexed);
    EXPECT_EQ(image.pixel(0, 0), qRgb(200, 100, 50));
    EXPECT_EQ(image.pixel(1, 0), qRgb(10, 20, 30));
    EXPECT_EQ(image.pixel(2, 0), qRgb(0, 0, 0));

    EXPECT_TRUE(glyphtint::raster::ToQImage(TBitmap()).isNull());
    EXPECT_TRUE(MakeClipboardBitmap(TBitmap()).isNull());
}

TEST(CanvasText, TextCutByTheTopLeftCornerBlendsOverThePixelsAsQtDrawsIt)
{
    // A clear brush over a picture, the text box starting outside the bitmap.
    constexpr int kLeft = -7;
    constexpr int kTop = -3;
    for (const TPixelFormat format : {TPixelFormat::pfDevice, TPixelFormat::pf24bit}) {
        SCOPED_TRACE(static_cast<int>(format));
        TBitmap bitmap;
        bitmap.ChangeDepth(format);
        bitmap.ResizeWidth(60);
        bitmap.ResizeHeight(12);
        auto under = [](int x, int y) { return qRgb(x * 4, 255 - y * 9, (x * y) & 255); };
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 60; ++x) {
                bitmap.SetPixelAt(x, y, MakeColor(qRed(under(x, y)), qGreen(under(x, y)), qBlue(under(x, y))));
            }
        }
        TCanvas& canvas = bitmap.Canvas();
        canvas.Brush.Style = TBrushStyle::bsClear;
        canvas.Font.Name = "Arial";
        canvas.Font.SetHeight(-13);
        canvas.Font.Color = MakeColor(250, 240, 10);
        const std::string text = "Wg^1m00 caption";
        canvas.WriteText(kLeft, kTop, text);

        QFont font("Arial");
        font.setStyleHint(QFont::SansSerif);
        font.setWeight(QFont::Normal);
        font.setPixelSize(13);
        QImage expected(60, 12, QImage::Format_RGB32);
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 60; ++x) {
                expected.setPixel(x, y, under(x, y));
            }
        }
        {
            QPainter painter(&expected);
            painter.setFont(font);
            painter.setPen(QColor(250, 240, 10));
            painter.drawText(kLeft, kTop + QFontMetrics(font).ascent(), QString::fromStdString(text));
        }
        int inked = 0;
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 60; ++x) {
                const QRgb want = expected.pixel(x, y);
                ASSERT_EQ(bitmap.PixelAt(x, y), MakeColor(qRed(want), qGreen(want), qBlue(want)))
                    << "at column " << x << ", row " << y;
                inked += want != under(x, y);
            }
        }
        EXPECT_GT(inked, 20) << "the text left no ink inside the bitmap";
    }
}
