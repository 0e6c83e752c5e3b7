#include "api/ApiProbe.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUuid>

#include "api/ApiErrors.h"
#include "api/ApiRequest.h"

namespace {

const char kProbeTag[] = "probe-platform:";

}  // namespace

namespace ApiCollection {

bool IsPlatformAddress(const QString& text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    return url.isValid() && url.scheme() == QLatin1String("https") && !url.host().isEmpty() &&
           !url.hasQuery() && !url.hasFragment() && url.userInfo().isEmpty();
}

RequestError ProbePlatform(const QString& baseUrl, bool* abortFlag, QString* errorText)
{
    assertNotGuiThread();
    if (!IsPlatformAddress(baseUrl)) {
        *errorText = QStringLiteral("not an https address");
        return ApiError;
    }
    QString base = baseUrl.trimmed();
    while (base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    QByteArray response;
    const RequestSetup setup =
        makeSetup(QUuid::createUuid(), kProbeTag, "GET", 10, &response, abortFlag, errorText);
    const RequestError result = runRequest(setup, [&base](CURL*, RequestBody* body) {
        body->url = base + QStringLiteral("/v3/category/get-cate-tree");
        return NoError;
    });
    if (result != NoError) {
        if (errorText->isEmpty()) {
            *errorText = requestErrorString(result);
        }
        return result;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(response);
    if (!doc.isObject() || !doc.object().contains(QLatin1String("code"))) {
        *errorText = requestErrorString(ParseJsonFailed);
        return ParseJsonFailed;
    }
    return NoError;
}

}  // namespace ApiCollection
