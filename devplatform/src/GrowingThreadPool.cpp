#include "GrowingThreadPool.h"

#include <system_error>

GrowingThreadPool::~GrowingThreadPool()
{
    shutdown();
}

void GrowingThreadPool::enqueue(std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(fn));
    // Jobs already waiting are counted against the idle workers that will take them.
    if (idle_ < jobs_.size() && threads_.size() < maxThreads_ && !stopping_) {
        try {
            threads_.emplace_back([this] { Work(); });
            return;
        } catch (const std::system_error&) {
            // No thread to be had: the job waits for a worker that is already there.
        }
    }
    wake_.notify_one();
}

void GrowingThreadPool::shutdown()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        threads.swap(threads_);
    }
    wake_.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

void GrowingThreadPool::Work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        --idle_;
        if (jobs_.empty()) {
            return;  // stopping, nothing left to do
        }
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}
