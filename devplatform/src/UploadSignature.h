#pragma once

#include <optional>

#include "Account.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

class Database;
class NonceRegistry;

// The upload endpoint's own signing (docs/upload-protocol.md): an HMAC-SHA256 under the
// account's secret over method, path, timestamp, nonce, Upload-Offset and Upload-Length.
class UploadSignature
{
public:
    static constexpr qint64 kTimestampWindowSeconds = 300;

    // The signing account, or nothing after writing the 401 refusal (codes 100, 101, 104, 107).
    // method is the one the request stands for (X-HTTP-Method-Override honoured). A nonce is
    // accepted once: a replay within the window is refused with 104.
    static std::optional<Account> Verify(const Database& db, NonceRegistry& nonces,
                                         const httplib::Request& req, const QString& method,
                                         httplib::Response& res);
};
