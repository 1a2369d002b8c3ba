// The window as a native Wayland client, run by under-weston.sh inside a headless Weston:
// text typed into it is drawn, and the drawn picture is what the window shows.
#include "app/Image.h"
#include "tests/app/WindowFixture.h"

#include <QGuiApplication>
#include <QTest>

#include <cstdlib>

namespace {

TEST_F(WindowTest, TypedTextIsShownOnWayland)
{
    ASSERT_EQ(QGuiApplication::platformName(), "wayland") << "this suite runs only inside a Wayland compositor";
    StartWithShippedArchive();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get())) << "the compositor never showed the window";

    Type("^1m00");
    QApplication::processEvents();
    TImage* image = Find<TImage>("img_Render");
    const TBitmap* strip = Strip(image);
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->Width(), RenderedWidth("m00"));

    // The strip as the window paints it: every pixel in place, of the strip's own colour.
    const QImage shown = image->grab().toImage();
    const int scale = static_cast<int>(image->devicePixelRatioF());
    const QPoint origin = image->PictureOrigin() * scale;
    int red = 0;
    for (int y = 0; y < strip->Height(); ++y) {
        for (int x = 0; x < strip->Width(); ++x) {
            const TColor colour = strip->PixelAt(x, y);
            const QRgb got = shown.pixel(origin + QPoint(x, y) * scale);
            ASSERT_EQ(qRgb(qRed(got), qGreen(got), qBlue(got)),
                      qRgb(glyphtint::raster::RedOf(colour), glyphtint::raster::GreenOf(colour),
                           glyphtint::raster::BlueOf(colour)))
                << "pixel " << x << "," << y;
            red += qRed(got) > 2 * qGreen(got) + 40 ? 1 : 0;
        }
    }
    EXPECT_GT(red, 20) << "^1 draws m00 in red";

    // A picture of the window for the documentation, when asked for.
    if (const QString path = qEnvironmentVariable("GLYPHTINT_SCREENSHOT"); !path.isEmpty()) {
        EXPECT_TRUE(window->grab().save(path, "PNG")) << path.toStdString();
    }
    EXPECT_TRUE(boxes.errors.empty());
}

// Run by tests/wayland/leak-probe.sh alone (ctest app.wayland_leaks_reported, sanitizer
// builds): 4321 bytes of our own are lost while the window shows on Wayland, and the leak
// check must report them through the suppressions of the system's libraries.
[[gnu::noinline]] void LoseBytes()
{
    void* lost = std::malloc(4321);
    // Used, so that the allocation is made; then its only pointer is gone with this frame.
    static_cast<volatile char*>(lost)[0] = 1;
}

TEST_F(WindowTest, LeakProbe)
{
    if (qEnvironmentVariableIsEmpty("GLYPHTINT_LEAK_PROBE")) {
        GTEST_SKIP() << "only for leak-probe.sh";
    }
    StartWithShippedArchive();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    LoseBytes();
}

} // namespace
