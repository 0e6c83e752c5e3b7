#pragma once

#include <atomic>
#include <thread>

struct PlatformContext;

// Moves finished uploads through the platform's processing: waiting (10) -> transcoding (20)
// with thumbnail, cover and six snapshots -> released (60) with duration and MD5, spread over
// --process-seconds. Runs on a thread of its own.
class VideoProcessor
{
public:
    explicit VideoProcessor(PlatformContext& context);
    ~VideoProcessor();
    void Start();
    void Stop();

private:
    void Run();
    void Step();

    PlatformContext& context_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
