#pragma once

#include <mutex>

#include <QHash>
#include <QString>

// The nonces of signed upload requests seen within the signing window. A signed request is
// valid for as long as its timestamp is within the window, so its nonce is remembered that
// long: a replay of the same request (same appId, same nonce) is refused.
class NonceRegistry
{
public:
    explicit NonceRegistry(qint64 windowSeconds) : windowSeconds_(windowSeconds) {}

    // True the first time appId uses nonce with this timestamp's window; false for a replay.
    bool Use(const QString& appId, const QString& nonce, qint64 timestamp, qint64 now);

private:
    void Prune(qint64 now);

    const qint64 windowSeconds_;
    std::mutex mutex_;
    // appId + '\n' + nonce -> the time (s) after which the request's timestamp is stale.
    QHash<QString, qint64> seen_;
    qint64 nextPrune_ = 0;
};
