// TTimer: a running countdown survives repeated starts and unchanged intervals.
#include "app/Timer.h"
#include "raster/Graphics.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void Wait(int milliseconds)
{
    QTest::qWait(milliseconds);
}

bool WaitUntil(const std::function<bool()>& condition, int timeout = 2000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeout) {
        QTest::qWait(5);
    }
    return condition();
}

} // namespace

TEST(TimerTest, OnlyANewIntervalOrAStartFromStoppedRestartsTheCountdown)
{
    struct Case {
        const char* name;
        std::function<void(TTimer&)> change;
        bool restarts;
    };
    const Case cases[] = {
        {"start while running", [](TTimer& t) { t.SetEnabled(true); }, false},
        {"the same interval", [](TTimer& t) { t.SetInterval(5000); }, false},
        {"a new interval", [](TTimer& t) { t.SetInterval(5001); }, true},
        {"stop and start",
         [](TTimer& t) {
             t.SetEnabled(false);
             t.SetEnabled(true);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTimer timer(5000);
        QElapsedTimer clock;
        timer.SetEnabled(true);
        clock.start();
        Wait(300);
        c.change(timer);
        const int remaining = timer.Backend().remainingTime();
        // A kept countdown has lost at least the time waited; a restarted one almost nothing.
        if (c.restarts) {
            EXPECT_GT(remaining, 4800);
        } else {
            EXPECT_LE(remaining, 5000 - static_cast<int>(clock.elapsed()) + 20);
        }
    }
}

TEST(TimerTest, TicksComeOneIntervalApartUntilStopped)
{
    TTimer timer(30);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetInterval(40);
    Wait(100);
    EXPECT_EQ(ticks, 0) << "a stopped timer does not tick";
    timer.SetEnabled(true);
    EXPECT_TRUE(WaitUntil([&] { return ticks >= 2; }));
    timer.SetEnabled(false);
    const int stoppedAt = ticks;
    Wait(100);
    EXPECT_EQ(ticks, stoppedAt);
}

TEST(TimerTest, ATimerTheSystemRefusesIsReportedAndTicksAfterTheNextChange)
{
    TTimer timer(50);
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetEnabled(true);
    try {
        timer.SetInterval(-1); // Qt refuses negative intervals
        FAIL() << "no exception";
    } catch (const EOutOfResources& error) {
        EXPECT_STREQ(error.what(), "Not enough timers available");
    }
    Wait(120);
    EXPECT_EQ(ticks, 0);
    timer.SetInterval(20);
    EXPECT_TRUE(WaitUntil([&] { return ticks >= 1; }));
}
