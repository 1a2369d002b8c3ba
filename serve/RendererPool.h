// RendererPool: a fixed set of renderer threads taking jobs in turn, each renderer with
// state of its own, and the wait a new job would have, estimated from recent render times.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <queue>
#include <thread>
#include <vector>

namespace glyphtint::tools {

// Recent render time as a moving average that forgets old renders geometrically, and
// the wait it makes for a job behind others.
class WaitEstimate {
public:
    // weight: how much the newest render counts, 0 < weight <= 1.
    explicit WaitEstimate(double weight = 0.2);
    void Add(double seconds);
    // The seconds a new job waits for a renderer when `ahead` jobs are queued or
    // running before it on `renderers` renderers.
    double WaitBehind(std::size_t ahead, unsigned renderers) const;

private:
    double weight_;
    double mean_ = 0;
    bool any_ = false;
};

class RendererPool {
public:
    // What a job leaves to be done once its render is counted, such as sending its
    // answer: a client that asks again at once finds the renderer free.
    using Delivery = std::function<void()>;
    // Runs on the renderer's own thread, and like its delivery must not throw.
    using Job = std::function<Delivery(unsigned renderer)>;

    // Starts renderers threads. refresh runs on a renderer's thread, before its next job,
    // each time Refresh() asks, and at once when the renderer is idle. A job is refused
    // when the wait it would have passes maxWaitSeconds.
    RendererPool(unsigned renderers, double maxWaitSeconds, std::function<void(unsigned renderer)> refresh);
    // Runs every job still queued, then stops the threads.
    ~RendererPool();
    RendererPool(const RendererPool&) = delete;
    RendererPool& operator=(const RendererPool&) = delete;

    // Queues job; or, when its expected wait is past the budget, leaves it unrun and
    // gives that wait in seconds.
    std::optional<double> Submit(Job job);
    // Every renderer runs refresh before it takes another job.
    void Refresh();
    unsigned Size() const { return static_cast<unsigned>(threads_.size()); }

private:
    void Run(unsigned renderer);

    const double maxWaitSeconds_;
    const std::function<void(unsigned)> refresh_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::queue<Job> jobs_;
    std::size_t running_ = 0;
    std::vector<char> refreshDue_;
    WaitEstimate estimate_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace glyphtint::tools
