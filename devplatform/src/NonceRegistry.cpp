#include "NonceRegistry.h"

bool NonceRegistry::Use(const QString& appId, const QString& nonce, qint64 timestamp, qint64 now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (now >= nextPrune_) {
        Prune(now);
    }
    // The timestamp is accepted up to the window on either side of now; remember the nonce
    // until the timestamp falls out of the window.
    const QString key = appId + QLatin1Char('\n') + nonce;
    if (seen_.contains(key)) {
        return false;
    }
    seen_.insert(key, timestamp + windowSeconds_ + 1);
    return true;
}

void NonceRegistry::Prune(qint64 now)
{
    for (auto it = seen_.begin(); it != seen_.end();) {
        it = it.value() < now ? seen_.erase(it) : std::next(it);
    }
    nextPrune_ = now + 10;
}
