// The View menu's zoom and preview, and the strip exported as the command line writes it.
#include "WindowFixture.h"

#include "raster/QtImage.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunProgram.h"

#include <QAction>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <map>

namespace {

// The colour most pixels of the area have: the background a strip is drawn on.
QColor MostCommonColour(const QImage& image, const QRect& area)
{
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            ++counts[image.pixel(x, y) & 0xFFFFFF];
        }
    }
    const auto most = std::ranges::max_element(counts, {}, [](const auto& entry) { return entry.second; });
    return most == counts.end() ? QColor() : QColor(most->first);
}

class ViewTest : public WindowTest {
protected:
    void Trigger(const char* action) { Find<QAction>(action)->trigger(); }

    // The export dialog answered with path.
    void AnswerExportDialog(const std::string& path)
    {
        window->ExportDialog1.Run = [path](const TSaveDialog&) -> std::optional<TSaveDialogChoice> {
            return TSaveDialogChoice{path, 1};
        };
    }

    // The bytes glyphtint-render writes for --strip with the given options.
    std::string ToolStrip(const std::string& text, const std::vector<std::string>& options)
    {
        const std::string out = (folder / "tool.png").string();
        std::vector<std::string> arguments{std::string(GLYPHTINT_BIN_DIR) + "/glyphtint-render", "--strip", out};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), {"--", text});
        const glyphtint::test::ProgramRun ran = glyphtint::test::RunProgram("/usr/bin/env", arguments);
        EXPECT_EQ(ran.exitCode, 0) << ran.err;
        return glyphtint::test::ReadFileBytes(out);
    }
};

TEST_F(ViewTest, ZoomShowsBlocksAndTheDarkPreviewDrawsOnThePage)
{
    StartWithShippedArchive();
    Type("^1m00");
    auto* image = Find<TImage>("img_Render");
    ASSERT_NE(Strip(image), nullptr);
    const QImage strip = glyphtint::raster::ToQImage(*Strip(image));
    ASSERT_GT(strip.width(), 0);

    Trigger("Zoomin1");
    Trigger("Zoomin1");
    ASSERT_EQ(image->Zoom(), 3);
    QApplication::processEvents();
    QImage shown = image->grab().toImage();
    QPoint origin = image->PictureOrigin();
    for (QPoint p :
         {QPoint(0, 0), QPoint(strip.width() / 2, strip.height() / 2), QPoint(strip.width() - 1, strip.height() - 1)}) {
        for (int dy = 0; dy < 3; ++dy) {
            for (int dx = 0; dx < 3; ++dx) {
                const QPoint at = origin + p * 3 + QPoint(dx, dy);
                ASSERT_TRUE(shown.rect().contains(at)) << at.x() << "," << at.y();
                EXPECT_EQ(shown.pixelColor(at), strip.pixelColor(p))
                    << p.x() << "," << p.y() << " +" << dx << "," << dy;
            }
        }
    }
    // Taller than the band at 3x in the smallest window: the strip shows from its top-left
    // corner, its first characters whole.
    const QScrollBar* rows = Find<QScrollArea>("ScrollBox1")->verticalScrollBar();
    ASSERT_GT(rows->maximum(), 0);
    EXPECT_EQ(rows->value(), 0);
    EXPECT_EQ(Find<QScrollArea>("ScrollBox1")->horizontalScrollBar()->value(), 0);
    Trigger("Zoomin1");
    EXPECT_FALSE(Find<QAction>("Zoomin1")->isEnabled()) << "4x is the largest zoom";
    Trigger("Actualsize1");
    EXPECT_EQ(image->Zoom(), 1);
    EXPECT_FALSE(Find<QAction>("Zoomout1")->isEnabled());

    // Where the glyph background was, in the render panel and the palettes, the dark page shows.
    const QColor dark(0x1E, 0x1E, 0x1E);
    const QRect whole(QPoint(0, 0), strip.size());
    ASSERT_NE(MostCommonColour(strip, whole), dark);
    Trigger("Previewdark1");
    QApplication::processEvents();
    shown = image->grab().toImage();
    EXPECT_EQ(MostCommonColour(shown, whole.translated(image->PictureOrigin())), dark);
    const QImage palette = glyphtint::raster::ToQImage(*Strip(Find<TImage>("img_Colors")));
    EXPECT_EQ(MostCommonColour(palette, palette.rect()), dark);
    const QImage palettes = Find<TImage>("img_Colors")->grab().toImage();
    EXPECT_EQ(MostCommonColour(palettes, palette.rect().translated(Find<TImage>("img_Colors")->PictureOrigin())), dark)
        << "the palette shows the page";
    // The whole band is the page, to its corners inside the bevel, and so is the palettes'.
    const auto corners = [](QWidget* band) {
        const QImage grabbed = band->grab().toImage();
        const QRect inside = band->rect().adjusted(2, 2, -3, -3);
        return std::vector<QColor>{grabbed.pixelColor(inside.topLeft()), grabbed.pixelColor(inside.topRight()),
                                   grabbed.pixelColor(inside.bottomLeft()), grabbed.pixelColor(inside.bottomRight())};
    };
    for (const char* band : {"Panel2", "Panel4"}) {
        EXPECT_EQ(corners(Find<QWidget>(band)), std::vector<QColor>(4, dark)) << band;
    }
    Trigger("Previewlight1");
    QApplication::processEvents();
    EXPECT_EQ(corners(Find<QWidget>("Panel2")), std::vector<QColor>(4, QColor(Qt::white)));
    Trigger("Previewglyph1");
    EXPECT_EQ(glyphtint::raster::ToQImage(*Strip(image)), strip);
    QApplication::processEvents();
    EXPECT_EQ(corners(Find<QWidget>("Panel4")), std::vector<QColor>(4, QColor(116, 123, 111)))
        << "the designed grey-green again";
    EXPECT_TRUE(boxes.errors.empty());

    // The window zoomed 3x on the dark page, when asked for.
    if (const QString path = qEnvironmentVariable("GLYPHTINT_SCREENSHOT"); !path.isEmpty()) {
        Change(Find<TTextBox>("edt_Text"), "^0Dark ^4Blue ^1Red");
        Trigger("Previewdark1");
        Trigger("Zoomin1");
        Trigger("Zoomin1");
        QApplication::processEvents();
        EXPECT_TRUE(window->grab().toImage().save(path, "PNG")) << path.toStdString();
    }
}

// In a window with room to spare, the band grows to the zoomed strip and every row of
// it shows, the text box still in view; at actual size the band is as designed.
TEST_F(ViewTest, AZoomedStripShowsWholeWhereTheWindowHasRoom)
{
    StartWithShippedArchive();
    window->resize(1000, 650);
    QApplication::processEvents();
    auto* band = Find<QWidget>("Panel1");
    const int designed = band->height();
    Type("^1m00 ^7says ^4{hi}");
    auto* image = Find<TImage>("img_Render");
    const QImage strip = glyphtint::raster::ToQImage(*Strip(image));
    for (int zoom = 2; zoom <= 4; ++zoom) {
        Trigger("Zoomin1");
        QApplication::processEvents();
        EXPECT_GE(band->height(), strip.height() * zoom) << zoom << "x";
        EXPECT_EQ(Find<QScrollArea>("ScrollBox1")->verticalScrollBar()->maximum(), 0) << zoom << "x";
    }
    const QImage shown = image->grab().toImage();
    const QPoint origin = image->PictureOrigin();
    for (int y = 0; y < strip.height(); ++y) {
        for (int x = 0; x < strip.width(); x += 5) {
            ASSERT_EQ(shown.pixelColor(origin + QPoint(x, y) * 4 + QPoint(3, 3)), strip.pixelColor(x, y))
                << "column " << x << ", row " << y;
        }
    }
    auto* box = Find<QWidget>("edt_Text");
    EXPECT_EQ(box->visibleRegion().boundingRect(), box->rect()) << "the text box is whole";

    // Made small again, or with the tabs shortened by the colours panel, the window takes
    // the height back and the strip scrolls, the text box whole.
    window->resize(window->minimumSize());
    QTest::qWait(20);
    EXPECT_GT(Find<QScrollArea>("ScrollBox1")->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(box->visibleRegion().boundingRect(), box->rect()) << "the text box is whole";
    EXPECT_LE(band->height() + Find<QWidget>("pc_Tabs")->height() + Find<QWidget>("Panel3")->height() +
                  Find<QWidget>("ToolBar1")->height(),
              window->centralWidget()->height())
        << "the bands overlap";

    Trigger("Actualsize1");
    QApplication::processEvents();
    EXPECT_EQ(band->height(), designed);
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(ViewTest, ExportIsTheToolsStripAndSaveKeepsTheFramedPicture)
{
    StartWithShippedArchive();
    const std::string text = "^0Dark ^4Blue ^1Red";
    Change(window->ActivePageEdit(), text);
    const std::string exported = (folder / "strip.png").string();
    const std::string framedBefore = (folder / "before.jpg").string();
    const std::string framedAfter = (folder / "after.jpg").string();

    AnswerExportDialog(exported);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(Find<TTextBox>("edt_Text"), Qt::Key_E, Qt::ControlModifier);
    ASSERT_TRUE(boxes.errors.empty()) << boxes.errors.front();
    EXPECT_TRUE(glyphtint::test::ReadFileBytes(exported) == ToolStrip(text, {})) << "default options";
    window->SaveDialog1.Run = [&](const TSaveDialog&) -> std::optional<TSaveDialogChoice> {
        return TSaveDialogChoice{framedBefore, 1};
    };
    Trigger("Saveimage1");

    Trigger("Zoomin1");
    Trigger("Zoomin1");
    Trigger("Previewdark1");
    Trigger("Legiblecolours1");
    Trigger("Exportstrip1");
    ASSERT_TRUE(boxes.errors.empty()) << boxes.errors.front();
    EXPECT_TRUE(glyphtint::test::ReadFileBytes(exported) ==
                ToolStrip(text, {"--scale", "3", "--background", "#1e1e1e", "--min-contrast", "3"}))
        << "zoom 3, dark page, legible";

    window->SaveDialog1.Run = [&](const TSaveDialog&) -> std::optional<TSaveDialogChoice> {
        return TSaveDialogChoice{framedAfter, 1};
    };
    Trigger("Saveimage1");
    ASSERT_TRUE(boxes.errors.empty()) << boxes.errors.front();
    EXPECT_TRUE(glyphtint::test::ReadFileBytes(framedBefore) == glyphtint::test::ReadFileBytes(framedAfter))
        << "the preview does not reach the saved picture";
}

} // namespace
