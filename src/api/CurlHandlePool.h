#pragma once

#include <curl/curl.h>

#include <QtGlobal>

// The easy handles of finished requests, kept for the next ones. A handle keeps its live
// connections and TLS sessions across curl_easy_reset, so a request that takes a kept handle
// talks to the platform over the connection an earlier request opened, instead of paying a
// new TCP and TLS handshake (one to three round trips) every time. libcurl lets a handle move
// between threads as long as one thread uses it at a time: a handle is either in the pool or
// owned by exactly one running request. libcurl's own connection sharing between threads
// (CURL_LOCK_DATA_CONNECT) is not safe with concurrent transfers, hence handles, not a share.
class CurlHandlePool
{
public:
    // A handle with default options (a kept one or a new one), or null when libcurl cannot
    // make one.
    static CURL* Take();
    // Counts the connections handle's last transfer opened, resets its options and keeps it
    // for a later Take, or cleans it up when the pool is full. Call it before freeing what the
    // handle's options point at.
    static void Give(CURL* handle);
    // Cleans up every kept handle (and closes their connections); before curl_global_cleanup.
    static void Clear();
    // How many connections the pool's handles opened so far (a reused one counts nothing).
    static qint64 ConnectionsOpened();
};
