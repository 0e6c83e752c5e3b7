#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace kvr {

// The library-wide upload speed limit, shared evenly by the running uploads. Each upload
// paces its own stream at limit / running uploads; because every stream re-reads both
// numbers before each chunk, a new limit or a finished neighbour takes effect at once.
class TrafficLimiter
{
public:
    static void SetLimit(int64_t bytesPerSecond);
    static int64_t Limit();

    // One running upload's share; construct while it streams (counts as running).
    class Stream
    {
    public:
        Stream();
        ~Stream();
        Stream(const Stream&) = delete;
        Stream& operator=(const Stream&) = delete;

        // Largest chunk to read next: small chunks keep a limited stream smooth.
        size_t MaxChunk(size_t wanted) const;
        // Waits until `bytes` more may go out. false when abort became true meanwhile.
        bool Throttle(size_t bytes, const std::atomic<int>& abort);

    private:
        using Clock = std::chrono::steady_clock;
        Clock::time_point next_{};
        bool started_ = false;
    };

private:
    static std::atomic<int64_t> limit_;
    static std::atomic<int> running_;
};

}  // namespace kvr
