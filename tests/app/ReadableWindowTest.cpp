// The window for a person who sees poorly: the desktop's font size, one Colors toggle, a
// focus mark that stands out in light and dark themes, and a banner that can keep still.
#include "WindowFixture.h"

#include "app/Bevel.h"

#include <QAccessible>
#include <QFontInfo>
#include <QLabel>
#include <QProxyStyle>
#include <QTabBar>

#include <cmath>
#include <cstdlib>

namespace {

double Luminance(QRgb rgb)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

double Contrast(QRgb a, QRgb b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette DarkPalette()
{
    QPalette dark;
    const QColor window(53, 53, 53);
    for (auto [role, colour] : {std::pair{QPalette::Window, window},
                                {QPalette::Button, window},
                                {QPalette::AlternateBase, window},
                                {QPalette::Base, QColor(35, 35, 35)},
                                {QPalette::WindowText, QColor(Qt::white)},
                                {QPalette::Text, QColor(Qt::white)},
                                {QPalette::ButtonText, QColor(Qt::white)},
                                {QPalette::Light, QColor(90, 90, 90)},
                                {QPalette::Midlight, QColor(70, 70, 70)},
                                {QPalette::Mid, QColor(40, 40, 40)},
                                {QPalette::Dark, QColor(30, 30, 30)},
                                {QPalette::Shadow, QColor(Qt::black)},
                                {QPalette::Highlight, QColor(42, 130, 218)},
                                {QPalette::HighlightedText, QColor(Qt::black)}}) {
        dark.setColor(role, colour);
    }
    return dark;
}

// A desktop that asks for no animation, as a style that animates nothing says.
class StillStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override
    {
        return hint == SH_Widget_Animation_Duration ? 0 : QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

} // namespace

class ReadableWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        desktopFont_ = QApplication::font();
        desktopPalette_ = QApplication::palette();
    }
    void TearDown() override
    {
        window.reset();
        QApplication::setFont(desktopFont_);
        QApplication::setPalette(desktopPalette_);
    }

    void StartActive()
    {
        StartWithShippedArchive();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    std::vector<QToolButton*> ColorsButtons() const
    {
        std::vector<QToolButton*> found;
        for (QToolButton* button : Find<QWidget>("Panel3")->findChildren<QToolButton*>()) {
            if (button->text() == "Colors") {
                found.push_back(button);
            }
        }
        return found;
    }
    QToolButton* ShownColorsButton() const
    {
        for (QToolButton* button : ColorsButtons()) {
            if (button->isVisible()) {
                return button;
            }
        }
        ADD_FAILURE() << "no Colors button shows";
        return nullptr;
    }

    // Every visible named part that sticks out of its parent, shows less than its text
    // needs, or overlaps a sibling; the separator reaches under the credit lines by design.
    std::vector<std::string> CutOrOverlapping() const
    {
        std::vector<std::string> faults;
        std::vector<QWidget*> parts;
        for (QWidget* part : window->findChildren<QWidget*>()) {
            if (part->isVisible() && !part->objectName().isEmpty() && !part->objectName().startsWith("qt_")) {
                parts.push_back(part);
            }
        }
        for (QWidget* part : parts) {
            const std::string name = part->objectName().toStdString();
            if (!part->parentWidget()->rect().contains(part->geometry())) {
                faults.push_back(name + " sticks out of its parent");
            }
            const auto* label = qobject_cast<QLabel*>(part);
            const auto* button = qobject_cast<QAbstractButton*>(part);
            const auto* tool = qobject_cast<QToolButton*>(part);
            if (tool != nullptr && tool->toolButtonStyle() == Qt::ToolButtonIconOnly) {
                button = nullptr; // its text is only the tooltip
            }
            const auto linesHeight = [](const QLabel* wrapped) {
                const QRect room = wrapped->contentsRect();
                return wrapped->fontMetrics()
                    .boundingRect(QRect(0, 0, room.width(), 10000), Qt::TextWordWrap, wrapped->text())
                    .height();
            };
            if (label != nullptr && label->wordWrap() && linesHeight(label) > label->contentsRect().height()) {
                faults.push_back(name + " shows " + std::to_string(label->contentsRect().height()) + " of the " +
                                 std::to_string(linesHeight(label)) + " pixels its lines take");
            } else if ((label != nullptr && !label->wordWrap() && !label->text().isEmpty()) ||
                       (button != nullptr && !button->text().isEmpty())) {
                const QSize needed = part->sizeHint();
                if (needed.width() > part->width() || needed.height() > part->height()) {
                    faults.push_back(name + " is cut");
                }
            }
            for (QWidget* other : parts) {
                if (other < part && other->parentWidget() == part->parentWidget() &&
                    dynamic_cast<glyphtint::app::TBevel*>(other) == nullptr &&
                    dynamic_cast<glyphtint::app::TBevel*>(part) == nullptr &&
                    other->geometry().intersects(part->geometry())) {
                    faults.push_back(name + " overlaps " + other->objectName().toStdString());
                }
            }
        }
        const QTabBar* bar = Find<QTabWidget>("pc_Tabs")->tabBar();
        for (int i = 0; i < bar->count(); ++i) {
            const int needed = bar->fontMetrics().horizontalAdvance(bar->tabText(i)) + bar->iconSize().width();
            if (bar->tabRect(i).width() < needed || !bar->rect().contains(bar->tabRect(i))) {
                faults.push_back("tab " + bar->tabText(i).toStdString() + " is cut");
            }
        }
        return faults;
    }

    // Where the caller asks for them, pictures of the window for a person to look at.
    void Shoot(const std::string& name) const
    {
        if (const char* folder = std::getenv("GLYPHTINT_SHOTS")) {
            window->grab().save(QString::fromStdString(std::string(folder) + "/" + name + ".png"));
        }
    }

    QFont desktopFont_;
    QPalette desktopPalette_;
};

TEST_F(ReadableWindowTest, AtTheUsualDesktopFontEveryPartStandsWhereItStoodBefore)
{
    if (QFontInfo(QApplication::font()).pixelSize() != 12) {
        GTEST_SKIP() << "this desktop's font is not the usual 12 pixels";
    }
    StartWithShippedArchive();
    EXPECT_EQ(QFontInfo(window->font()).pixelSize(), 11);
    EXPECT_EQ(window->size(), QSize(344, 382));
    const std::pair<const char*, QRect> places[] = {
        {"MainMenu1", {0, 0, 344, 18}},  {"ToolBar1", {2, 2, 340, 29}},   {"ToolButton5", {77, 3, 23, 22}},
        {"pc_Tabs", {2, 31, 340, 176}},  {"TabSheet1", {0, 0, 336, 146}}, {"lbl_Lengths", {230, 8, 98, 13}},
        {"edt_Text", {8, 24, 320, 21}},  {"Panel1", {2, 207, 340, 55}},   {"img_Render", {1, 1, 338, 45}},
        {"Panel3", {2, 262, 340, 100}},  {"Panel4", {0, 32, 340, 68}},    {"img_Colors2", {1, 35, 338, 32}},
        {"Image1", {8, 8, 32, 32}},      {"Label1", {48, 8, 62, 13}},     {"Label2", {48, 24, 62, 13}},
        {"Label5", {8, 56, 321, 41}},    {"Bevel1", {8, 104, 319, 17}},   {"Label3", {8, 112, 219, 13}},
        {"Label4", {227, 112, 100, 13}},
    };
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(1);
    QApplication::processEvents();
    for (const auto& [name, place] : places) {
        const QRect seen = Find<QWidget>(name)->geometry();
        EXPECT_EQ(seen, place) << name << " at " << seen.x() << ", " << seen.y() << " " << seen.width() << " x "
                               << seen.height();
    }
    EXPECT_EQ(Find<QTabWidget>("pc_Tabs")->tabBar()->geometry(), QRect(0, 148, 187, 28));
    ASSERT_NE(ShownColorsButton(), nullptr);
    EXPECT_EQ(ShownColorsButton()->geometry(), QRect(266, 4, 73, 22));
}

TEST_F(ReadableWindowTest, LargerDesktopFontsGrowTheWindowWithNothingCutOrOverlapping)
{
    const int usual = QFontInfo(desktopFont_).pixelSize();
    for (const auto& [factor, windowPixels] : {std::pair{1.5, 17}, std::pair{2.0, 22}}) {
        SCOPED_TRACE("desktop font " + std::to_string(factor) + " times the usual size");
        QFont desktop = desktopFont_;
        desktop.setPixelSize(static_cast<int>(std::lround(12 * factor)));
        QApplication::setFont(desktop);
        StartWithShippedArchive();
        EXPECT_EQ(QFontInfo(window->font()).pixelSize(), windowPixels) << "the usual desktop font is " << usual;
        for (const int page : {0, 1}) {
            Find<QTabWidget>("pc_Tabs")->setCurrentIndex(page);
            QApplication::processEvents();
            EXPECT_EQ(CutOrOverlapping(), std::vector<std::string>{}) << "page " << page;
            Shoot("font-x" + std::to_string(factor).substr(0, 3) + "-page" + std::to_string(page));
        }
    }
}

TEST_F(ReadableWindowTest, ColorsIsOneToggleThatTheKeyboardReachesOnceAndThatSaysItsState)
{
    StartActive();
    ASSERT_EQ(ColorsButtons().size(), 1u) << "one button, so one focus stop";
    QToolButton* toggle = ColorsButtons()[0];
    QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(toggle);
    ASSERT_NE(spoken, nullptr);
    Find<TTextBox>("edt_Text")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), toggle);
    for (const bool unfolded : {false, true}) {
        QTest::keyClick(toggle, Qt::Key_Space);
        EXPECT_EQ(Find<QFrame>("Panel4")->isVisible(), unfolded);
        EXPECT_EQ(Find<QFrame>("Panel3")->height(), unfolded ? 100 : 28);
        EXPECT_EQ(QApplication::focusWidget(), toggle) << "the keys stay on the one toggle";
        EXPECT_TRUE(spoken->state().checkable);
        EXPECT_EQ(static_cast<bool>(spoken->state().checked), unfolded) << "pressed while the colours show";
    }
    QTest::keyClick(toggle, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), toggle);
    EXPECT_TRUE(QApplication::focusWidget()->isVisible());
}

TEST_F(ReadableWindowTest, TheFocusMarkContrastsAtLeastThreeToOneInLightAndDarkThemes)
{
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark theme" : "light theme");
        QApplication::setPalette(dark ? DarkPalette() : desktopPalette_);
        StartActive();
        QTabBar* bar = Find<QTabWidget>("pc_Tabs")->tabBar();
        ASSERT_NE(ShownColorsButton(), nullptr);
        for (QWidget* part : {static_cast<QWidget*>(bar), static_cast<QWidget*>(ShownColorsButton())}) {
            SCOPED_TRACE(part->objectName().toStdString());
            Find<TTextBox>("edt_Text")->setFocus();
            const QImage before = part->grab().toImage();
            part->setFocus(Qt::TabFocusReason);
            ASSERT_TRUE(part->hasFocus());
            const QImage after = part->grab().toImage();
            const QRect marked = part == bar ? bar->tabRect(bar->currentIndex()) : part->rect();
            // The mark: pixels that change by 3:1 or more when the focus arrives, at least
            // as many as a line around the tab or button.
            int changed = 0;
            for (int y = marked.top(); y <= marked.bottom(); ++y) {
                for (int x = marked.left(); x <= marked.right(); ++x) {
                    changed += Contrast(before.pixel(x, y), after.pixel(x, y)) >= 3.0 ? 1 : 0;
                }
            }
            Shoot(std::string(dark ? "dark" : "light") + "-focus-" + (part == bar ? "tab" : "colors"));
            EXPECT_GE(changed, 2 * (marked.width() + marked.height()))
                << "of " << marked.width() << " x " << marked.height();
        }
    }
}

TEST_F(ReadableWindowTest, AClickPausesTheBannerAndADesktopWithoutMotionNeverAnimatesIt)
{
    const auto note = [this] {
        for (const QLabel* label : Find<QWidget>("TabSheet2")->findChildren<QLabel*>()) {
            if (label->isVisible() && label->text().contains("banner", Qt::CaseInsensitive)) {
                return label->text().toStdString();
            }
        }
        return std::string("(none)");
    };
    StartWithShippedArchive();
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(1);
    for (int i = 0; i < 5; ++i) {
        window->RunGuarded([this] { window->tmr_TellerTimer(); });
    }
    TImage* banner = Find<TImage>("img_Render");
    QTest::mouseClick(banner, Qt::LeftButton);
    EXPECT_FALSE(window->tmr_Teller.Enabled());
    EXPECT_EQ(StripWidth(banner), RenderedWidth(std::string(BannerText))) << "paused, the whole banner shows";
    EXPECT_NE(note().find("paused"), std::string::npos) << note();
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(0);
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(1);
    EXPECT_FALSE(window->tmr_Teller.Enabled()) << "still paused on coming back";
    QTest::mouseClick(banner, Qt::LeftButton);
    EXPECT_TRUE(window->tmr_Teller.Enabled());
    EXPECT_EQ(note().find("paused"), std::string::npos) << note();
    Shoot("banner-running");

    auto* still = new StillStyle;
    still->setParent(window.get());
    window->setStyle(still);
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(0);
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(1);
    EXPECT_FALSE(window->tmr_Teller.Enabled());
    EXPECT_EQ(StripWidth(banner), RenderedWidth(std::string(BannerText)));
    EXPECT_NE(note().find("motion"), std::string::npos) << note();
    QTest::mouseClick(banner, Qt::LeftButton);
    EXPECT_FALSE(window->tmr_Teller.Enabled()) << "a click does not start what the desktop keeps still";
    EXPECT_TRUE(boxes.errors.empty());
}
