#pragma once

#include <optional>

#include <QMap>
#include <QString>

#include "Account.h"
#include "Endpoint.h"
#include "NonceRegistry.h"
#include "UploadRegistry.h"

namespace httplib {
struct Request;
struct Response;
class ContentReader;
}  // namespace httplib

// The upload endpoint: tus 1.0 core with creation and termination under /upload/files/, signed
// with the account's secret (docs/upload-protocol.md). Bytes go straight from the socket to the
// upload's file; the offset only counts bytes that were written. An upload is visible only to
// the account that created it; X-HTTP-Method-Override on a POST is honoured.
class UploadEndpoint : public Endpoint
{
public:
    explicit UploadEndpoint(PlatformContext& context);
    void Register(httplib::Server& server) override;

    // Parses a tus Upload-Metadata header; false for a malformed one.
    static bool ParseMetadata(const QString& header, QMap<QString, QString>* metadata);

private:
    void HandleOptions(httplib::Response& res) const;
    void HandleCreate(const httplib::Request& req, httplib::Response& res);
    void HandleHead(const httplib::Request& req, httplib::Response& res);
    void HandlePatch(const httplib::Request& req, httplib::Response& res,
                     const httplib::ContentReader& reader);
    void HandleDelete(const httplib::Request& req, httplib::Response& res);

    // A POST to an upload URL: the method named by X-HTTP-Method-Override.
    void HandleOverride(const httplib::Request& req, httplib::Response& res,
                        const httplib::ContentReader& reader);

    // Common checks of every request but OPTIONS: tus version and signature (nonce used up).
    // Fills res and returns nothing when the request is refused.
    std::optional<Account> Admit(const httplib::Request& req, httplib::Response& res);
    // The upload named by the URL, or a 404/410 answer.
    std::shared_ptr<UploadState> Lookup(const httplib::Request& req, const Account& account,
                                        httplib::Response& res);
    // Records the upload finished; the video processor takes the video from there.
    void Complete(const UploadState& upload, quint64 crc, const QString& md5);
    QString UploadUrl(const QString& id) const;

    UploadRegistry registry_;
    NonceRegistry nonces_;
};
