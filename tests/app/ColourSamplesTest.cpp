// Codes by click and by menu, and the attempt's length readout, driven as a user does.
#include "WindowFixture.h"

#include "app/AttemptPage.h"
#include "render/ColourNames.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <fstream>

using glyphtint::app::kInsertColourKey;
using glyphtint::app::kPaletteText1;
using glyphtint::app::kPaletteText2;

namespace {

class ColourSamplesTest : public WindowTest {
protected:
    // The middle column of the sample of code in a palette image, found from widths of our
    // own renders: the sample starts where the text before its glyph ends.
    QPoint SampleCentre(const char* image, char code)
    {
        const std::string palette = image == std::string("img_Colors") ? kPaletteText1 : kPaletteText2;
        const std::string group = std::string("^") + code + code;
        const std::size_t at = palette.find(group);
        EXPECT_NE(at, std::string::npos) << group;
        const int left = RenderedWidth(palette.substr(0, at + 2));
        const int right = RenderedWidth(palette.substr(0, at + 3));
        TImage* shown = Find<TImage>(image);
        const int origin = (shown->width() - StripWidth(shown)) / 2;
        return {origin + (left + right) / 2, shown->height() / 2};
    }

    void Click(const char* image, QPoint at) { QTest::mouseClick(Find<TImage>(image), Qt::LeftButton, {}, at); }

    QString Tooltip(const char* image, QPoint at)
    {
        QToolTip::hideText();
        // A tip fades out rather than vanishing at once.
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        TImage* shown = Find<TImage>(image);
        QHelpEvent help(QEvent::ToolTip, at, shown->mapToGlobal(at));
        QApplication::sendEvent(shown, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

    Qt::CursorShape CursorAt(const char* image, QPoint at)
    {
        TImage* shown = Find<TImage>(image);
        QMouseEvent move(QEvent::MouseMove, at, shown->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(shown, &move);
        return shown->cursor().shape();
    }

    QLabel* Readout(QWidget* page) { return page->findChild<QLabel*>("lbl_Lengths"); }
};

struct InsertCase {
    const char* name;
    std::string text;
    int selectionStart;
    int selectionLength; // 0: only the cursor, at selectionStart
    const char* image;
    char code;
    std::string expected;
};

// Names the case in the test list instead of dumping its bytes.
void PrintTo(const InsertCase& c, std::ostream* os)
{
    *os << c.name;
}

class InsertByClick : public ColourSamplesTest, public ::testing::WithParamInterface<InsertCase> { };

} // namespace

TEST_P(InsertByClick, PutsTheCodeAtTheCursorFocusesTheBoxAndRenders)
{
    const InsertCase& c = GetParam();
    StartWithShippedArchive();
    TTextBox* box = Find<TTextBox>("edt_Text");
    Change(box, c.text);
    if (c.selectionLength > 0) {
        box->setFocus();
        box->setSelection(c.selectionStart, c.selectionLength);
    } else {
        // The focus elsewhere: a box that loses it also loses its selection.
        Find<QWidget>("SpeedButton1")->setFocus();
        box->setCursorPosition(c.selectionStart);
    }

    Click(c.image, SampleCentre(c.image, c.code));
    QApplication::processEvents();
    EXPECT_EQ(box->Text(), c.expected);
    EXPECT_EQ(window->focusWidget(), box);
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), RenderedWidth(c.expected));
    EXPECT_TRUE(boxes.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(, InsertByClick,
                         ::testing::Values(InsertCase{"AtTheStart", "m00", 0, 0, "img_Colors", '1', "^1m00"},
                                           InsertCase{"BeforeASelection", "abcdef", 2, 2, "img_Colors2", '|',
                                                      "ab^|cdef"},
                                           InsertCase{"LastSampleAtTheEnd", "ab", 2, 0, "img_Colors2", '.', "ab^."}),
                         [](const auto& info) { return info.param.name; });

TEST_F(ColourSamplesTest, OnTheAboutTabOrBesideTheSamplesAClickDoesNothing)
{
    StartWithShippedArchive();
    TTextBox* box = Find<TTextBox>("edt_Text");
    Change(box, "m00");
    Click("img_Colors", QPoint(1, 1)); // left of the strip
    EXPECT_EQ(box->Text(), "m00");

    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(1);
    Click("img_Colors", SampleCentre("img_Colors", '3'));
    QApplication::processEvents();
    EXPECT_EQ(box->Text(), "m00");
    const std::string banner = window->BannerShown;
    EXPECT_EQ(std::string(BannerText).substr(0, banner.size()), banner) << "the banner only types the banner";
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(ColourSamplesTest, SamplesShowThePointingHandAndTheirCode)
{
    StartWithShippedArchive();
    EXPECT_EQ(CursorAt("img_Colors", SampleCentre("img_Colors", '3')), Qt::PointingHandCursor);
    // The tip names the colour too, for those who cannot tell it by sight.
    EXPECT_EQ(Tooltip("img_Colors", SampleCentre("img_Colors", '3')).toStdString(),
              "^3 " + std::string(glyphtint::render::ColourCodeName('3')));
    EXPECT_EQ(CursorAt("img_Colors", QPoint(1, 1)), Qt::ArrowCursor);
    EXPECT_EQ(Tooltip("img_Colors", QPoint(1, 1)), "");

    // The window with a readout and a sample's tip, for the README, when asked for.
    if (const QString path = qEnvironmentVariable("GLYPHTINT_SCREENSHOT"); !path.isEmpty()) {
        Change(Find<TTextBox>("edt_Text"), "^1m00 ^2gr\u00e9at");
        QApplication::processEvents();
        const QPoint at = SampleCentre("img_Colors", '3');
        ASSERT_EQ(Tooltip("img_Colors", at), "^3 yellow");
        QWidget* tip = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->inherits("QTipLabel") && top->isVisible()) {
                tip = top;
            }
        }
        ASSERT_NE(tip, nullptr);
        QImage shot = window->grab().toImage();
        QPainter painter(&shot);
        painter.drawPixmap(Find<TImage>("img_Colors")->mapTo(window.get(), at) + QPoint(4, 16), tip->grab());
        painter.end();
        EXPECT_TRUE(shot.save(path, "PNG")) << path.toStdString();
    }
}

TEST_F(ColourSamplesTest, TheContextMenuAndItsKeyOfferEveryCodeInItsColour)
{
    StartWithShippedArchive();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    TTextBox* box = Find<TTextBox>("edt_Text");
    Change(box, "ab");
    box->setCursorPosition(1);

    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(4, 4), box->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(box, &request);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    auto* colours = menu->findChild<QMenu*>("mnu_InsertColour");
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(colours->title().remove('&'), "Insert colour");
    std::string codes;
    QAction* four = nullptr;
    for (QAction* group : colours->actions()) {
        for (QAction* entry : group->menu()->actions()) {
            codes += entry->data().toChar().toLatin1();
            EXPECT_FALSE(entry->icon().isNull()) << entry->text().toStdString();
            four = entry->data().toChar() == '4' ? entry : four;
        }
    }
    EXPECT_EQ(codes.size(), 87u);
    ASSERT_NE(four, nullptr);
    four->trigger();
    menu->close();
    QApplication::processEvents();
    EXPECT_EQ(box->Text(), "a^4b");
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), RenderedWidth("a^4b"));

    // The closed menu leaves the window to be activated again, as a window manager does.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    box->setFocus();
    box->setSelection(0, 1);
    QTest::keySequence(box, kInsertColourKey);
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), "mnu_InsertColour");
    for (QAction* group : popup->actions()) {
        for (QAction* entry : group->menu()->actions()) {
            if (entry->data().toChar() == 'x') {
                entry->trigger();
            }
        }
    }
    popup->close();
    QApplication::processEvents();
    EXPECT_EQ(box->Text(), "^xa^4b");
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(ColourSamplesTest, EachAttemptShowsItsLengthsOnTheLabelsRow)
{
    StartWithShippedArchive();
    QWidget* page = Find<QWidget>("TabSheet1");
    QLabel* readout = Readout(page);
    ASSERT_NE(readout, nullptr);
    EXPECT_EQ(readout->text().toStdString(), "0 bytes \u00b7 0 shown");

    struct Case {
        std::string text;
        std::string shown;
        std::string undrawn; // the tooltip, when characters are lost
    };
    const Case cases[] = {
        {"^1m00", "5 bytes \u00b7 3 shown", ""},
        {"^1m00^7 is ^2gr\u00e9at^^7!", "23 bytes \u00b7 13 shown", "1 character is not drawn: \u00e9"},
        {"a\tb\U0001F600\u00fc\u00fc", "11 bytes \u00b7 2 shown",
         "4 characters are not drawn: U+0009 \U0001F600 \u00fc"},
        {"^", "1 byte \u00b7 0 shown", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Change(Find<TTextBox>("edt_Text"), c.text);
        EXPECT_EQ(readout->text().toStdString(), c.shown);
        if (c.undrawn.empty()) {
            EXPECT_EQ(readout->toolTip().indexOf("not drawn"), -1);
        } else {
            EXPECT_EQ(readout->toolTip().toStdString(), c.undrawn);
        }
    }

    // Typed into a second attempt, the count is that attempt's own.
    window->ToolButton1Click();
    Type("^3ab");
    EXPECT_EQ(Readout(window->ActivePageEdit()->parentWidget())->text().toStdString(), "4 bytes \u00b7 2 shown");
    EXPECT_EQ(readout->text().toStdString(), "1 byte \u00b7 0 shown");

    // On the label's row, right-aligned at the box's right edge; label and box stay put.
    if (QFontMetrics(window->font()).height() == 13) {
        auto* label = page->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
        QWidget* box = Find<QWidget>("edt_Text");
        EXPECT_EQ(label->geometry().topLeft(), QPoint(8, 8));
        EXPECT_EQ(box->geometry(), QRect(8, 24, page->width() - 16, 21));
        EXPECT_EQ(readout->geometry().top(), label->geometry().top());
        EXPECT_EQ(readout->geometry().height(), label->geometry().height());
        EXPECT_EQ(readout->geometry().right(), box->geometry().right());
        EXPECT_GE(readout->geometry().left(), label->geometry().right());
    }
}

TEST_F(ColourSamplesTest, WithoutAGlyphPackTheReadoutSaysThatNothingIsDrawn)
{
    const std::string damaged = (folder / "glyphtint.gfx").string();
    std::ofstream(damaged, std::ios::binary) << "not a zip archive at all";
    Start(damaged);
    ASSERT_EQ(boxes.errors.size(), 1u) << "the pack failed to open";
    QLabel* readout = Readout(Find<QWidget>("TabSheet1"));
    Change(Find<TTextBox>("edt_Text"), "a");
    EXPECT_EQ(readout->text().toStdString(), "1 byte \u00b7 nothing drawn");
    EXPECT_NE(readout->toolTip().indexOf("No glyph pack"), -1) << readout->toolTip().toStdString();
    // A new attempt knows it too.
    window->ToolButton1Click();
    EXPECT_EQ(Readout(window->ActivePageEdit()->parentWidget())->text().toStdString(), "0 bytes \u00b7 nothing drawn");
}

TEST_F(ColourSamplesTest, TheColourKeyOpensTheMenuWithItsFirstEntryHighlightedForTheArrowKeys)
{
    StartWithShippedArchive();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    TTextBox* box = Find<TTextBox>("edt_Text");
    box->setFocus();
    QTest::keySequence(box, kInsertColourKey);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(menu->activeAction(), nullptr) << "an entry is highlighted, so the arrows act at once";
    EXPECT_EQ(menu->activeAction(), menu->actions().first());

    // Down moves to the letters, Right opens them on their first entry, Return inserts it.
    QTest::keyClick(menu, Qt::Key_Down);
    EXPECT_EQ(menu->activeAction()->text().remove('&').toStdString(), "Letters a-z");
    QTest::keyClick(menu, Qt::Key_Right);
    auto* letters = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(letters, nullptr);
    ASSERT_NE(letters, menu);
    QTest::keyClick(letters, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(box->Text(), "^a");
    EXPECT_TRUE(boxes.errors.empty());
}
