#include "api/CurlHandlePool.h"

#include <atomic>

#include <QMutex>
#include <QVector>

namespace {

// More handles than requests that run at once gain nothing: each idle one holds a connection.
constexpr int kMaxKept = 8;

struct Pool
{
    QMutex mutex;
    QVector<CURL*> kept;
    std::atomic<qint64> connectionsOpened{0};
};

// Never destroyed: a request thread may still give a handle back while the process ends, and
// handles nobody cleared stay reachable instead of dangling.
Pool& ThePool()
{
    static Pool* pool = new Pool;
    return *pool;
}

}  // namespace

CURL* CurlHandlePool::Take()
{
    Pool& pool = ThePool();
    CURL* handle = nullptr;
    {
        QMutexLocker lock(&pool.mutex);
        if (!pool.kept.isEmpty()) {
            handle = pool.kept.takeLast();
        }
    }
    return handle ? handle : curl_easy_init();
}

void CurlHandlePool::Give(CURL* handle)
{
    if (!handle) {
        return;
    }
    Pool& pool = ThePool();
    long opened = 0;  // 0 when the handle ran no transfer since it was last given back
    if (curl_easy_getinfo(handle, CURLINFO_NUM_CONNECTS, &opened) == CURLE_OK && opened > 0) {
        pool.connectionsOpened += opened;
    }
    // Every option goes back to its default (none points at the finished request's memory any
    // more); the connections, the TLS session cache and the DNS cache stay.
    curl_easy_reset(handle);
    {
        QMutexLocker lock(&pool.mutex);
        if (pool.kept.size() < kMaxKept) {
            pool.kept.append(handle);
            return;
        }
    }
    curl_easy_cleanup(handle);
}

void CurlHandlePool::Clear()
{
    Pool& pool = ThePool();
    QVector<CURL*> handles;
    {
        QMutexLocker lock(&pool.mutex);
        handles.swap(pool.kept);
    }
    for (CURL* handle : handles) {
        curl_easy_cleanup(handle);
    }
}

qint64 CurlHandlePool::ConnectionsOpened()
{
    return ThePool().connectionsOpened.load();
}
