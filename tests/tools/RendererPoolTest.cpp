// The renderer pool without sockets: the wait it expects, what it refuses, refreshes on
// idle and busy renderers, and jobs kept to one renderer at a time.
#include "serve/RendererPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <vector>

using glyphtint::tools::RendererPool;
using glyphtint::tools::WaitEstimate;
using namespace std::chrono_literals;
using Delivery = RendererPool::Delivery;

namespace {

struct WaitCase {
    std::vector<double> renders;
    std::size_t ahead;
    unsigned renderers;
    double wait;
};

TEST(WaitEstimate, WaitsARenderPerRoundOfJobsAhead)
{
    const WaitCase cases[] = {
        {{}, 50, 1, 0},          // nothing measured yet: nothing to refuse by
        {{0.1}, 0, 1, 0},        // a free renderer
        {{0.1}, 1, 2, 0},        // one of two busy
        {{0.1}, 1, 1, 0.1},      // behind the one render running
        {{0.1}, 3, 2, 0.1},      // two running, one queued: the next round
        {{0.1}, 4, 2, 0.15},     // half way into the round after
        {{0.1, 0.3}, 1, 1, 0.2}, // the newer render weighs half
    };
    for (const WaitCase& c : cases) {
        WaitEstimate estimate(0.5);
        for (const double seconds : c.renders) {
            estimate.Add(seconds);
        }
        EXPECT_NEAR(estimate.WaitBehind(c.ahead, c.renderers), c.wait, 1e-9)
            << c.ahead << " ahead of " << c.renderers << " renderers after " << c.renders.size() << " renders";
    }
}

// A job that starts, says so, and runs until let go.
struct Gate {
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    RendererPool::Job Job()
    {
        return [this](unsigned) -> Delivery {
            started.set_value();
            released.wait();
            return {};
        };
    }
};

TEST(RendererPool, RefusesAJobExpectedToWaitPastTheBudget)
{
    std::atomic<int> ran = 0;
    Gate gate;
    RendererPool pool(1, 0.05, [](unsigned) {});
    EXPECT_FALSE(pool.Submit([](unsigned) -> Delivery {
        std::this_thread::sleep_for(100ms);
        return {};
    }));
    EXPECT_FALSE(pool.Submit(gate.Job()));
    // The gate starts once the long render is timed: the estimate is a render of 0.1 s.
    gate.started.get_future().wait();
    const std::optional<double> refused = pool.Submit([&](unsigned) -> Delivery {
        ++ran;
        return {};
    });
    ASSERT_TRUE(refused);
    EXPECT_GE(*refused, 0.1);
    gate.release.set_value();
    std::promise<void> done;
    while (pool.Submit([&](unsigned) -> Delivery {
        done.set_value();
        return {};
    })) { }
    done.get_future().wait();
    EXPECT_EQ(ran, 0);
}

TEST(RendererPool, DeliversOnceTheRenderIsCounted)
{
    RendererPool pool(1, 0.05, [](unsigned) {});
    std::promise<std::optional<double>> resubmitted;
    const auto render = [](unsigned) -> Delivery {
        std::this_thread::sleep_for(100ms);
        return {};
    };
    pool.Submit(render);
    // A client answered asks again at once: the renderer it had is free.
    pool.Submit([&](unsigned) -> Delivery {
        std::this_thread::sleep_for(100ms);
        return [&] { resubmitted.set_value(pool.Submit([](unsigned) -> Delivery { return {}; })); };
    });
    EXPECT_EQ(resubmitted.get_future().get(), std::nullopt);
}

TEST(RendererPool, RefreshesIdleRenderersAtOnceAndBusyOnesBeforeTheirNextJob)
{
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> refreshed(3);
    const auto refresh = [&](unsigned renderer) {
        const std::lock_guard lock(mutex);
        ++refreshed[renderer];
        changed.notify_all();
    };
    {
        RendererPool idle(3, 10, refresh);
        idle.Refresh();
        std::unique_lock lock(mutex);
        EXPECT_TRUE(changed.wait_for(lock, 30s, [&] { return refreshed == std::vector{1, 1, 1}; }));
    }
    refreshed.assign(3, 0);
    Gate gate;
    RendererPool busy(1, 10, refresh);
    busy.Submit(gate.Job());
    gate.started.get_future().wait();
    busy.Refresh();
    std::promise<int> seen;
    busy.Submit([&](unsigned) -> Delivery {
        const std::lock_guard lock(mutex);
        seen.set_value(refreshed[0]);
        return {};
    });
    gate.release.set_value();
    EXPECT_EQ(seen.get_future().get(), 1);
}

TEST(RendererPool, RunsEveryJobTakenOnOneRendererAtATime)
{
    constexpr unsigned kRenderers = 3;
    std::atomic<int> ran = 0;
    std::atomic<bool> overlapped = false;
    std::vector<std::atomic<int>> inside(kRenderers);
    {
        Gate gate; // outlives the pool, whose renderer may still be waiting on it
        RendererPool pool(kRenderers, 1e9, [](unsigned) {});
        pool.Submit(gate.Job());
        std::vector<std::thread> clients;
        for (int c = 0; c < 8; ++c) {
            clients.emplace_back([&] {
                for (int n = 0; n < 200; ++n) {
                    pool.Submit([&](unsigned renderer) -> Delivery {
                        overlapped = overlapped || ++inside[renderer] != 1;
                        --inside[renderer];
                        return [&] { ++ran; };
                    });
                }
            });
        }
        for (std::thread& client : clients) {
            client.join();
        }
        gate.release.set_value();
        // The pool goes with jobs still queued: each is run first.
    }
    EXPECT_EQ(ran, 8 * 200);
    EXPECT_FALSE(overlapped);
}

} // namespace
