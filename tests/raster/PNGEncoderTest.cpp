// The PNG encoder checked through another decoder (Qt's, on libpng): every depth gives the
// bitmap's pixels as 8-bit RGB, the same pixels Qt's own PNG writer gives, and misuse is
// refused rather than written.
#include "raster/PNGEncoder.h"
#include "raster/QtImage.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

using glyphtint::raster::MakeColor;
using glyphtint::raster::PngEncoder;

namespace {

// A picture with a flat background and noise, so that rows differ and the deflate window
// grows with the size.
std::unique_ptr<TBitmap> MakePicture(TPixelFormat format, int width, int height)
{
    auto picture = std::make_unique<TBitmap>();
    TBitmap& bitmap = *picture;
    bitmap.ChangeDepth(format);
    if (format == TPixelFormat::pf8bit) {
        bitmap.SetPalette({{10, 20, 30}, {200, 100, 50}, {0, 255, 7}});
    }
    bitmap.ResizeWidth(width);
    bitmap.ResizeHeight(height);
    std::uint32_t seed = 7;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const bool flat = (x / 7 + y / 3) % 2 == 0;
            const TColor colour = flat ? MakeColor(31, 42, 53) : MakeColor(seed >> 8, seed >> 16, seed >> 24);
            bitmap.SetPixelAt(x, y, colour);
        }
    }
    return picture;
}

std::string QtPng(const TBitmap& bitmap)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(glyphtint::raster::ToQImage(bitmap).save(&buffer, "PNG"));
    return bytes.toStdString();
}

QImage Decoded(const std::string& png)
{
    return QImage::fromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG");
}

} // namespace

TEST(PngEncoder, EveryDepthGivesTheBitmapsPixelsAsQtsWriterDoes)
{
    struct Size {
        int width;
        int height;
    };
    for (const TPixelFormat format : {TPixelFormat::pfDevice, TPixelFormat::pf24bit, TPixelFormat::pf8bit}) {
        for (const Size size : {Size{1, 1}, Size{5, 3}, Size{700, 40}}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(format)) + ": " + std::to_string(size.width) + " x " +
                         std::to_string(size.height));
            const auto picture = MakePicture(format, size.width, size.height);
            const TBitmap& bitmap = *picture;
            const std::string png = glyphtint::raster::EncodePng(bitmap);
            // The header: 8 bits a channel, colour type 2 (RGB, no alpha).
            ASSERT_GT(png.size(), 26u);
            EXPECT_EQ(png.substr(12, 4), "IHDR");
            EXPECT_EQ(png[24], 8);
            EXPECT_EQ(png[25], 2);

            const QImage mine = Decoded(png);
            const QImage qts = Decoded(QtPng(bitmap));
            ASSERT_EQ(mine.size(), QSize(size.width, size.height));
            EXPECT_FALSE(mine.hasAlphaChannel());
            for (int y = 0; y < size.height; ++y) {
                for (int x = 0; x < size.width; ++x) {
                    const QRgb pixel = mine.pixel(x, y);
                    ASSERT_EQ(MakeColor(qRed(pixel), qGreen(pixel), qBlue(pixel)), bitmap.PixelAt(x, y))
                        << "column " << x << ", row " << y;
                    ASSERT_EQ(pixel, qts.pixel(x, y)) << "column " << x << ", row " << y;
                }
            }
        }
    }
}

TEST(PngEncoder, RefusesAnEmptyPictureAndRowsThatDoNotFit)
{
    EXPECT_THROW(glyphtint::raster::EncodePng(TBitmap()), EInvalidGraphicOperation);
    std::string out;
    EXPECT_THROW(PngEncoder(out, 0, 4), EInvalidGraphicOperation);

    const std::uint8_t row[6] = {1, 2, 3, 4, 5, 6};
    PngEncoder early(out, 2, 2);
    early.WriteRow(row);
    EXPECT_THROW(early.Finish(), EInvalidOperation) << "a row short";

    out.clear();
    PngEncoder whole(out, 2, 1);
    whole.WriteRow(row);
    EXPECT_THROW(whole.WriteRow(row), EInvalidOperation) << "a row past the picture";
    whole.Finish();
    const QImage decoded = Decoded(out);
    ASSERT_EQ(decoded.size(), QSize(2, 1));
    EXPECT_EQ(decoded.pixel(1, 0), qRgb(4, 5, 6));
}
