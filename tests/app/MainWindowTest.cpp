// The main window driven as a user drives it: start-up, tabs, typing, palettes, boxes.
#include "WindowFixture.h"

#include "app/Program.h"
#include "archive/ZipArchive.h"
#include "raster/QtImage.h"
#include "render/GlyphNames.h"

#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QTabBar>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::RedOf;
using glyphtint::test::ScratchFolder;
using glyphtint::test::WriteZip;

using glyphtint::app::kArchiveMissingMessage;

namespace {

// True when "" and "nope" both fail the archive's one-byte password check on every entry.
bool WrongPasswordsAreRefused(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries)
{
    TZipArchive probe;
    probe.FileName = path;
    probe.Open(0);
    for (const std::string wrong : {"", "nope"}) {
        for (const auto& [entry, bytes] : entries) {
            probe.Password = wrong;
            std::string extracted;
            try {
                probe.ExtractEntryBytes(entry, extracted); // no OnPassword: a refused password skips
            } catch (const std::exception&) {
                return false;
            }
            if (!extracted.empty()) {
                return false;
            }
        }
    }
    return true;
}

// Writes the shipped archive's glyphs for the given bytes into a new archive; with a
// password, Info-ZIP encrypts every entry.
std::string ArchiveWithGlyphs(const ScratchFolder& folder, const std::string& characters, const std::string& name,
                              const std::string& password = {})
{
    const std::vector<std::pair<std::string, std::string>> entries = ShippedGlyphs(folder, characters);
    const std::string path = (folder / name).string();
    if (password.empty()) {
        WriteZip(path, entries);
        return path;
    }
    const std::filesystem::path glyphs = folder / (name + ".glyphs");
    std::filesystem::create_directories(glyphs);
    std::string command = "cd " + glyphs.string() + " && zip -q -P " + password + " " + path;
    for (const auto& [entry, bytes] : entries) {
        std::ofstream(glyphs / entry, std::ios::binary) << bytes;
        // "./" keeps a name such as "-.jpg" from being read as an option; zip drops it.
        command += " ./" + entry;
    }
    // Encryption checks a password by one byte, so one wrong password in 256 gets past
    // it; the tests' wrong answers ("" and "nope") must not, so draw again until they fail.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::remove(path);
        if (std::system(command.c_str()) != 0) {
            throw std::runtime_error("zip failed");
        }
        if (WrongPasswordsAreRefused(path, entries)) {
            return path;
        }
    }
    throw std::runtime_error("no archive refusing the wrong passwords");
}

} // namespace

TEST_F(WindowTest, StartsOnTheFirstAttemptWithBothPalettesAndNoAnimation)
{
    StartWithShippedArchive();
    EXPECT_TRUE(boxes.errors.empty());
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_EQ(TabCaptions(), (std::vector<std::string>{"Attempt 1", "About..."}));
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->currentIndex(), 0);
    EXPECT_EQ(window->TabCounter, 1);
    EXPECT_EQ(window->BannerCounter, 1);
    EXPECT_FALSE(window->tmr_Teller.Enabled());
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), 0);
    EXPECT_EQ(Find<TTextBox>("edt_Text")->Text(), "");
    EXPECT_TRUE(window->GlyphPackOpen());
    // 24 and 27 samples: as wide as the sample characters drawn without codes.
    EXPECT_EQ(StripWidth(Find<TImage>("img_Colors")), RenderedWidth("1234567890abcdefghijklmn"));
    EXPECT_EQ(StripWidth(Find<TImage>("img_Colors2")), RenderedWidth("opqrstuvwxyz/*-+?@_[]=|<>,."));
    EXPECT_EQ(window->windowTitle().toStdString(), "glyphtint [0.1]");
    EXPECT_EQ(window->focusWidget(), Find<TTextBox>("edt_Text")) << "the user types at once";
}

TEST_F(WindowTest, MissingArchiveShowsOneMessageAndAsksToQuit)
{
    const std::string expected = (folder / "glyphtint.gfx").string();
    Start(expected);
    // The first line as it always was, then where the program looked.
    EXPECT_EQ(boxes.messages,
              std::vector<std::string>{std::string(kArchiveMissingMessage) + "\nIt was looked for at " + expected});
    EXPECT_TRUE(boxes.errors.empty());
    EXPECT_TRUE(window->QuitRequested());
    EXPECT_FALSE(window->GlyphPackOpen());
}

TEST_F(WindowTest, DamagedArchiveReportsAndLeavesTheWindowUsableOnTheAboutTab)
{
    const std::string damaged = (folder / "glyphtint.gfx").string();
    std::ofstream(damaged, std::ios::binary) << "not a zip archive at all";
    Start(damaged);
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_FALSE(window->QuitRequested());
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->currentIndex(), 1);
    EXPECT_EQ(window->TabCounter, 0);
    EXPECT_EQ(window->BannerCounter, 0);
    EXPECT_EQ(StripWidth(Find<TImage>("img_Colors")), 0);
    EXPECT_EQ(StripWidth(Find<TImage>("img_Colors2")), 0);

    window->ToolButton1Click();
    EXPECT_EQ(TabCaptions(), (std::vector<std::string>{"Attempt 1", "Attempt 1", "About..."}));
    Type("^1m");
    EXPECT_EQ(boxes.errors.size(), 2u) << "one report for the glyph, none for the code";
}

TEST(ProgramArguments, TextsAreWhatIsNoOptionOrFollowsTheDoubleDash)
{
    struct Case {
        std::vector<const char*> arguments;
        std::vector<std::string> texts;
        std::optional<std::string> wrong;
    };
    const Case cases[] = {
        {{"^1m00", "^4m00"}, {"^1m00", "^4m00"}, std::nullopt},
        {{"--", "-^1m00", "--"}, {"-^1m00", "--"}, std::nullopt},
        {{"a", "--", "-b"}, {"a", "-b"}, std::nullopt},
        {{"a", "-platform", "xcb"}, {"a"}, "-platform"},
        {{"-"}, {}, "-"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"glyphtint"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        std::vector<std::string> texts;
        EXPECT_EQ(glyphtint::app::ReadTexts(static_cast<int>(argv.size()), argv.data(), texts), c.wrong)
            << c.arguments.front();
        if (!c.wrong) {
            EXPECT_EQ(texts, c.texts) << c.arguments.front();
        }
    }
}

TEST_F(WindowTest, TextsGivenAtStartOpenOneTabEachWithTheFirstDrawn)
{
    StartWithShippedArchive();
    window->OpenTexts({"^1m00", "-^4x"});
    EXPECT_EQ(TabCaptions(), (std::vector<std::string>{"Attempt 1", "Attempt 2", "About..."}));
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->currentIndex(), 0);
    EXPECT_EQ(window->ActivePageEdit()->Text(), "^1m00");
    window->FlushPendingRender();
    TPicture expected;
    RenderCodedText(Glyphs(), "^1m00", expected);
    const TBitmap* shown = Strip(Find<TImage>("img_Render"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(glyphtint::raster::ToQImage(*shown), glyphtint::raster::ToQImage(expected.AsBitmap()))
        << "Attempt 1's text is drawn";
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(1);
    EXPECT_EQ(window->ActivePageEdit()->Text(), "-^4x");
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(WindowTest, AddingAndRemovingTabsKeepsNumbersAndTheAboutTabLast)
{
    StartWithShippedArchive();
    window->ToolButton2Click(); // the only attempt tab stays
    EXPECT_EQ(TabCaptions(), (std::vector<std::string>{"Attempt 1", "About..."}));

    window->ToolButton1Click();
    window->ToolButton1Click();
    EXPECT_EQ(TabCaptions(), (std::vector<std::string>{"Attempt 1", "Attempt 2", "Attempt 3", "About..."}));
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->currentIndex(), 2);
    EXPECT_FALSE(window->tmr_Teller.Enabled());

    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(1); // as a user selects it
    window->Removetab1Click();
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->tabText(Find<QTabWidget>("pc_Tabs")->currentIndex()).toStdString(),
              "Attempt 3");
    window->Addtab1Click();
    EXPECT_EQ(TabCaptions(), (std::vector<std::string>{"Attempt 1", "Attempt 3", "Attempt 4", "About..."}));

    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(3);
    window->ToolButton2Click(); // nothing on the About tab
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->count(), 4);
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(WindowTest, RemovingTheLastAttemptShowsTheAboutTabAndStartsTheBanner)
{
    StartWithShippedArchive();
    window->ToolButton1Click();
    Type("^1m00");
    ASSERT_GT(StripWidth(Find<TImage>("img_Render")), 0);
    window->ToolButton2Click();
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->currentIndex(), 1);
    EXPECT_TRUE(window->tmr_Teller.Enabled());
    EXPECT_EQ(window->BannerCounter, 0);
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), 0) << "the banner box is still empty";
}

TEST_F(WindowTest, OnlyTheUsersTabChangesRunTheTabChange)
{
    StartWithShippedArchive();
    QTabBar* bar = Find<QTabWidget>("pc_Tabs")->tabBar();

    window->ToolButton1Click(); // the program makes the new tab active
    EXPECT_FALSE(window->tmr_Teller.Enabled());

    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->currentIndex(), 2);
    EXPECT_TRUE(window->tmr_Teller.Enabled());

    // Ctrl+Tab wraps from the About tab to the first page.
    Find<QTabWidget>("pc_Tabs")->setFocus();
    QTest::keyClick(Find<QTabWidget>("pc_Tabs"), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->currentIndex(), 0);
    EXPECT_FALSE(window->tmr_Teller.Enabled());

    // Adding while the About tab shows stops the banner: the new attempt shows.
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    window->ToolButton1Click();
    EXPECT_FALSE(window->tmr_Teller.Enabled());
}

TEST_F(WindowTest, TypingRendersTheStripCentredPixelForPixel)
{
    StartWithShippedArchive();
    Type("^");
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), 0) << "an open code draws nothing";
    Type("1m00");
    EXPECT_EQ(Find<TTextBox>("edt_Text")->Text(), "^1m00");
    const TBitmap* strip = Strip(Find<TImage>("img_Render"));
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->Width(), RenderedWidth("m00"));

    const QImage shown = Find<TImage>("img_Render")->grab().toImage();
    const QPoint origin((338 - strip->Width()) / 2, (45 - strip->Height()) / 2);
    EXPECT_EQ(Find<TImage>("img_Render")->PictureOrigin(), origin);
    for (QPoint p : {QPoint(0, 0), QPoint(strip->Width() / 2, strip->Height() / 2),
                     QPoint(strip->Width() - 1, strip->Height() - 1)}) {
        const TColor expected = strip->PixelAt(p.x(), p.y());
        const QColor seen = shown.pixelColor(origin + p);
        EXPECT_EQ(seen, QColor(RedOf(expected), GreenOf(expected), BlueOf(expected))) << p.x() << "," << p.y();
    }
}

TEST_F(WindowTest, AStripWiderThanTheImageIsCutEquallyAtBothEnds)
{
    StartWithShippedArchive();
    Find<TTextBox>("edt_Text")->SetText(std::string(80, 'W'));
    const TBitmap* strip = Strip(Find<TImage>("img_Render"));
    ASSERT_GT(strip->Width(), Find<TImage>("img_Render")->width());
    const int origin = Find<TImage>("img_Render")->PictureOrigin().x();
    const int cutRight = strip->Width() + origin - Find<TImage>("img_Render")->width();
    EXPECT_LE(std::abs(-origin - cutRight), 1);
    const QImage shown = Find<TImage>("img_Render")->grab().toImage();
    const TColor first = strip->PixelAt(-origin, strip->Height() / 2);
    EXPECT_EQ(shown.pixelColor(0, Find<TImage>("img_Render")->PictureOrigin().y() + strip->Height() / 2),
              QColor(RedOf(first), GreenOf(first), BlueOf(first)));
}

TEST_F(WindowTest, AMissingGlyphIsReportedOncePerChangeAndKeepsTheGlyphsBefore)
{
    Start(ArchiveWithGlyphs(folder, "1234567890abcdefghijklmnopqrstuvwxyz/*-+?@_[]=|<>,.", "partial.gfx"));
    ASSERT_TRUE(boxes.errors.empty());
    Find<TTextBox>("edt_Text")->SetText("m0");
    EXPECT_EQ(boxes.errors.size(), 0u);
    Change(Find<TTextBox>("edt_Text"), "mmX");
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_EQ(boxes.errors[0].back(), '.');
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), RenderedWidth("mm"));
    Change(Find<TTextBox>("edt_Text"), "mmXm");
    EXPECT_EQ(boxes.errors.size(), 2u);
    Change(Find<TTextBox>("edt_Text"), "mmXm"); // the same text is no change
    EXPECT_EQ(boxes.errors.size(), 2u);
}

TEST_F(WindowTest, EncryptedArchiveAsksThroughThePasswordBox)
{
    const std::string archive = ArchiveWithGlyphs(folder, "m0", "secret.gfx", "letmein");
    struct Case {
        const char* name;
        std::vector<std::optional<std::string>> answers;
        std::size_t requests;
        bool drawn;
        std::size_t reports;
    };
    const Case cases[] = {
        {"right password", {"letmein"}, 1, true, 0},
        {"wrong, then right", {"nope", "letmein"}, 2, true, 0},
        // The render ends at the glyph whose password was not given.
        {"cancel", {std::nullopt}, 1, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes = {};
        boxes.passwordAnswers.assign(c.answers.begin(), c.answers.end());
        window = std::make_unique<Tfrm_Main>(boxes.Hooks(archive));
        OpenWithoutPalettes(archive);
        Change(Find<TTextBox>("edt_Text"), "m");
        EXPECT_EQ(boxes.passwordRequests.size(), c.requests);
        EXPECT_EQ(boxes.errors.size(), c.reports);
        EXPECT_EQ(StripWidth(Find<TImage>("img_Render")) > 0, c.drawn);
        window.reset();
    }
}

// The palettes of an encrypted pack are measured with the password their first render
// asked for: their samples show the hand and insert their codes, and nothing asks again.
TEST_F(WindowTest, PaletteSamplesOfAnEncryptedPackWorkOnceThePasswordIsGiven)
{
    boxes.passwordAnswers = {"letmein"};
    Start(ArchiveWithGlyphs(folder, "1234567890abcdefghijklmnopqrstuvwxyz/*-+?@_[]=|<>,.", "secret.gfx", "letmein"));
    ASSERT_EQ(boxes.passwordRequests.size(), 1u);
    ASSERT_EQ(boxes.errors, std::vector<std::string>{});

    TImage* palette = Find<TImage>("img_Colors");
    // The first sample, "^11", begins where the centred strip does.
    const QPoint first((palette->width() - StripWidth(palette)) / 2 + RenderedWidth("1") / 2, palette->height() / 2);
    QMouseEvent move(QEvent::MouseMove, first, palette->mapToGlobal(first), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(palette, &move);
    EXPECT_EQ(palette->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(palette, Qt::LeftButton, {}, first);
    EXPECT_EQ(Find<TTextBox>("edt_Text")->Text(), "^1");
    EXPECT_EQ(boxes.passwordRequests.size(), 1u);
}

TEST_F(WindowTest, ARenderStartedWhileItsBoxIsOpenWaitsForIt)
{
    const std::string archive = ArchiveWithGlyphs(folder, "m0", "secret.gfx", "letmein");
    boxes.passwordAnswers = {"letmein"};
    window = std::make_unique<Tfrm_Main>(boxes.Hooks(archive));
    OpenWithoutPalettes(archive);
    int nestedRenders = 0;
    bool boxOpen = false;
    boxes.whilePasswordBoxOpen = [&] {
        // A render run at once inside the open box would ask again; failing it here
        // ends the outer render before it draws into a strip that changed under it.
        if (boxOpen) {
            throw std::runtime_error("a render ran inside another");
        }
        boxOpen = true;
        // A tab change and a second text arrive through the box's event loop.
        ++nestedRenders;
        Find<TTextBox>("edt_Text")->SetText("00");
        Find<TTextBox>("edt_Text")->SetText("0");
        boxOpen = false;
    };
    Find<TTextBox>("edt_Text")->SetText("m");
    EXPECT_EQ(nestedRenders, 1);
    EXPECT_EQ(boxes.passwordRequests.size(), 1u);
    EXPECT_EQ(boxes.errors, std::vector<std::string>{});
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), RenderedWidth("0"))
        << "the latest text is rendered after the box";
}

TEST_F(WindowTest, FoldingGivesTheHeightToTheTabsAndKeepsThePictures)
{
    StartWithShippedArchive();
    const int tabsHeight = Find<QTabWidget>("pc_Tabs")->height();
    const TGraphic* palette = Find<TImage>("img_Colors")->Picture().Graphic();
    const int paletteWidth = StripWidth(Find<TImage>("img_Colors"));

    QTest::mouseClick(Find<QToolButton>("SpeedButton1"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(Find<QFrame>("Panel3")->height(), 28);
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->height(), tabsHeight + 72);
    EXPECT_FALSE(Find<QFrame>("Panel4")->isVisible());
    EXPECT_TRUE(Find<QToolButton>("SpeedButton1")->isVisible());
    EXPECT_FALSE(Find<QToolButton>("SpeedButton1")->isChecked());
    EXPECT_EQ(Find<QToolButton>("SpeedButton1")->geometry().right(), Find<QFrame>("Panel3")->width() - 2);

    QTest::mouseClick(Find<QToolButton>("SpeedButton1"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(Find<QFrame>("Panel3")->height(), 100);
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->height(), tabsHeight);
    EXPECT_TRUE(Find<QFrame>("Panel4")->isVisible());
    EXPECT_EQ(Find<TImage>("img_Colors")->Picture().Graphic(), palette);
    EXPECT_EQ(StripWidth(Find<TImage>("img_Colors")), paletteWidth);
}

TEST_F(WindowTest, TheWindowKeepsItsMinimumAndGivesExtraSpaceToTabsAndBoxes)
{
    StartWithShippedArchive();
    if (QFontMetrics(window->font()).height() != 13) {
        GTEST_SKIP() << "the designed sizes hold for a 13-pixel window font";
    }
    EXPECT_EQ(Find<TImage>("img_Render")->size(), QSize(338, 45));
    EXPECT_EQ(Find<TImage>("img_Colors")->size(), QSize(338, 34));
    EXPECT_EQ(Find<TImage>("img_Colors2")->size(), QSize(338, 32));
    const QSize minimum = window->size();
    window->resize(200, 200);
    QApplication::processEvents();
    EXPECT_GE(window->width(), minimum.width());
    EXPECT_GE(window->height(), minimum.height());
    EXPECT_EQ(window->centralWidget()->size(), QSize(344, 364));

    window->ToolButton1Click();
    window->resize(minimum + QSize(100, 50));
    QApplication::processEvents();
    EXPECT_EQ(Find<QFrame>("Panel1")->width(), 440);
    EXPECT_EQ(Find<QFrame>("Panel1")->height(), 55);
    for (TTextBox* box : {Find<TTextBox>("edt_Text"), window->ActivePageEdit()}) {
        EXPECT_EQ(box->geometry().left(), 8);
        EXPECT_EQ(box->parentWidget()->width() - box->geometry().right() - 1, 8);
    }
}

TEST_F(WindowTest, EveryPartStandsAtItsDesignedPlaceAndFollowsTheRightEdge)
{
    StartWithShippedArchive();
    if (QFontMetrics(window->font()).height() != 13) {
        GTEST_SKIP() << "the designed places hold for a 13-pixel window font";
    }
    // Right-anchored parts keep their distance to the parent's right edge: the ones with
    // a fixed left edge widen, the ones with a fixed width move.
    constexpr int kFree = -1;
    struct Place {
        const char* name;
        int left; // kFree: follows the right edge
        int top;
        int width;       // kFree: set by the text or by the right edge
        int height;      // kFree: set by the text
        int rightMargin; // kFree: not anchored to the right
    };
    const Place places[] = {
        {"ToolButton1", 0, 3, 23, 22, kFree},    {"ToolButton2", 23, 3, 23, 22, kFree},
        {"ToolButton3", 46, 3, 8, 22, kFree},    {"ToolButton4", 54, 3, 23, 22, kFree},
        {"ToolButton5", 77, 3, 23, 22, kFree},   {"edt_Text", 8, 24, kFree, 21, 8},
        {"Image1", 8, 8, 32, 32, kFree},         {"Label1", 48, 8, kFree, kFree, kFree},
        {"Label2", 48, 24, kFree, kFree, kFree}, {"Label5", 8, 56, kFree, 41, 7},
        {"Bevel1", 8, 104, kFree, 17, 9},        {"Label3", 8, 112, kFree, kFree, kFree},
        {"Label4", kFree, 112, 100, 13, 9},      {"SpeedButton1", kFree, 4, 73, 22, 1},
        {"Panel4", 0, 32, kFree, 68, 0},         {"img_Render", 1, 1, kFree, 45, 1},
    };
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(1);
    const QSize designed = window->size();
    for (const int wider : {0, 100}) {
        window->resize(designed + QSize(wider, 0));
        QApplication::processEvents();
        for (const Place& place : places) {
            SCOPED_TRACE(std::string(place.name) + " with the window " + std::to_string(wider) + " wider");
            const QWidget* part = Find<QWidget>(place.name);
            const QRect seen = part->geometry();
            const std::pair<int, int> expected[] = {
                {seen.left(), place.left},
                {seen.top(), place.top},
                {seen.width(), place.width},
                {seen.height(), place.height},
                {part->parentWidget()->width() - seen.right() - 1, place.rightMargin}};
            for (const auto& [value, wanted] : expected) {
                if (wanted != kFree) {
                    EXPECT_EQ(value, wanted);
                }
            }
        }
    }
    // The box's label stands 3 pixels above it and leads the keyboard to it.
    auto* label = Find<QWidget>("TabSheet1")->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Text:");
    EXPECT_EQ(label->buddy(), Find<QWidget>("edt_Text"));
    EXPECT_EQ(label->geometry().topLeft(), QPoint(8, 8));
    EXPECT_EQ(label->geometry().bottom() + 1 + 3, Find<QWidget>("edt_Text")->geometry().top());
}
