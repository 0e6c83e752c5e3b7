#pragma once

#include <optional>

#include "Account.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

class Database;

// The upload endpoint's own signing (docs/upload-protocol.md): an HMAC-SHA256 under the
// account's secret over method, path, timestamp, nonce, Upload-Offset and Upload-Length.
class UploadSignature
{
public:
    static constexpr qint64 kTimestampWindowSeconds = 300;

    // The signing account, or nothing after writing the 401 refusal (codes 100, 101, 104, 107).
    static std::optional<Account> Verify(const Database& db, const httplib::Request& req,
                                         httplib::Response& res);
};
