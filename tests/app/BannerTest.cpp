// The About tab's banner: the typing cycle, the pause, re-entry and bounded failure reports.
#include "WindowFixture.h"

#include <QElapsedTimer>
#include <QTabBar>

#include <fstream>

namespace {

constexpr int kAboutPage = 1;

} // namespace

class BannerTest : public WindowTest {
protected:
    void SelectAbout()
    {
        QTabBar* bar = Find<QTabWidget>("pc_Tabs")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(Find<QTabWidget>("pc_Tabs")->count() - 1).center());
    }
    void Tick(int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            window->RunGuarded([this] { window->tmr_TellerTimer(); });
        }
    }
};

TEST_F(BannerTest, TypesOutPausesAndStartsAgain)
{
    StartWithShippedArchive();
    SelectAbout();
    ASSERT_EQ(Find<QTabWidget>("pc_Tabs")->currentIndex(), kAboutPage);
    EXPECT_TRUE(window->tmr_Teller.Enabled());
    EXPECT_EQ(window->tmr_Teller.Interval(), 100);

    Tick(2);
    EXPECT_EQ(window->BannerShown, "^1");
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), 0) << "a code alone draws nothing";
    Tick();
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), RenderedWidth("g"));

    Tick(42);
    EXPECT_EQ(window->BannerShown, BannerText);
    const TGraphic* whole = Find<TImage>("img_Render")->Picture().Graphic();
    const int wholeWidth = StripWidth(Find<TImage>("img_Render"));
    EXPECT_EQ(wholeWidth, RenderedWidth(std::string(BannerText)));

    Tick(); // the 46th: nothing new to show, the pause begins
    EXPECT_EQ(window->BannerCounter, 0);
    EXPECT_EQ(window->tmr_Teller.Interval(), 5000);
    EXPECT_EQ(Find<TImage>("img_Render")->Picture().Graphic(), whole);
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), wholeWidth);

    Tick(); // the next cycle
    EXPECT_EQ(window->BannerCounter, 1);
    EXPECT_EQ(window->tmr_Teller.Interval(), 100);
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), 0);
    EXPECT_TRUE(boxes.errors.empty());
}

TEST_F(BannerTest, LeavingDuringThePauseAndComingBackShowsTheWholeBannerForAFullPause)
{
    StartWithShippedArchive();
    SelectAbout();
    Tick(46);
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(0);
    EXPECT_FALSE(window->tmr_Teller.Enabled());
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), 0) << "the empty attempt";

    SelectAbout();
    EXPECT_TRUE(window->tmr_Teller.Enabled());
    EXPECT_EQ(window->tmr_Teller.Interval(), 5000);
    EXPECT_EQ(window->BannerCounter, 0);
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), RenderedWidth(std::string(BannerText)));
    EXPECT_GT(window->tmr_Teller.Backend().remainingTime(), 4000);
}

TEST_F(BannerTest, AddingATabWhileTheBannerRunsStopsItAndShowsTheNewAttempt)
{
    StartWithShippedArchive();
    SelectAbout();
    Tick(5);
    ASSERT_GT(StripWidth(Find<TImage>("img_Render")), 0);
    window->ToolButton1Click();
    EXPECT_FALSE(window->tmr_Teller.Enabled()) << "the banner belongs to the About tab";
    EXPECT_EQ(StripWidth(Find<TImage>("img_Render")), 0) << "the new attempt's empty text";
}

TEST_F(BannerTest, TheFirstLetterShowsAfterThreeTicksOfRealTime)
{
    StartWithShippedArchive();
    QElapsedTimer clock;
    clock.start();
    SelectAbout();
    // Ticks never come early, however busy the machine: the first letter needs the
    // third tick, 300 ms after the selection at the soonest.
    while (StripWidth(Find<TImage>("img_Render")) == 0 && clock.elapsed() < 20000) {
        QTest::qWait(5);
    }
    EXPECT_GT(StripWidth(Find<TImage>("img_Render")), 0);
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_GE(window->BannerCounter, 3);
}

TEST_F(BannerTest, AFailingBannerIsReportedOnceAndStopsUntilTheAboutTabIsSelectedAgain)
{
    const std::string damaged = (folder / "glyphtint.gfx").string();
    std::ofstream(damaged, std::ios::binary) << "PK but nothing more";
    Start(damaged);
    boxes.errors.clear();
    window->ToolButton1Click();
    SelectAbout();
    // Ticks keep coming while the report is open; they must not render or report again.
    int reportsWhileOpen = 0;
    bool reportOpen = false;
    boxes.whileErrorBoxOpen = [&] {
        if (reportOpen) {
            ++reportsWhileOpen;
            return;
        }
        reportOpen = true;
        Tick(5);
        reportOpen = false;
    };
    Tick(3);
    EXPECT_EQ(boxes.errors.size(), 1u);
    EXPECT_EQ(reportsWhileOpen, 0);
    EXPECT_FALSE(window->tmr_Teller.Enabled());

    boxes.whileErrorBoxOpen = {};
    Find<QTabWidget>("pc_Tabs")->setCurrentIndex(0);
    SelectAbout();
    EXPECT_TRUE(window->tmr_Teller.Enabled());
}
