#include "TrafficLimiter.h"

#include <algorithm>
#include <thread>

namespace kvr {

std::atomic<int64_t> TrafficLimiter::limit_{0};
std::atomic<int> TrafficLimiter::running_{0};

namespace {
// Credit a stream may build up while idle: enough to ride over scheduling jitter, small
// enough that a burst cannot break the limit over any second.
constexpr auto kMaxCredit = std::chrono::milliseconds(50);
constexpr auto kMaxSleep = std::chrono::milliseconds(50);
}  // namespace

void TrafficLimiter::SetLimit(int64_t bytesPerSecond)
{
    limit_ = std::max<int64_t>(0, bytesPerSecond);
}

int64_t TrafficLimiter::Limit()
{
    return limit_;
}

TrafficLimiter::Stream::Stream()
{
    ++running_;
}

TrafficLimiter::Stream::~Stream()
{
    --running_;
}

size_t TrafficLimiter::Stream::MaxChunk(size_t wanted) const
{
    const int64_t limit = limit_;
    if (limit <= 0) {
        return wanted;
    }
    const int64_t share = limit / std::max(1, running_.load());
    // About 20 chunks per second per stream.
    return std::min<size_t>(wanted, static_cast<size_t>(std::max<int64_t>(1024, share / 20)));
}

bool TrafficLimiter::Stream::Throttle(size_t bytes, const std::atomic<int>& abort)
{
    const int64_t limit = limit_;
    if (limit <= 0) {
        started_ = false;
        return abort == 0;
    }
    const double share = double(limit) / std::max(1, running_.load());
    const auto now = Clock::now();
    if (!started_ || next_ < now - kMaxCredit) {
        next_ = now - (started_ ? kMaxCredit : Clock::duration::zero());
        started_ = true;
    }
    next_ +=
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(bytes / share));
    for (;;) {
        if (abort != 0) {
            return false;
        }
        const auto left = next_ - Clock::now();
        if (left <= Clock::duration::zero()) {
            return true;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(left, kMaxSleep));
    }
}

}  // namespace kvr
