#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvr {

// Signs requests to the upload endpoint with the account's appId and appSecret: HMAC-SHA256
// over method, path, timestamp, nonce, Upload-Offset and Upload-Length. Without an appId no
// headers are added, so a plain tus server sees a plain tus client.
class RequestSigner
{
public:
    RequestSigner(std::string appId, std::string appSecret);

    // offset/length: the header values sent, empty when the header is absent.
    std::vector<std::string> Headers(const std::string& method, const std::string& path,
                                     const std::string& offset, const std::string& length) const;

    static std::string SignatureText(const std::string& method, const std::string& path,
                                     const std::string& timestamp, const std::string& nonce,
                                     const std::string& offset, const std::string& length);

private:
    std::string appId_;
    std::string appSecret_;
};

}  // namespace kvr
