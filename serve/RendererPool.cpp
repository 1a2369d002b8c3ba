// RendererPool: one queue under one mutex; a renderer times each job it runs.
#include "serve/RendererPool.h"

#include <algorithm>
#include <chrono>

namespace glyphtint::tools {

WaitEstimate::WaitEstimate(double weight) : weight_(weight)
{
}

void WaitEstimate::Add(double seconds)
{
    mean_ = any_ ? mean_ + weight_ * (seconds - mean_) : seconds;
    any_ = true;
}

double WaitEstimate::WaitBehind(std::size_t ahead, unsigned renderers) const
{
    if (ahead < renderers) {
        return 0;
    }
    // The renderers take the jobs ahead in rounds; the new one starts after its round's
    // predecessors, a render each.
    return static_cast<double>(ahead - renderers + 1) / renderers * mean_;
}

RendererPool::RendererPool(unsigned renderers, double maxWaitSeconds, std::function<void(unsigned)> refresh)
    : maxWaitSeconds_(maxWaitSeconds), refresh_(std::move(refresh)), refreshDue_(renderers, 0)
{
    threads_.reserve(renderers);
    try {
        for (unsigned i = 0; i < renderers; ++i) {
            threads_.emplace_back([this, i] { Run(i); });
        }
    } catch (...) {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        work_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
        throw;
    }
}

RendererPool::~RendererPool()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

std::optional<double> RendererPool::Submit(Job job)
{
    {
        const std::lock_guard lock(mutex_);
        const double wait = estimate_.WaitBehind(jobs_.size() + running_, Size());
        if (wait > maxWaitSeconds_) {
            return wait;
        }
        jobs_.push(std::move(job));
    }
    work_.notify_one();
    return std::nullopt;
}

void RendererPool::Refresh()
{
    {
        const std::lock_guard lock(mutex_);
        std::fill(refreshDue_.begin(), refreshDue_.end(), 1);
    }
    work_.notify_all();
}

void RendererPool::Run(unsigned renderer)
{
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] { return stopping_ || refreshDue_[renderer] || !jobs_.empty(); });
        if (refreshDue_[renderer]) {
            refreshDue_[renderer] = 0;
            lock.unlock();
            refresh_(renderer);
            lock.lock();
            continue;
        }
        if (jobs_.empty()) {
            return; // stopping, and nothing left to answer
        }
        Job job = std::move(jobs_.front());
        jobs_.pop();
        ++running_;
        lock.unlock();
        const Clock::time_point start = Clock::now();
        Delivery delivery = job(renderer);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        // Destroyed outside the lock: whatever the job held goes with it.
        job = nullptr;
        lock.lock();
        --running_;
        estimate_.Add(seconds);
        if (delivery) {
            lock.unlock();
            delivery();
            delivery = nullptr;
            lock.lock();
        }
    }
}

} // namespace glyphtint::tools
