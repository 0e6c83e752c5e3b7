#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <thread>
#include <vector>

// The server's workers. cpp-httplib keeps a worker for the whole life of a kept-alive
// connection, idle or not, so a fixed pool lets idle connections hold up new requests until
// their keep-alive time-out. This pool starts a worker whenever none is free (up to a cap far
// above any test's connection count); the workers stay for the server's life.
class GrowingThreadPool : public httplib::TaskQueue
{
public:
    explicit GrowingThreadPool(size_t maxThreads) : maxThreads_(maxThreads) {}
    ~GrowingThreadPool() override;

    void enqueue(std::function<void()> fn) override;
    void shutdown() override;

private:
    void Work();

    const size_t maxThreads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    size_t idle_ = 0;
    bool stopping_ = false;
};
