// What a screen reader finds in the window: the accessible tree, and the events it hears.
#include "WindowFixture.h"

#include "app/Accessibility.h"
#include "app/AttemptPage.h"
#include "render/ColourNames.h"
#include "render/ColourSamples.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QElapsedTimer>
#include <QMenu>
#include <QLabel>
#include <QStatusBar>
#include <QTabBar>

#include <cstdio>
#include <set>

// Qt sends accessibility events only while a screen reader is attached, which the offscreen
// platform never has; the test attaches as the platform would, through Qt's own switch.
class QPlatformAccessibility {
public:
    void setActive(bool active);
};
class QPlatformIntegration {
public:
    QPlatformAccessibility* accessibility() const;
};
class QGuiApplicationPrivate {
public:
    static QPlatformIntegration* platform_integration;
};

namespace {

constexpr int kAboutPage = 1;

struct Heard {
    QAccessible::Event type;
    QObject* object;
    int child;
    QString name;        // the object's (or child's) name when the event came
    QString description; // and its description
};

std::vector<Heard>* listening = nullptr;

QString Told(QAccessibleInterface* iface, QAccessible::Text text)
{
    return iface != nullptr ? iface->text(text) : QString();
}

void Hear(QAccessibleEvent* event)
{
    // The child's interface, for an event about a child.
    QAccessibleInterface* iface = event->accessibleInterface();
    listening->push_back({event->type(), event->object(), event->child(), Told(iface, QAccessible::Name),
                          Told(iface, QAccessible::Description)});
    // GLYPHTINT_A11Y_DUMP=1 prints what a screen reader is told, step by step.
    if (qEnvironmentVariableIsSet("GLYPHTINT_A11Y_DUMP")) {
        const QObject* object = event->object();
        std::fprintf(stderr, "  event 0x%04x on %s%s child %d: name \"%s\" description \"%s\"\n",
                     static_cast<unsigned>(event->type()), object ? object->metaObject()->className() : "-",
                     object ? (" " + object->objectName()).toUtf8().constData() : "", event->child(),
                     listening->back().name.toUtf8().constData(), listening->back().description.toUtf8().constData());
    }
}

} // namespace

class AccessibilityTest : public WindowTest {
protected:
    void SetUp() override
    {
        listening = &heard;
        QAccessible::installUpdateHandler(Hear);
        QGuiApplicationPrivate::platform_integration->accessibility()->setActive(true);
    }
    void TearDown() override
    {
        QGuiApplicationPrivate::platform_integration->accessibility()->setActive(false);
        QAccessible::installUpdateHandler(nullptr);
        listening = nullptr;
    }

    void Step(const char* what)
    {
        if (qEnvironmentVariableIsSet("GLYPHTINT_A11Y_DUMP")) {
            std::fprintf(stderr, "%s\n", what);
        }
        heard.clear();
    }

    QAccessibleInterface* Of(const char* name) { return QAccessible::queryAccessibleInterface(Find<QWidget>(name)); }

    std::vector<Heard> HeardFrom(const QObject* object, QAccessible::Event type) const
    {
        std::vector<Heard> found;
        for (const Heard& h : heard) {
            if (h.object == object && h.type == type) {
                found.push_back(h);
            }
        }
        return found;
    }

    // The picture's description once the render of the last change is done: a render the
    // pacer puts off (a slow machine, a long text) comes from the event loop.
    QString PictureToldAs(const QString& expected)
    {
        QAccessibleInterface* picture = Of("img_Render");
        QElapsedTimer waited;
        waited.start();
        while (picture->text(QAccessible::Description) != expected && waited.elapsed() < 20000) {
            QTest::qWait(10);
        }
        return picture->text(QAccessible::Description);
    }

    void Press(QWidget* at, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(at, key, modifiers);
    }

    std::vector<Heard> heard;
};

TEST_F(AccessibilityTest, ThePictureIsAnImageToldInWordsOncePerRender)
{
    StartWithShippedArchive();
    QAccessibleInterface* picture = Of("img_Render");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->role(), QAccessible::Graphic);
    EXPECT_EQ(picture->text(QAccessible::Name), "Picture");
    EXPECT_EQ(picture->text(QAccessible::Description), "Nothing drawn");

    Step("typing ^1m00 ^7says");
    Type("^1m00 ^7says");
    EXPECT_EQ(PictureToldAs("m00 in red, says in white"), "m00 in red, says in white");
    const auto changes = HeardFrom(Find<QWidget>("img_Render"), QAccessible::DescriptionChanged);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back().description, "m00 in red, says in white");
    // Keys that change nothing drawn ("^", "^1", " ") are no news.
    for (std::size_t i = 1; i < changes.size(); ++i) {
        EXPECT_NE(changes[i].description, changes[i - 1].description) << i;
    }

    // A pasted page is told in its first few hundred characters.
    Change(Find<TTextBox>("edt_Text"), "^2" + std::string(4000, 'w'));
    const QString long_ = PictureToldAs(QString(499, 'w') + QChar(0x2026));
    EXPECT_LE(long_.size(), 500);
    EXPECT_TRUE(long_.startsWith("wwww"));
    EXPECT_TRUE(long_.endsWith(QChar(0x2026)));
    Change(Find<TTextBox>("edt_Text"), "^1");
    EXPECT_EQ(PictureToldAs("Nothing drawn"), "Nothing drawn");
    // A text refused for its size leaves no picture, and is told so.
    Change(Find<TTextBox>("edt_Text"), "^1m00");
    ASSERT_EQ(PictureToldAs("m00 in red"), "m00 in red");
    Change(Find<TTextBox>("edt_Text"), std::string(300000, 'w'));
    EXPECT_EQ(PictureToldAs("Nothing drawn"), "Nothing drawn");
    EXPECT_FALSE(boxes.errors.empty()) << "the refusal is reported";
}

// A long text is told from its first characters alone, in the words the whole text
// would get, as far as the cut: runs of one colour that only spaces part are one run, and
// a text whose first kilobytes draw nothing still gets its words.
TEST(PictureDescription, ALongTextIsToldAsItsWholeWouldBeUpToTheCut)
{
    std::string merging;
    while (merging.size() < 60000) {
        merging += "^1ab ^2 ^1cd^7  ";
    }
    std::string lateWords(9000, '^');
    for (int i = 0; lateWords.size() < 40000; ++i) {
        lateWords += (i % 3 == 0 ? "^4" : "^b") + std::string(i % 7 + 1, 'w') + ' ';
    }
    const std::string undrawn = std::string(20000, '\x7f') + "^1m00 " + std::string(20000, '~') + "^3end";
    for (const std::string& text : {merging, lateWords, undrawn}) {
        const glyphtint::render::PictureStyle style;
        QString whole = QString::fromStdString(glyphtint::render::DescribePicture(text, style));
        if (whole.size() > 500) {
            whole = whole.left(499) + QChar(0x2026);
        }
        EXPECT_EQ(glyphtint::app::PictureDescription(text, style), whole) << text.substr(0, 40);
    }
}

TEST_F(AccessibilityTest, EachSampleIsANamedButtonThatInsertsItsCode)
{
    StartWithShippedArchive();
    auto* image = Find<TImage>("img_Colors");
    QAccessibleInterface* palette = QAccessible::queryAccessibleInterface(image);
    ASSERT_NE(palette, nullptr);
    // The samples as the mouse finds them, column by column.
    std::vector<char> codes;
    int lastLeft = -1;
    for (int x = 0; x < image->width(); ++x) {
        const auto sample = glyphtint::render::ColourSampleAt(
            glyphtint::app::kPaletteText1,
            glyphtint::render::MeasureGlyphWidths(Glyphs(), glyphtint::app::kPaletteText1), image->width(), x);
        if (sample && sample->left != lastLeft) {
            codes.push_back(sample->code);
            lastLeft = sample->left;
        }
    }
    ASSERT_EQ(codes.size(), 24u);
    ASSERT_EQ(palette->childCount(), 24);
    EXPECT_EQ(palette->text(QAccessible::Description).left(30), "Colour codes ^1 red, ^2 lime, ");
    for (int i = 0; i < palette->childCount(); ++i) {
        QAccessibleInterface* sample = palette->child(i);
        ASSERT_NE(sample, nullptr);
        EXPECT_EQ(sample->role(), QAccessible::Button);
        const std::string_view colour = glyphtint::render::ColourCodeName(static_cast<unsigned char>(codes[i]));
        EXPECT_EQ(sample->text(QAccessible::Name).toStdString(),
                  "^" + std::string(1, codes[i]) + " " + std::string(colour));
        EXPECT_EQ(palette->indexOfChild(sample), i);
    }
    EXPECT_EQ(palette->child(0)->text(QAccessible::Name), "^1 red");

    TTextBox* box = Find<TTextBox>("edt_Text");
    Change(box, "m00");
    box->setCursorPosition(0);
    QAccessibleActionInterface* press = palette->child(0)->actionInterface();
    ASSERT_NE(press, nullptr);
    press->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(box->Text(), "^1m00");
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(AccessibilityTest, EachPaletteIsOneTabStopWalkedWithTheArrowKeys)
{
    StartWithShippedArchive();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    TTextBox* box = Find<TTextBox>("edt_Text");
    box->setFocus();
    std::vector<QWidget*> stops;
    for (int i = 0; i < 12 && (stops.empty() || QApplication::focusWidget() != box); ++i) {
        stops.push_back(QApplication::focusWidget());
        Press(QApplication::focusWidget(), Qt::Key_Tab);
    }
    auto* first = Find<QWidget>("img_Colors");
    auto* second = Find<QWidget>("img_Colors2");
    EXPECT_EQ(std::count(stops.begin(), stops.end(), first), 1);
    EXPECT_EQ(std::count(stops.begin(), stops.end(), second), 1);

    first->setFocus(Qt::TabFocusReason);
    Step("Right, Right, End on the first palette");
    Press(first, Qt::Key_Right);
    Press(first, Qt::Key_Right);
    Press(first, Qt::Key_End);
    const auto moves = HeardFrom(first, QAccessible::Focus);
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_EQ(moves[0].child, 1);
    EXPECT_EQ(moves[0].name, "^2 lime");
    EXPECT_EQ(moves[2].child, 23);
    QAccessibleInterface* current = QAccessible::queryAccessibleInterface(first)->focusChild();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->text(QAccessible::Name).left(3), "^n ");
    // The current sample is framed on the screen too: black outside, white inside.
    const QRect framed(first->mapFromGlobal(current->rect().topLeft()), current->rect().size());
    const QImage shown = first->grab().toImage();
    const auto at = [&](int x, int y) { return shown.pixelColor(QPoint(x, y) * shown.devicePixelRatio()); };
    EXPECT_EQ(at(framed.left(), framed.center().y()), QColor(Qt::black));
    EXPECT_EQ(at(framed.left() + 1, framed.center().y()), QColor(Qt::white));

    Press(first, Qt::Key_Space);
    EXPECT_EQ(box->Text(), "^n");
    EXPECT_EQ(QApplication::focusWidget(), box) << "typing goes on in the box, as after a click";
    first->setFocus(Qt::TabFocusReason);
    Press(first, Qt::Key_Home);
    Press(first, Qt::Key_Left);
    Press(first, Qt::Key_Return);
    EXPECT_EQ(box->Text(), "^n^1");
}

TEST_F(AccessibilityTest, TheBannerIsToldAsAWholeAndItsTicksAreSilent)
{
    StartWithShippedArchive();
    QTabBar* bar = Find<QTabWidget>("pc_Tabs")->tabBar();
    Step("selecting About");
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(kAboutPage).center());
    const QString whole = QString::fromStdString(glyphtint::render::DescribePicture(BannerText));
    ASSERT_EQ(PictureToldAs(whole), whole);
    Step("ten banner ticks");
    for (int i = 0; i < 10; ++i) {
        window->RunGuarded([this] { window->tmr_TellerTimer(); });
    }
    QElapsedTimer waited;
    waited.start();
    while (StripWidth(Find<TImage>("img_Render")) == 0 && waited.elapsed() < 20000) {
        QTest::qWait(10);
    }
    ASSERT_GT(StripWidth(Find<TImage>("img_Render")), 0) << "the banner is being typed";
    EXPECT_TRUE(heard.empty()) << heard.size() << " events, the first of type " << std::hex
                               << (heard.empty() ? 0 : heard.front().type);
    EXPECT_EQ(Of("img_Render")->text(QAccessible::Description), whole);
}

TEST_F(AccessibilityTest, CtrlLOpensTheColourMenuAtItsFirstEntry)
{
    StartWithShippedArchive();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    TTextBox* box = Find<TTextBox>("edt_Text");
    box->setFocus();
    EXPECT_TRUE(Of("edt_Text")->text(QAccessible::Description).contains("Ctrl+L inserts a colour code"));
    Step("Ctrl+L");
    QTest::keySequence(box, glyphtint::app::kInsertColourKey);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->activeAction(), menu->actions().value(0));
    const auto focus = HeardFrom(menu, QAccessible::Focus);
    ASSERT_FALSE(focus.empty());
    EXPECT_EQ(focus.back().child, 0);
    Step("Right, Down: the second digit");
    Press(menu, Qt::Key_Right);
    auto* digits = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(digits, nullptr);
    Press(digits, Qt::Key_Down);
    ASSERT_NE(digits->activeAction(), nullptr);
    EXPECT_EQ(digits->activeAction()->text().remove('&'), "^1 red");
    Step("Enter");
    Press(digits, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(box->Text(), "^1");
}

TEST_F(AccessibilityTest, PartsAreNamedAddTabFocusesTheNamedBoxAndCopyIsConfirmed)
{
    StartWithShippedArchive();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(Of("ToolBar1")->text(QAccessible::Name), "Commands");
    EXPECT_EQ(Of("TabSheet1")->text(QAccessible::Name), "Attempt 1 page");
    EXPECT_EQ(Of("TabSheet2")->text(QAccessible::Name), "About page");
    EXPECT_EQ(Of("Image1")->text(QAccessible::Name), "glyphtint icon");
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(Find<QTabWidget>("pc_Tabs")->tabBar())
                     ->text(QAccessible::Name)
                     .isEmpty());
    Find<QWidget>("edt_Text")->setFocus();

    Step("Ctrl+T");
    Press(QApplication::focusWidget(), Qt::Key_T, Qt::ControlModifier);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_EQ(focus, window->ActivePageEdit());
    // Qt tells of the box losing the focus as a focus event too; nothing else may get it.
    for (const Heard& h : heard) {
        EXPECT_TRUE(h.type != QAccessible::Focus || h.object == focus || h.object == Find<QWidget>("edt_Text"))
            << "the focus passed " << h.name.toStdString();
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(focus)->text(QAccessible::Name), "Text, Attempt 2");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(focus->parentWidget())->text(QAccessible::Name), "Attempt 2 page");

    QTest::keyClicks(focus, "m00");
    for (int copy = 1; copy <= 2; ++copy) {
        SCOPED_TRACE(copy);
        Step("Ctrl+Shift+C");
        Press(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        bool confirmed = false;
        for (const Heard& h : heard) {
            auto* widget = qobject_cast<QWidget*>(h.object);
            confirmed =
                confirmed || (h.type == QAccessible::NameChanged && h.name == "Picture copied" && widget != nullptr &&
                              window->findChild<QStatusBar*>("StatusBar1")->isAncestorOf(widget));
        }
        EXPECT_TRUE(confirmed);
    }
    // The confirmation goes with the picture it was for.
    QTest::keyClicks(QApplication::focusWidget(), "!");
    EXPECT_EQ(window->findChild<QLabel*>("lbl_Status")->text(), "");
    EXPECT_TRUE(boxes.errors.empty());
}
