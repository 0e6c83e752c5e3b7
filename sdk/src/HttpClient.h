#pragma once

#include <atomic>
#include <cstdint>
#include <curl/curl.h>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "SdkSettings.h"

namespace kvr {

struct HttpResponse
{
    CURLcode curlCode = CURLE_OK;
    long status = 0;
    bool connected = false;                      // a connection was made before the failure
    std::map<std::string, std::string> headers;  // names lower-case, last block only
    std::string body;                            // at most 64 KiB
    std::string curlError;

    std::string Header(const std::string& lowerName) const;
    // Upload-Offset and similar: -1 when absent or malformed.
    int64_t HeaderInt(const std::string& lowerName) const;
};

// One libcurl easy handle for the requests of one upload, so they share a connection.
// Every request polls `abort` (a non-zero value aborts it within milliseconds).
class HttpClient
{
public:
    // Reads up to max bytes into buf: the count, 0 at the end, CURL_READFUNC_ABORT to abort.
    using ReadFn = std::function<size_t(char* buf, size_t max)>;
    using ProgressFn = std::function<void(int64_t uploaded)>;

    HttpClient(const SdkSettings& settings, const std::atomic<int>& abort);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    bool Valid() const { return curl_ != nullptr; }

    // method: "HEAD", "POST" (empty body), "PATCH" (body from read), "DELETE".
    HttpResponse Perform(const std::string& method, const std::string& url,
                         const std::vector<std::string>& headers, const ReadFn& read = nullptr,
                         int64_t bodySize = 0, const ProgressFn& progress = nullptr);

private:
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static size_t OnRead(char* buf, size_t size, size_t count, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow);
    static int OnTrace(CURL*, curl_infotype type, char* data, size_t size, void*);
    void ApplyCommonOptions();

    SdkSettings settings_;
    const std::atomic<int>& abort_;
    CURL* curl_ = nullptr;
    HttpResponse* response_ = nullptr;
    const ReadFn* read_ = nullptr;
    const ProgressFn* progress_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
};

}  // namespace kvr
