#include "Url.h"

#include <curl/curl.h>

namespace kvr {

std::string Url::Resolve(const std::string& base, const std::string& location)
{
    CURLU* u = curl_url();
    if (!u) {
        return {};
    }
    std::string result;
    char* out = nullptr;
    if (curl_url_set(u, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
        curl_url_set(u, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_URL, &out, 0) == CURLUE_OK) {
        result = out;
    }
    curl_free(out);
    curl_url_cleanup(u);
    return result;
}

std::string Url::Path(const std::string& url)
{
    CURLU* u = curl_url();
    if (!u) {
        return {};
    }
    std::string result;
    char* out = nullptr;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_PATH, &out, 0) == CURLUE_OK) {
        result = out;
    }
    curl_free(out);
    curl_url_cleanup(u);
    return result.empty() ? "/" : result;
}

}  // namespace kvr
