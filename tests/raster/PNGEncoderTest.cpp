// The PNG encoder checked through another decoder (Qt's, on libpng): every depth gives the
// bitmap's pixels as 8-bit RGB, the same pixels Qt's own PNG writer gives, a transparent
// picture keeps its alpha, and misuse is refused rather than written.
#include "raster/PNGEncoder.h"
#include "raster/QtImage.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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

// The chunk types of a PNG file in their order, read from their length fields.
std::vector<std::string> ChunkTypes(const std::string& png)
{
    std::vector<std::string> types;
    for (std::size_t at = 8; at + 8 <= png.size();) {
        const auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(png[i])); };
        const std::uint32_t length = byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
        types.push_back(png.substr(at + 4, 4));
        at += 12 + std::size_t{length};
    }
    return types;
}

// Display-depth pictures with an alpha byte that varies: rows of noise, runs of one
// colour, and rows repeated as a scaled strip repeats them.
std::unique_ptr<TBitmap> MakeAlphaPicture(int width, int height, int repeat, bool noise)
{
    auto picture = std::make_unique<TBitmap>();
    picture->ChangeDepth(TPixelFormat::pfDevice);
    picture->ResizeWidth(width);
    picture->ResizeHeight(height);
    for (int y = 0; y < height; ++y) {
        std::uint32_t seed = static_cast<std::uint32_t>(y / repeat) * 2654435761u + 1;
        std::uint8_t* pixel = picture->ScanLine(y);
        for (int x = 0; x < width * 4; ++x) {
            seed = seed * 1664525u + 1013904223u;
            pixel[x] = noise || (x / 28 + y / repeat) % 3 == 0 ? static_cast<std::uint8_t>(seed >> 24) : 90;
        }
    }
    return picture;
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

TEST(PngEncoder, TransparentAndRepeatedRowsKeepEveryPixel)
{
    struct Case {
        const char* name;
        int width;
        int height;
        int repeat;
        bool noise;
    };
    // A row that repeats the one above is stored as their difference; the noisy picture
    // needs more than one data chunk.
    for (const Case c : {Case{"one pixel", 1, 1, 1, false}, Case{"runs", 300, 20, 1, false},
                         Case{"scaled by 3", 120, 60, 3, false}, Case{"noise", 800, 400, 1, true}}) {
        SCOPED_TRACE(c.name);
        const auto picture = MakeAlphaPicture(c.width, c.height, c.repeat, c.noise);
        const TBitmap& bitmap = *picture;
        const std::string png = glyphtint::raster::EncodePngWithAlpha(bitmap);
        ASSERT_GT(png.size(), 26u);
        EXPECT_EQ(png[25], 6) << "colour type RGBA";
        const std::vector<std::string> chunks = ChunkTypes(png);
        ASSERT_GE(chunks.size(), 4u);
        EXPECT_EQ(chunks.front(), "IHDR");
        EXPECT_EQ(chunks[1], "pHYs");
        EXPECT_EQ(chunks.back(), "IEND");
        EXPECT_EQ(chunks.size() > 4, c.noise) << "one data chunk unless the data passes a megabyte";

        const QImage decoded = Decoded(png).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(decoded.size(), QSize(c.width, c.height));
        EXPECT_EQ(decoded.dotsPerMeterX(), 3780);
        for (int y = 0; y < c.height; ++y) {
            const std::uint8_t* in = bitmap.ScanLine(y);
            for (int x = 0; x < c.width; ++x, in += 4) {
                ASSERT_EQ(decoded.pixel(x, y), qRgba(in[0], in[1], in[2], in[3])) << "column " << x << ", row " << y;
            }
        }
    }
}

TEST(PngEncoder, RefusesPicturesLargerThanABitmapHolds)
{
    std::string out;
    try {
        PngEncoder encoder(out, 1 << 20, 1 << 10, glyphtint::raster::PngPixels::Rgba8);
        FAIL() << "a 4 GB picture was taken";
    } catch (const EOutOfResources& error) {
        EXPECT_STREQ(error.what(), "Out of system resources");
    }
    EXPECT_TRUE(out.empty());
}

TEST(PngEncoder, ThreadsEncodingAtOnceWriteWhatOneThreadWrites)
{
    // Each thread has its own compressor: a shared one would mix the pictures' data.
    std::vector<std::unique_ptr<TBitmap>> pictures;
    std::vector<std::string> expected;
    for (int i = 0; i < 4; ++i) {
        pictures.push_back(MakeAlphaPicture(300 + 17 * i, 60, 1 + i, i % 2 == 1));
        expected.push_back(glyphtint::raster::EncodePngWithAlpha(*pictures.back()));
    }
    std::vector<int> wrong(pictures.size(), 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < pictures.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                wrong[t] += glyphtint::raster::EncodePngWithAlpha(*pictures[t]) != expected[t];
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(pictures.size(), 0));
}
