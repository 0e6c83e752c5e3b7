#include "RequestSigner.h"

#include <ctime>

#include "Digest.h"

namespace kvr {

RequestSigner::RequestSigner(std::string appId, std::string appSecret)
    : appId_(std::move(appId)), appSecret_(std::move(appSecret))
{
}

std::string RequestSigner::SignatureText(const std::string& method, const std::string& path,
                                         const std::string& timestamp, const std::string& nonce,
                                         const std::string& offset, const std::string& length)
{
    return method + "\n" + path + "\n" + timestamp + "\n" + nonce + "\n" + offset + "\n" + length;
}

std::vector<std::string> RequestSigner::Headers(const std::string& method, const std::string& path,
                                                const std::string& offset,
                                                const std::string& length) const
{
    if (appId_.empty()) {
        return {};
    }
    const std::string timestamp = std::to_string(static_cast<long long>(std::time(nullptr)));
    const std::string nonce = Digest::RandomHex(16);
    const std::string text = SignatureText(method, path, timestamp, nonce, offset, length);
    return {"Kvr-App-Id: " + appId_, "Kvr-Timestamp: " + timestamp, "Kvr-Nonce: " + nonce,
            "Kvr-Signature: " + Digest::HmacSha256Hex(appSecret_, text)};
}

}  // namespace kvr
