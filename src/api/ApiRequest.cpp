#include "api/ApiRequest.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QThread>

#include "api/CurlHandlePool.h"

namespace ApiCollection {

void assertNotGuiThread()
{
    Q_ASSERT_X(!QCoreApplication::instance() ||
                   QThread::currentThread() != QCoreApplication::instance()->thread(),
               "ApiCollection", "request functions must not run on the GUI thread");
}

RequestSetup makeSetup(const QUuid& requestId, const char* tag, const char* method,
                       long timeoutSeconds, QByteArray* response, bool* abortFlag,
                       QString* errorText)
{
    RequestSetup setup;
    setup.requestId = requestId;
    setup.tag = tag;
    setup.method = method;
    setup.timeoutSeconds = timeoutSeconds;
    setup.response = response;
    setup.abortFlag = abortFlag;
    setup.errorText = errorText;
    return setup;
}

RequestError runRequest(const RequestSetup& setup, const BuildFunction& build)
{
    assertNotGuiThread();
    if (setup.response) {
        setup.response->clear();
    }
    RequestContext context{setup.requestId, setup.response, setup.abortFlag};

    CURL* handle = CurlHandlePool::Take();
    if (!handle) {
        return NoError;
    }
    curl_easy_setopt(handle, CURLOPT_PRIVATE, &context);

    RequestBody body;
    RequestError result = build(handle, &body);
    if (result != NoError) {
        CurlHandlePool::Give(handle);
        curl_mime_free(body.mime);
        return result;
    }

    const QByteArray url = body.url.toUtf8();
    curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, setup.method);
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    if (body.mime) {
        curl_easy_setopt(handle, CURLOPT_MIMEPOST, body.mime);
    } else if (qstrcmp(setup.method, "POST") == 0) {
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, long(body.body.size()));
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.body.constData());
    }
    curl_slist* headers = makeHeaderList(setup.requestId, body.contentType);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &writeResponse);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &context);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, setup.timeoutSeconds);
    if (body.progress) {
        body.progress->handle = handle;
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &transferProgress);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, body.progress);
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    }
    setCommonOptions(handle, setup.requestId);

    CURLcode code = CURLE_OK;
    QString errorText;
    result = performRequest(handle, &code, &errorText);
    if (result != NoError) {
        qCCritical(lcApi).noquote()
            << setup.tag << setup.requestId
            << QStringLiteral("curl_easy_perform() failed(%1): %2").arg(int(code)).arg(errorText);
        if (setup.errorText) {
            *setup.errorText = errorText;
        }
    }
    // The handle goes back with its connection open and its options reset, before the headers
    // and the body its options point at are freed.
    CurlHandlePool::Give(handle);
    curl_slist_free_all(headers);
    curl_mime_free(body.mime);
    return result;
}

void addSignature(ParamMap* params)
{
    const Credentials account = credentials();
    params->insert(QStringLiteral("appId"), account.appId);
    params->insert(QStringLiteral("timestamp"),
                   QString::number(QDateTime::currentMSecsSinceEpoch()));
    signParams(account.appSecret, params);
}

RequestError runSignedRequest(const RequestSetup& setup, const QString& path, ParamMap params)
{
    const bool isGet = qstrcmp(setup.method, "GET") == 0;
    return runRequest(setup, [&](CURL* handle, RequestBody* body) {
        addSignature(&params);
        QStringList pairs;
        const RequestError encoded = encodeParams(handle, params, &pairs, setup.errorText);
        if (encoded != NoError) {
            return encoded;
        }
        const QString joined = pairs.join(QLatin1Char('&'));
        body->url = platformBaseUrl() + path;
        if (isGet) {
            body->url += QLatin1Char('?') + joined;
        } else {
            body->body = joined.toUtf8();
            body->contentType = "application/x-www-form-urlencoded";
        }
        return NoError;
    });
}

}  // namespace ApiCollection
