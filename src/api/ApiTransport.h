#pragma once

#include <curl/curl.h>
#include <functional>

#include <QByteArray>
#include <QString>
#include <QUuid>

#include "api/ApiCollection.h"
#include "app/Deployment.h"

// The transport under every request: one libcurl easy handle per call, the options every
// handle shares, the mapping of a transfer's outcome to a RequestError and the callbacks that
// collect answers and watch the abort flag.
namespace ApiCollection {

// Receives (dltotal, dlnow, ultotal, ulnow) on every progress call of libcurl.
using ProgressFunction = std::function<void(qint64, qint64, qint64, qint64)>;

// One request's record, handed to libcurl as CURLOPT_PRIVATE and as the write callback's data.
// Lives on the request function's stack for the duration of the call.
struct RequestContext
{
    QUuid requestId;
    QByteArray* response = nullptr;
    // Owned by the caller (the task's stop flag); only read here. Null when not abortable.
    bool* abortFlag = nullptr;
};

// The progress part of a download or cover upload, handed to transferProgress.
struct ProgressRecord
{
    CURL* handle = nullptr;
    curl_off_t lastTime = 0;
    ProgressFunction progress;
    bool* abortFlag = nullptr;
};

// The options every handle gets, set right before the perform step: proxy, redirects,
// default protocol, CA bundle, verbosity, content encoding and connect time-out.
void setCommonOptions(CURL* handle, const QUuid& requestId);

// Performs the transfer of a handle whose CURLOPT_PRIVATE is a RequestContext and maps the
// outcome. The HTTP status is not looked at: the answer's envelope decides.
RequestError performRequest(CURL* handle, CURLcode* curlCode, QString* errorText);

size_t writeResponse(char* data, size_t size, size_t count, void* context);
int transferProgress(void* context, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                     curl_off_t ulnow);

// Percent-encodes the UTF-8 form of value. On failure *errorText (when given) becomes
// "curl_easy_escape failed".
bool escapeValue(CURL* handle, const QString& value, QByteArray* escaped, QString* errorText);

// The deployment every request uses from now on (app/Deployment.h), handed in by the
// application at start-up and again whenever a deployment setting changes. Until one is handed
// in, each request works it out from the process's configuration (Config::Global).
void UseDeployment(const Deployment& deployment);
Deployment CurrentDeployment();

// The current deployment's CA bundle and platform base URL (no trailing slash).
QString caBundlePath();
QString platformBaseUrl();

bool hasUnicodeSupport();
void logCurlVersion();

// The fixed header lines of every request: the user agent, the request identifier and, when
// contentType is not empty, "Content-Type: <contentType>". Free with curl_slist_free_all.
curl_slist* makeHeaderList(const QUuid& requestId, const char* contentType);

}  // namespace ApiCollection
