#include "api/ApiUpdate.h"

#include <kavro/Deployment.h>

#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QRegularExpression>

#include "api/ApiErrors.h"
#include "api/ApiRequest.h"
#include "app/Config.h"

namespace {

const char kTag[] = "check-client-update:";

QMutex g_lastResultMutex;
ApiCollection::CheckUpdateResult g_lastResult;

QString CustomSetting(const char* key, const QString& fallback)
{
    const Config* config = Config::Global();
    const QString value =
        config ? config->Value(QStringLiteral("Custom"), QString::fromLatin1(key)).toString()
               : QString();
    return value.isEmpty() ? fallback : value;
}

// The update service offers a package per system.
#ifdef Q_OS_WIN
constexpr const char* kProjectType = kavro::deployment::kUpdateProjectTypeWindows;
#else
constexpr const char* kProjectType = kavro::deployment::kUpdateProjectTypeLinux;
#endif

}  // namespace

namespace ApiCollection {

QByteArray updateRequestBody(const QString& userId, qint64 timestampMs)
{
    ParamMap params{{QStringLiteral("user_id"), userId},
                    {QStringLiteral("appId"), QString()},
                    {QStringLiteral("project_name"), QStringLiteral("kavroUploadClient")},
                    {QStringLiteral("project_type"), QString::fromLatin1(kProjectType)},
                    {QStringLiteral("timestamp"), QString::number(timestampMs)}};
    signUpdateParams(&params);
    QStringList entries;
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        entries << QStringLiteral("\"%1\":\"%2\"").arg(it.key(), it.value());
    }
    return QStringLiteral("{%1}").arg(entries.join(QLatin1Char(','))).toUtf8();
}

RequestError CheckClientUpdateRequest(const QUuid& requestId, QByteArray* response, bool* abortFlag,
                                      QString* errorText)
{
    const QString userId =
        CustomSetting("userId", QString::fromLatin1(kavro::deployment::kUpdateUserId));
    const QString url =
        CustomSetting("updateUrl", QString::fromLatin1(kavro::deployment::kUpdateServiceUrl) +
                                       QString::fromLatin1(kavro::deployment::kUpdateCheckPath));
    const RequestSetup setup =
        makeSetup(requestId, kTag, "POST", 5, response, abortFlag, errorText);
    return runRequest(setup, [&](CURL*, RequestBody* body) {
        body->url = url;
        body->body = updateRequestBody(userId, QDateTime::currentMSecsSinceEpoch());
        body->contentType = "application/json";
        return NoError;
    });
}

RequestError ParseCheckClientUpdateResponse(const QByteArray& response, CheckUpdateResult* result)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(response, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qCCritical(lcApi).noquote() << kTag << "ParseJsonError:" << parseError.errorString();
        return ParseJsonFailed;
    }
    if (!document.isObject()) {
        qCCritical(lcApi).noquote() << kTag << "ApiError:"
                                    << "resp is not object in request";
        return ApiError;
    }
    const QJsonObject root = document.object();
    auto text = [&root](const char* name) { return root.value(QLatin1String(name)).toString(); };
    auto flag = [&root](const char* name) { return root.value(QLatin1String(name)).toBool(); };
    const QJsonValue code = root.value(QLatin1String("code"));
    const QJsonValue message = root.value(QLatin1String("message"));
    result->code = code.toInt();
    result->message = message.toString();
    result->success = flag("success");
    if (text("status") == QLatin1String("failed") || !code.isDouble() || code.toInt() != 200 ||
        !message.isString() || message.toString() != QLatin1String("success")) {
        qCWarning(lcApi).noquote() << kTag << "ApiReturnFailed:" << QString::fromUtf8(response);
        return ApiReturnFailed;
    }
    result->valid = true;
    result->projectName = text("project_name");
    result->projectVersion = text("project_version");
    result->projectDescription = text("project_description");
    result->projectDownload = text("project_download");
    result->forceInstall = flag("force_install");
    result->silenceInstall = flag("silence_install");
    return NoError;
}

bool isNewerVersion(const QString& version)
{
    static const QRegularExpression pattern(QStringLiteral("(\\d+)\\.(\\d+)\\.(\\d+)"));
    const QRegularExpressionMatch match = pattern.match(version);
    if (!match.hasMatch()) {
        qCWarning(lcApi) << "ParseVersion failed, input illegal:" << version;
        return false;
    }
    if (match.captured(0) != version) {
        qCWarning(lcApi).noquote()
            << QStringLiteral("ParseVersion result(%1) is different from server(%2)")
                   .arg(match.captured(0), version);
        return false;
    }
    const QList<int> offered{match.captured(1).toInt(), match.captured(2).toInt(),
                             match.captured(3).toInt()};
    const QStringList current = QString::fromLatin1(kCurrentVersion).split(QLatin1Char('.'));
    const QList<int> mine{current.value(0).toInt(), current.value(1).toInt(),
                          current.value(2).toInt()};
    return std::lexicographical_compare(mine.cbegin(), mine.cend(), offered.cbegin(),
                                        offered.cend());
}

CheckVersionResult checkVersion(bool* abortFlag)
{
    const QUuid requestId = QUuid::createUuid();
    QByteArray response;
    QString errorText;
    CheckUpdateResult result;
    RequestError error = CheckClientUpdateRequest(requestId, &response, abortFlag, &errorText);
    if (error == NoError) {
        error = ParseCheckClientUpdateResponse(response, &result);
    }
    if (error != NoError) {
        if (errorText.isEmpty()) {
            errorText = requestErrorString(error);
        }
        qCWarning(lcApi) << "CheckClientUpdate failed:" << requestErrorKey(error) << errorText;
        return CheckFailed;
    }
    {
        QMutexLocker locker(&g_lastResultMutex);
        g_lastResult = result;
    }
    qCDebug(lcApi) << "result.code:" << result.code;
    qCDebug(lcApi) << "result.success:" << result.success;
    qCDebug(lcApi) << "result.message:" << result.message;
    qCDebug(lcApi) << "result.projectName:" << result.projectName;
    qCDebug(lcApi) << "result.projectVersion:" << result.projectVersion;
    qCDebug(lcApi) << "result.projectDescription:" << result.projectDescription;
    qCDebug(lcApi) << "result.projectDownload:" << result.projectDownload;
    qCDebug(lcApi) << "result.silenceInstall:" << result.silenceInstall;
    qCDebug(lcApi) << "result.forceInstall:" << result.forceInstall;

    if (!isNewerVersion(result.projectVersion)) {
        return AlreadyUpToDate;
    }
    qCInfo(lcApi) << "Newer Version:" << result.projectVersion;
    qCInfo(lcApi) << "Newer Version Description:" << result.projectDescription;
    return HasNewerVersion;
}

CheckUpdateResult lastCheckUpdateResult()
{
    QMutexLocker locker(&g_lastResultMutex);
    return g_lastResult;
}

}  // namespace ApiCollection
