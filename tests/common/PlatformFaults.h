#pragma once

#include <curl/curl.h>

#include <QByteArray>

// Adds a fault rule ("path=/v3/video/list-video,delay=1500,times=1") through the loopback admin
// endpoint of the devplatform found in KAVRO_PLATFORM_URL / KAVRO_TEST_CACERT, or with an empty
// rule removes them all. False when the platform refused.
inline bool SetPlatformFault(const QByteArray& rule)
{
    CURL* curl = curl_easy_init();
    const QByteArray url = qgetenv("KAVRO_PLATFORM_URL") + "/admin/faults";
    const QByteArray ca = qgetenv("KAVRO_TEST_CACERT");
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_CAINFO, ca.constData());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, rule.isEmpty() ? "DELETE" : "POST");
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/plain");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    if (!rule.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, rule.constData());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, long(rule.size()));
    }
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION,
        +[](char*, size_t size, size_t count, void*) { return size * count; });
    long status = 0;
    const bool ok = curl_easy_perform(curl) == CURLE_OK &&
                    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
                    status / 100 == 2;
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return ok;
}
