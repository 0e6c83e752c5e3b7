#include "api/ApiEnvelope.h"

#include <QDebug>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QVariant>

namespace ApiCollection {

RequestError parseApiResult(const QJsonObject& root, ApiResult* result)
{
    result->requestId = root.value(QLatin1String("requestId")).toString();
    result->code = root.value(QLatin1String("code")).toInt();
    result->status = root.value(QLatin1String("status")).toString();
    const QJsonValue codeValue = root.value(QLatin1String("code"));
    const QJsonValue error = root.value(QLatin1String("error"));

    // toInt() of a string is 0, so an answer whose "code" is the text "200" is no success.
    const bool codeOk = codeValue.isDouble() && codeValue.toInt() == 200;
    if (codeOk && result->status == QLatin1String("success") && error.isNull()) {
        return NoError;
    }
    if (!error.isNull()) {
        const QJsonObject errorObject = error.toObject();
        result->errorCode = errorObject.value(QLatin1String("code")).toInt();
        if (!QMetaEnum::fromType<ErrorCode>().valueToKey(result->errorCode)) {
            qCWarning(lcApi, "Unknown error code(%d) type.", result->errorCode);
        }
        result->errorDesc = errorObject.value(QLatin1String("desc")).toString();
        qCCritical(lcApi) << "Api failed:";
        qCCritical(lcApi) << "  requestId:" << result->requestId;
        qCCritical(lcApi) << "  status:" << result->status;
        qCCritical(lcApi) << "  code:" << result->code;
        qCCritical(lcApi) << "  error:"
                          << QStringLiteral("%1(%2)").arg(result->errorDesc).arg(result->errorCode);
        return ApiReturnFailed;
    }
    result->errorCode = UNDEFINED;
    qCCritical(lcApi) << "Api failed without error info:";
    qCCritical(lcApi) << "  requestId:" << result->requestId;
    qCCritical(lcApi) << "  status:" << result->status;
    qCCritical(lcApi) << "  code:" << result->code;
    return ApiError;
}

RequestError parseEnvelope(const char* tag, const QByteArray& response, ApiResult* result,
                           QJsonObject* root)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(response, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qCCritical(lcApi).noquote() << tag << "ParseJsonError:" << parseError.errorString();
        return ParseJsonFailed;
    }
    // A JSON array or scalar has no envelope: object() is empty and the check below fails.
    *root = document.object();
    return parseApiResult(*root, result);
}

RequestError payloadError(const char* tag, const char* message, const ApiResult& result)
{
    qCCritical(lcApi).noquote() << tag << "ApiError:" << message << result.requestId;
    return ApiError;
}

quint64 readUInt64(const QJsonValue& value, quint64 fallback)
{
    bool ok = false;
    const quint64 number = value.toVariant().toULongLong(&ok);
    return ok ? number : fallback;
}

qint64 readInt64(const QJsonValue& value, qint64 fallback)
{
    bool ok = false;
    const qint64 number = value.toVariant().toLongLong(&ok);
    return ok ? number : fallback;
}

int readInt(const QJsonValue& value, int fallback)
{
    bool ok = false;
    const int number = value.toVariant().toInt(&ok);
    return ok ? number : fallback;
}

}  // namespace ApiCollection
