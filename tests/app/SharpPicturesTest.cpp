// On a screen of scale factor 2 (QT_SCALE_FACTOR=2, run as its own ctest) every pixel of the
// glyph strip and of the palettes covers a block of 2 x 2 device pixels of exactly its
// colour: no smoothing blurs the glyphs. At scale 1 the same check is the unscaled picture.
#include "WindowFixture.h"

#include <QImage>
#include <QPixmap>

#include <cmath>
#include <string>
#include <utility>

namespace {

// How the control's grab compares with its picture drawn with every pixel made a
// scale x scale block: "" when it matches, else where it first differs.
std::string CompareWithBlocks(const char* name, TImage* image, const TBitmap& strip, int scale)
{
    const QImage shown = image->grab().toImage();
    if (shown.width() != image->width() * scale || shown.height() != image->height() * scale) {
        return "the grab is " + std::to_string(shown.width()) + " x " + std::to_string(shown.height());
    }
    const QPoint origin = image->PictureOrigin() * scale;
    for (int y = 0; y < strip.Height(); ++y) {
        for (int x = 0; x < strip.Width(); ++x) {
            const TColor colour = strip.PixelAt(x, y);
            const QRgb expected = qRgb(glyphtint::raster::RedOf(colour), glyphtint::raster::GreenOf(colour),
                                       glyphtint::raster::BlueOf(colour));
            for (int dy = 0; dy < scale; ++dy) {
                for (int dx = 0; dx < scale; ++dx) {
                    const QPoint device = origin + QPoint(x * scale + dx, y * scale + dy);
                    if (!shown.rect().contains(device)) {
                        continue;
                    }
                    const QRgb got = shown.pixel(device);
                    if ((got & 0xFFFFFF) != (expected & 0xFFFFFF)) {
                        return std::string(name) + ": picture pixel " + std::to_string(x) + "," + std::to_string(y) +
                               " shows " + QString::number(got & 0xFFFFFF, 16).toStdString() + " at device pixel " +
                               std::to_string(device.x()) + "," + std::to_string(device.y()) + ", not " +
                               QString::number(expected & 0xFFFFFF, 16).toStdString();
                    }
                }
            }
        }
    }
    return "";
}

TEST_F(WindowTest, StripAndPalettesCoverWholeDevicePixels)
{
    StartWithShippedArchive();
    Type("^1m00");
    const double ratio = Find<TImage>("img_Render")->devicePixelRatioF();
    if (const QByteArray asked = qgetenv("QT_SCALE_FACTOR"); !asked.isEmpty()) {
        ASSERT_EQ(ratio, asked.toDouble()) << "the screen does not have the scale factor the run asked for";
    }
    ASSERT_EQ(ratio, std::round(ratio)) << "sharp pixels need a whole scale factor";
    const int scale = static_cast<int>(ratio);
    for (const char* name : {"img_Render", "img_Colors", "img_Colors2"}) {
        TImage* image = Find<TImage>(name);
        const TBitmap* strip = Strip(image);
        ASSERT_NE(strip, nullptr) << name;
        EXPECT_EQ(CompareWithBlocks(name, image, *strip, scale), "");
    }
}

} // namespace
