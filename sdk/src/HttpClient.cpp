#include "HttpClient.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Logger.h"

namespace kvr {
namespace {

constexpr size_t kMaxBody = 64 * 1024;
constexpr long kConnectTimeoutSeconds = 15;
// A request that moves no byte for this long has stalled: it ends in a retry, not a hang.
// KVR_SDK_STALL_SECONDS overrides it (slow links, and tests that provoke a stall).
constexpr long kStallSeconds = 30;

long StallSeconds()
{
    static const long seconds = [] {
        const char* env = std::getenv("KVR_SDK_STALL_SECONDS");
        const long v = env ? std::strtol(env, nullptr, 10) : 0;
        return v > 0 ? v : kStallSeconds;
    }();
    return seconds;
}
// Large enough that one read callback fills many TLS records; far below the memory goal.
constexpr long kUploadBufferSize = 512 * 1024;

std::string Trim(std::string s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.pop_back();
    }
    size_t start = 0;
    while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start]))) {
        ++start;
    }
    return s.substr(start);
}

}  // namespace

std::string HttpResponse::Header(const std::string& lowerName) const
{
    const auto it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

int64_t HttpResponse::HeaderInt(const std::string& lowerName) const
{
    const std::string value = Header(lowerName);
    if (value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))) {
        return -1;
    }
    char* end = nullptr;
    const long long v = std::strtoll(value.c_str(), &end, 10);
    return *end == '\0' ? v : -1;
}

HttpClient::HttpClient(const SdkSettings& settings, const std::atomic<int>& abort)
    : settings_(settings), abort_(abort), curl_(curl_easy_init())
{
}

HttpClient::~HttpClient()
{
    if (curl_) {
        curl_easy_cleanup(curl_);
    }
}

void HttpClient::ApplyCommonOptions()
{
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, StallSeconds());
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, &HttpClient::OnHeader);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, &HttpClient::OnBody);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, &HttpClient::OnProgress);
    curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl_, CURLOPT_USERAGENT, "kvr-upload-sdk");
    if (!settings_.cacertFile.empty()) {
        curl_easy_setopt(curl_, CURLOPT_CAINFO, settings_.cacertFile.c_str());
    }
    switch (settings_.httpMode) {
        case 1:
            curl_easy_setopt(curl_, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
            break;
        case 2:
            curl_easy_setopt(curl_, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
            break;
        case 3:
            curl_easy_setopt(curl_, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
            curl_easy_setopt(curl_, CURLOPT_TCP_KEEPALIVE, 1L);
            break;
        default:
            break;
    }
    if (settings_.proxyType == 1 || settings_.proxyType == 2) {
        curl_easy_setopt(curl_, CURLOPT_PROXY, settings_.proxyHost.c_str());
        curl_easy_setopt(curl_, CURLOPT_PROXYPORT, long(settings_.proxyPort));
        curl_easy_setopt(
            curl_, CURLOPT_PROXYTYPE,
            long(settings_.proxyType == 1 ? CURLPROXY_HTTP : CURLPROXY_SOCKS5_HOSTNAME));
        if (!settings_.proxyUser.empty()) {
            curl_easy_setopt(curl_, CURLOPT_PROXYUSERNAME, settings_.proxyUser.c_str());
            curl_easy_setopt(curl_, CURLOPT_PROXYPASSWORD, settings_.proxyPassword.c_str());
        }
    } else {
        // No proxy at all, not even one from the environment.
        curl_easy_setopt(curl_, CURLOPT_PROXY, "");
    }
    if (Logger::Instance().Enabled(Logger::kTrace)) {
        curl_easy_setopt(curl_, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(curl_, CURLOPT_DEBUGFUNCTION, &HttpClient::OnTrace);
    }
}

HttpResponse HttpClient::Perform(const std::string& method, const std::string& url,
                                 const std::vector<std::string>& headers, const ReadFn& read,
                                 int64_t bodySize, const ProgressFn& progress)
{
    HttpResponse response;
    if (!curl_) {
        response.curlCode = CURLE_OUT_OF_MEMORY;
        response.curlError = "cannot create a libcurl handle";
        return response;
    }
    // Reset keeps the connection cache: the requests of one upload share one connection.
    curl_easy_reset(curl_);
    errorBuffer_[0] = '\0';
    ApplyCommonOptions();
    curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());

    curl_slist* list = nullptr;
    for (const auto& h : headers) {
        list = curl_slist_append(list, h.c_str());
    }
    // 100-continue costs a round trip per PATCH and about 40 % throughput on loopback.
    list = curl_slist_append(list, "Expect:");
    curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, list);

    if (method == "HEAD") {
        curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
    } else if (method == "POST") {
        curl_easy_setopt(curl_, CURLOPT_POST, 1L);
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, "");
        curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(0));
    } else if (method == "PATCH") {
        curl_easy_setopt(curl_, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, "PATCH");
        curl_easy_setopt(curl_, CURLOPT_READFUNCTION, &HttpClient::OnRead);
        curl_easy_setopt(curl_, CURLOPT_READDATA, this);
        curl_easy_setopt(curl_, CURLOPT_INFILESIZE_LARGE, curl_off_t(bodySize));
        curl_easy_setopt(curl_, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferSize);
    } else {
        curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    response_ = &response;
    read_ = &read;
    progress_ = &progress;
    response.curlCode = curl_easy_perform(curl_);
    response_ = nullptr;
    read_ = nullptr;
    progress_ = nullptr;
    curl_slist_free_all(list);

    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &response.status);
    // Pre-transfer time is set once the request could be sent: over a new connection after
    // connecting (and TLS), over a reused one at once. The connect time alone is 0 on reuse.
    curl_off_t pretransfer = 0;
    curl_easy_getinfo(curl_, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
    response.connected = pretransfer > 0;
    if (response.curlCode != CURLE_OK) {
        response.curlError = errorBuffer_[0] ? errorBuffer_ : curl_easy_strerror(response.curlCode);
    }
    KVR_LOG(Logger::kInfo,
            method + " " + url + " -> " +
                (response.curlCode == CURLE_OK ? std::to_string(response.status)
                                               : "curl " + std::to_string(int(response.curlCode)) +
                                                     " " + response.curlError));
    return response;
}

size_t HttpClient::OnHeader(char* data, size_t size, size_t count, void* self)
{
    auto* client = static_cast<HttpClient*>(self);
    const size_t n = size * count;
    const std::string line(data, n);
    if (line.rfind("HTTP/", 0) == 0) {
        client->response_->headers.clear();  // a new header block (after 100 or a redirect)
    } else if (const auto colon = line.find(':'); colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        client->response_->headers[name] = Trim(line.substr(colon + 1));
    }
    return n;
}

size_t HttpClient::OnBody(char* data, size_t size, size_t count, void* self)
{
    auto* client = static_cast<HttpClient*>(self);
    const size_t n = size * count;
    std::string& body = client->response_->body;
    body.append(data, std::min(n, kMaxBody - std::min(kMaxBody, body.size())));
    return n;
}

size_t HttpClient::OnRead(char* buf, size_t size, size_t count, void* self)
{
    auto* client = static_cast<HttpClient*>(self);
    if (client->abort_ != 0) {
        return CURL_READFUNC_ABORT;
    }
    return (*client->read_) ? (*client->read_)(buf, size * count) : 0;
}

int HttpClient::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow)
{
    auto* client = static_cast<HttpClient*>(self);
    if (client->abort_ != 0) {
        return 1;  // ends the transfer with CURLE_ABORTED_BY_CALLBACK
    }
    if (*client->progress_) {
        (*client->progress_)(ulnow);
    }
    return 0;
}

int HttpClient::OnTrace(CURL*, curl_infotype type, char* data, size_t size, void*)
{
    if (type == CURLINFO_TEXT || type == CURLINFO_HEADER_IN || type == CURLINFO_HEADER_OUT) {
        KVR_LOG(Logger::kTrace, "curl: " + Trim(std::string(data, size)));
    }
    return 0;
}

}  // namespace kvr
