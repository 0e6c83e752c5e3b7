#pragma once

#include <curl/curl.h>
#include <functional>

#include <QByteArray>
#include <QString>
#include <QUuid>

#include "api/ApiCollection.h"
#include "api/ApiSigning.h"
#include "api/ApiTransport.h"

// The steps every request function shares (used inside src/api only): one easy handle per
// call, the fixed header lines, the time-out, the common options, the perform step and the
// critical log line of a failed transfer.
namespace ApiCollection {

struct RequestSetup
{
    QUuid requestId;
    const char* tag = "";  // the endpoint's log tag, e.g. "add-category:"
    const char* method = "POST";
    long timeoutSeconds = 15;
    QByteArray* response = nullptr;
    bool* abortFlag = nullptr;
    QString* errorText = nullptr;
};

// What a request sends, built once the handle exists (encoding needs it).
struct RequestBody
{
    QString url;
    QByteArray body;                     // form or JSON body of a POST
    const char* contentType = nullptr;   // no content-type line when null
    curl_mime* mime = nullptr;           // multipart body; freed after the transfer
    ProgressRecord* progress = nullptr;  // installs transferProgress when set
};

RequestSetup makeSetup(const QUuid& requestId, const char* tag, const char* method,
                       long timeoutSeconds, QByteArray* response, bool* abortFlag,
                       QString* errorText);

using BuildFunction = std::function<RequestError(CURL* handle, RequestBody* body)>;

// Runs one request. A handle that cannot be created returns NoError with an empty response,
// which the parse step then reports as ParseJsonFailed.
RequestError runRequest(const RequestSetup& setup, const BuildFunction& build);

// A signed platform request: the own parameters plus "appId" and "timestamp", signed with the
// current credentials and encoded as form body (POST) or query (GET).
RequestError runSignedRequest(const RequestSetup& setup, const QString& path, ParamMap params);

// Adds "appId" and "timestamp" and signs with the current credentials.
void addSignature(ParamMap* params);

// Request functions block on the network: never on the GUI thread.
void assertNotGuiThread();

}  // namespace ApiCollection
