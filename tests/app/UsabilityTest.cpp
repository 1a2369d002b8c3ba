// What a person meets in the window: keys, long texts, the password box, error boxes,
// and where the frame lands on the screen.
#include "WindowFixture.h"

#include "app/AttemptPage.h"
#include "app/Placement.h"
#include "app/RenderPacer.h"
#include "render/GlyphNames.h"
#include "render/TextLimits.h"

#include <QClipboard>
#include <QCursor>
#include <QDropEvent>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QTabBar>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <fstream>

using glyphtint::render::FullGlyphEntryName;
using glyphtint::test::WriteZip;

TEST(FramePosition, KeepsTheDesignedPlaceWhereTheWholeFrameFits)
{
    const QPoint designed(461, 532);
    struct Case {
        const char* name;
        QRect available;
        QSize frame;
        QPoint expected;
    };
    const Case cases[] = {
        {"fits as designed", {0, 0, 1920, 1200}, {356, 470}, designed},
        {"1280 x 800: moved up", {0, 0, 1280, 800}, {356, 470}, {461, 330}},
        {"1366 x 768 with a panel above", {0, 24, 1366, 744}, {356, 470}, {461, 298}},
        {"narrow: moved left", {0, 0, 700, 1200}, {356, 470}, {344, 532}},
        {"scale 2 on 1280 x 800: taller than the area", {0, 0, 640, 400}, {356, 470}, {284, 0}},
        {"fits nowhere: top-left of the area", {10, 20, 300, 300}, {356, 470}, {10, 20}},
        {"exactly the area", {0, 0, 356, 470}, {356, 470}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QPoint at = glyphtint::app::FramePosition(c.available, c.frame, designed);
        EXPECT_EQ(at, c.expected);
    }
}

TEST_F(WindowTest, KeysReachEveryCommandAndTypingFollowsTheNewTab)
{
    StartWithShippedArchive();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const auto press = [](int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
    };
    Type("m");
    // The focus is away from the text box, on the tab row.
    Find<QTabWidget>("pc_Tabs")->tabBar()->setFocus();
    press(Qt::Key_T);
    ASSERT_EQ(Find<QTabWidget>("pc_Tabs")->count(), 3);
    EXPECT_EQ(QApplication::focusWidget(), window->ActivePageEdit()) << "typing goes into the new attempt";
    QTest::keyClicks(QApplication::focusWidget(), "0");
    EXPECT_EQ(window->ActivePageEdit()->Text(), "0");

    // Ctrl+C copies the selected text, Ctrl+Shift+C the picture.
    window->ActivePageEdit()->selectAll();
    press(Qt::Key_C);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "0");
    press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasImage());

    press(Qt::Key_W);
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->count(), 2);

    // Tab reaches the Colors toggle; Space folds the panel and the toggle keeps the keys.
    Find<TTextBox>("edt_Text")->setFocus();
    for (int i = 0; i < 10 && QApplication::focusWidget() != Find<QToolButton>("SpeedButton1"); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    ASSERT_EQ(QApplication::focusWidget(), Find<QToolButton>("SpeedButton1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_FALSE(Find<QFrame>("Panel4")->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), Find<QToolButton>("SpeedButton1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(Find<QFrame>("Panel4")->isVisible());

    press(Qt::Key_Q);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(WindowTest, ABurstOfKeysAfterALongPasteCostsAtMostTwoRendersAndShowsTheBusyCursor)
{
    StartWithShippedArchive();
    struct Render {
        std::size_t length;
        bool busy;
    };
    std::vector<Render> renders;
    // The hooks are the window's own; a new window takes the recording one.
    glyphtint::app::WindowHooks hooks = boxes.Hooks(CopyOfShippedArchive(folder));
    hooks.rendered = [&](const std::string& text) {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        renders.push_back({text.size(), cursor != nullptr && cursor->shape() == Qt::WaitCursor});
    };
    window = std::make_unique<Tfrm_Main>(hooks);
    window->RunGuarded([this] { window->FormCreate(); });
    window->show();

    Type("m");
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_FALSE(renders[0].busy) << "a short text renders at a glance";

    const std::string pasted(100000, 'm');
    QGuiApplication::clipboard()->setText(QString::fromStdString(pasted));
    Find<TTextBox>("edt_Text")->clear();
    QTest::keyClick(Find<TTextBox>("edt_Text"), Qt::Key_V, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !renders.empty() && renders.back().length == pasted.size(); }, 60000));
    // The window paces keys by what a render takes, not by the text box's own work on a
    // paste: the render is timed as the window times it.
    const auto drawnFrom = std::chrono::steady_clock::now();
    TPicture timed;
    RenderCodedText(Glyphs(), pasted, timed);
    if (std::chrono::steady_clock::now() - drawnFrom < glyphtint::app::RenderPacer::kGlance) {
        GTEST_SKIP() << "this machine draws 100 000 characters at a glance: no keys need to wait";
    }
    renders.clear();

    QTest::keyClicks(Find<TTextBox>("edt_Text"), "abcde");
    EXPECT_EQ(window->ActivePageEdit()->Text(), pasted + "abcde") << "no key is lost";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !renders.empty() && renders.back().length == pasted.size() + 5; }, 60000));
    EXPECT_LE(renders.size(), 2u);
    for (const Render& render : renders) {
        EXPECT_TRUE(render.busy);
    }
    // The picture is that of the whole text: the pasted glyphs, then the five keys'.
    const int tail = RenderedWidth("abcde");
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), RenderedWidth("m") * 100000 + tail);
    TPicture expected;
    RenderCodedText(Glyphs(), "abcde", expected);
    const TBitmap* strip = Strip(Find<TImage>("img_Render"));
    const TBitmap& keys = expected.AsBitmap();
    const int offset = strip->Width() - tail;
    for (int x = 0; x < tail; x += 3) {
        ASSERT_EQ(strip->PixelAt(offset + x, keys.Height() / 2), keys.PixelAt(x, keys.Height() / 2)) << x;
    }
    EXPECT_TRUE(boxes.errors.empty());
}

// The box holds a text of the most bytes, counted in UTF-8 rather than in Qt's
// characters; an edit past it is not made, keeps the undo steps and says why.
TEST_F(WindowTest, EditsPastTheTextLimitAreRefusedInBytesAndSaySo)
{
    StartWithShippedArchive();
    TTextBox* box = Find<TTextBox>("edt_Text");
    QLabel* lengths = Find<QLabel>("lbl_Lengths");
    const auto paste = [box](const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    };
    // "é" is two bytes and draws nothing: half as many characters as the limit has bytes.
    const QString atLimit(static_cast<qsizetype>(glyphtint::render::kMaxTextBytes / 2), QChar(0xE9));
    paste(atLimit);
    ASSERT_EQ(box->Text().size(), glyphtint::render::kMaxTextBytes);
    EXPECT_EQ(lengths->text().toStdString(), "1048576 bytes \u00b7 0 shown");

    QTest::keyClicks(box, "m");
    EXPECT_EQ(box->Text().size(), glyphtint::render::kMaxTextBytes) << "one byte past the limit";
    EXPECT_EQ(lengths->text().toStdString(), "Too long: a text holds at most 1048576 bytes");

    // Ten million characters, from the keys and from the context menu: refused whole, and
    // the paste before them can still be undone.
    paste(QString(10000000, QChar('m')));
    EXPECT_EQ(box->Text().size(), glyphtint::render::kMaxTextBytes);
    QMenu* menu = static_cast<glyphtint::app::AttemptPage*>(box->parentWidget())->NewContextMenu();
    const QList<QAction*> commands = menu->actions();
    const auto pasteCommand =
        std::find_if(commands.begin(), commands.end(), [](QAction* a) { return a->text().startsWith("&Paste"); });
    ASSERT_NE(pasteCommand, commands.end());
    box->selectAll();
    (*pasteCommand)->trigger();
    delete menu;
    EXPECT_EQ(box->Text().size(), glyphtint::render::kMaxTextBytes);
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->Text(), "");
    EXPECT_EQ(lengths->text().toStdString(), "0 bytes \u00b7 0 shown");
    EXPECT_TRUE(boxes.errors.empty());
}

// Text that is served to its first read only, as a clipboard owner like xclip -loops 1
// or a password tool serves it.
class OnceOnlyText : public QMimeData {
public:
    explicit OnceOnlyText(QString text) : text_(std::move(text)) { }
    QStringList formats() const override { return {"text/plain"}; }
    mutable int reads = 0;

protected:
    QVariant retrieveData(const QString& type, QMetaType) const override
    {
        if (type != "text/plain") {
            return {};
        }
        return ++reads == 1 ? QVariant(text_) : QVariant(QString());
    }

private:
    QString text_;
};

TEST_F(WindowTest, APasteOrADropReadsItsTextOnceAndLands)
{
    StartWithShippedArchive();
    TTextBox* box = Find<TTextBox>("edt_Text");
    box->setFocus();
    auto* clipboard = new OnceOnlyText("^1m00");
    QGuiApplication::clipboard()->setMimeData(clipboard);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->Text(), "^1m00");
    EXPECT_EQ(clipboard->reads, 1);
    const TBitmap* drawn = Strip(Find<TImage>("img_Render"));
    ASSERT_NE(drawn, nullptr) << "the paste is drawn";
    EXPECT_GT(drawn->Width(), 0);

    // The context menu's Paste, the menu opened before it is chosen.
    box->clear();
    auto* offered = new OnceOnlyText("^4m00");
    QGuiApplication::clipboard()->setMimeData(offered);
    QMenu* menu = static_cast<glyphtint::app::AttemptPage*>(box->parentWidget())->NewContextMenu();
    const QList<QAction*> commands = menu->actions();
    const auto paste =
        std::find_if(commands.begin(), commands.end(), [](QAction* a) { return a->text().startsWith("&Paste"); });
    ASSERT_NE(paste, commands.end());
    EXPECT_TRUE((*paste)->isEnabled());
    (*paste)->trigger();
    delete menu;
    EXPECT_EQ(box->Text(), "^4m00");
    EXPECT_EQ(offered->reads, 1);
    box->setText("^1m00");

    // Dropped at the end of the text.
    OnceOnlyText dragged(" ^2hi");
    QDropEvent drop(QPointF(box->width() - 2, box->height() / 2), Qt::CopyAction, &dragged, Qt::LeftButton,
                    Qt::NoModifier);
    static_cast<QObject*>(box)->event(&drop);
    EXPECT_EQ(box->Text(), "^1m00 ^2hi");
    EXPECT_EQ(dragged.reads, 1);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(WindowTest, ThePasswordIsHiddenAndCancellingItNamesTheEntry)
{
    // One entry whose data the password box guards; its bytes are never read.
    const std::string archive = (folder / "secret.gfx").string();
    const std::filesystem::path glyphs = folder / "glyphs";
    std::filesystem::create_directories(glyphs);
    for (const auto& [entry, bytes] : ShippedGlyphs(folder, "m")) {
        std::ofstream(glyphs / entry, std::ios::binary) << bytes;
    }
    ASSERT_EQ(std::system(("cd " + glyphs.string() + " && zip -q -P letmein " + archive + " m.jpg").c_str()), 0);

    glyphtint::app::WindowHooks hooks = boxes.Hooks(archive);
    hooks.askPassword = nullptr; // the real box
    window = std::make_unique<Tfrm_Main>(hooks);
    OpenWithoutPalettes(archive);
    window->show();
    bool asked = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            ADD_FAILURE() << "no password box";
            return;
        }
        asked = true;
        EXPECT_EQ(box->textEchoMode(), QLineEdit::Password);
        box->reject();
    });
    Change(Find<TTextBox>("edt_Text"), "m");
    EXPECT_TRUE(asked);
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), 0);
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_EQ(boxes.errors[0], "The glyph \"m.jpg\" needs the glyph pack's password, and none was given.");
}

TEST_F(WindowTest, ErrorBoxesKeepTheMessageAndSayInWordsWhatToDo)
{
    struct Case {
        const char* name;
        std::function<std::string()> archive; // prepared before start
        std::function<void(const std::string& archive)> meanwhile;
        std::string message;
        std::string advice;
    };
    const Case cases[] = {
        {"damaged pack",
         [&] {
             const std::string path = (folder / "damaged.gfx").string();
             std::ofstream(path, std::ios::binary) << "not a zip archive at all";
             return path;
         },
         nullptr, "ZipArchive1: Archive is damaged. Open failed - Native error: 00048.", "glyphtint-gfx check"},
        {"pack cut short while the program runs", [&] { return CopyOfShippedArchive(folder); },
         [](const std::string& path) { std::filesystem::resize_file(path, 100); }, "Stream read error.",
         "changed on disk"},
        {"a glyph that is no JPEG",
         [&] {
             const std::string path = (folder / "bad-glyph.gfx").string();
             // The first glyph the window draws, that of the first palette.
             WriteZip(path, {{FullGlyphEntryName('1'), std::string(200, 'x')}});
             return path;
         },
         nullptr, "JPEG error #", "reinstall glyphtint"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes = {};
        const std::string archive = c.archive();
        window = std::make_unique<Tfrm_Main>(boxes.Hooks(archive));
        window->RunGuarded([this] { window->FormCreate(); });
        if (c.meanwhile) {
            c.meanwhile(archive);
        }
        if (boxes.errors.empty()) {
            Change(Find<TTextBox>("edt_Text"), "m");
        }
        ASSERT_FALSE(boxes.errors.empty());
        EXPECT_EQ(boxes.errors[0].rfind(c.message, 0), 0u) << boxes.errors[0];
        EXPECT_NE(boxes.advice[0].find(c.advice), std::string::npos) << boxes.advice[0];
        window.reset();
    }
}

TEST_F(WindowTest, TabFromTheTextBoxReachesOnlyControlsThatShow)
{
    StartWithShippedArchive();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* colors = Find<QToolButton>("SpeedButton1");
    TTextBox* box = Find<TTextBox>("edt_Text");

    // The first Tab from the text box lands on the Colors toggle.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), colors);
    const auto tabAround = [&] {
        box->setFocus();
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focused = QApplication::focusWidget();
            ASSERT_NE(focused, nullptr);
            EXPECT_TRUE(focused->isVisible()) << focused->objectName().toStdString() << " takes the focus unseen";
        }
    };
    tabAround();

    // Folded: Space on the toggle, which keeps the keys, then round again.
    colors->setFocus();
    QTest::keyClick(colors, Qt::Key_Space);
    ASSERT_FALSE(Find<QFrame>("Panel4")->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), colors);
    tabAround();
    EXPECT_TRUE(boxes.errors.empty());
}

TEST(PasswordBox, NamesTheEntryInItsTextUnderAShortTitle)
{
    const std::string entry = "a-rather-long-glyph-entry-name.jpg";
    const std::unique_ptr<QInputDialog> box = glyphtint::app::NewPasswordBox(nullptr, entry, "kept");
    box->show();
    QApplication::processEvents();
    EXPECT_EQ(box->windowTitle().toStdString(), "Password");
    EXPECT_NE(box->labelText().indexOf(QString::fromStdString(entry)), -1) << box->labelText().toStdString();
    EXPECT_EQ(box->textEchoMode(), QLineEdit::Password);
    EXPECT_EQ(box->textValue(), "kept");
    // The whole text shows: the box is at least as wide as its longest line.
    int widest = 0;
    for (const QString& line : box->labelText().split('\n')) {
        widest = std::max(widest, QFontMetrics(box->font()).horizontalAdvance(line));
    }
    EXPECT_GE(box->width(), widest);
}

// The box's own paste keeps Qt's undo steps: the paste is one, apart from the typing
// around it, and so is a paste over a selection.
TEST_F(WindowTest, APasteIsAnUndoStepOfItsOwn)
{
    StartWithShippedArchive();
    TTextBox* box = Find<TTextBox>("edt_Text");
    box->setFocus();
    QTest::keyClicks(box, "ab");
    QGuiApplication::clipboard()->setText("cd");
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClicks(box, "ef");
    EXPECT_EQ(box->Text(), "abcdef");
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->Text(), "abcd");
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->Text(), "ab");
    box->setSelection(1, 1);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->Text(), "acd");
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->Text(), "ab");
}
