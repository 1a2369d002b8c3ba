// A pack of the largest glyphs the program takes, drawn and copied by the window within a
// bounded amount of memory.
#include "WindowFixture.h"

#include "render/FramedImage.h"
#include "render/GlyphLimits.h"

#include <QClipboard>
#include <QImage>

#include <sys/resource.h>

using glyphtint::render::kMaxGlyphHeight;
using glyphtint::render::kMaxGlyphWidth;

// The widest strip these glyphs may make, its middle on the screen, and the largest framed
// picture that is copied: all within half a gigabyte, where the screen's and the
// clipboard's copies of the pictures and the strip's spare room once took three times that.
TEST_F(WindowTest, TheLargestGlyphsDrawAndCopyWithinHalfAGigabyte)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory aside, so the peak says nothing";
#endif
    const std::string glyph = glyphtint::test::MakeGlyphJpeg(kMaxGlyphWidth, kMaxGlyphHeight);
    std::vector<std::pair<std::string, std::string>> entries;
    for (unsigned char c : glyphtint::render::DrawableGlyphBytes()) {
        entries.emplace_back(glyphtint::render::FullGlyphEntryName(c), glyph);
    }
    const std::string archive = (folder / "large.gfx").string();
    glyphtint::test::WriteZip(archive, entries);
    Start(archive);
    ASSERT_EQ(boxes.errors, std::vector<std::string>{});

    // Renders the text at once, even where the window would wait for more keys first.
    auto render = [this](const std::string& text) {
        Change(Find<TTextBox>("edt_Text"), text);
        window->RunGuarded([this] { window->FlushPendingRender(); });
    };
    const int widest = static_cast<int>(glyphtint::render::kMaxStripPixels / (kMaxGlyphWidth * kMaxGlyphHeight));
    TImage* shown = Find<TImage>("img_Render");
    render(std::string(widest, 'a'));
    ASSERT_EQ(boxes.errors, std::vector<std::string>{});
    ASSERT_EQ(StripWidth(shown), widest * kMaxGlyphWidth);
    // The control shows the strip's middle.
    const QImage grabbed = shown->grab().toImage().scaled(shown->size());
    const QPoint centre(shown->width() / 2, shown->height() / 2);
    const TColor middle =
        Strip(shown)->PixelAt(centre.x() - shown->PictureOrigin().x(), centre.y() - shown->PictureOrigin().y());
    EXPECT_EQ(
        grabbed.pixel(centre) & 0xFFFFFF,
        qRgb(glyphtint::raster::RedOf(middle), glyphtint::raster::GreenOf(middle), glyphtint::raster::BlueOf(middle)) &
            0xFFFFFF);

    render(std::string(widest + 1, 'a'));
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_EQ(boxes.errors[0].rfind("The text is too long", 0), 0u) << boxes.errors[0];

    // 28 glyphs frame to 28 688 x some 550 pixels, just under the framed picture's limit.
    const int copied = 28;
    render(std::string(copied, 'a'));
    window->RunGuarded([this] { window->Copyimagetoclipboard1Click(); });
    ASSERT_EQ(boxes.errors.size(), 1u) << boxes.errors.back();
    const QImage pasted = QGuiApplication::clipboard()->image();
    EXPECT_EQ(pasted.width(), copied * kMaxGlyphWidth + 2 * glyphtint::render::kFrameBorder);
    EXPECT_GT(std::int64_t{pasted.width()} * pasted.height(), glyphtint::render::kMaxFramedPixels * 9 / 10);

    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_SELF, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 512 * 1024) << "peak resident kilobytes";
}
