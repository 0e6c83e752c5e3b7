#include "api/ApiAccount.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QJsonObject>

#include "api/ApiEnvelope.h"
#include "api/ApiRequest.h"

namespace {

const char kTag[] = "login-client:";

bool ReadFlag(const QJsonObject& object, const char* name)
{
    const QJsonValue value = object.value(QLatin1String(name));
    return value.isDouble() && ApiCollection::readInt64(value) != 0;
}

}  // namespace

namespace ApiCollection {

QByteArray loginPasswordDigest(const QString& password)
{
    return QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1)
        .toHex()
        .toUpper()
        .left(20);
}

RequestError LoginClientRequest(const QUuid& requestId, const QString& email,
                                const QString& password, QByteArray* response, bool* abortFlag,
                                QString* errorText)
{
    const RequestSetup setup =
        makeSetup(requestId, kTag, "POST", 15, response, abortFlag, errorText);
    return runRequest(setup, [&](CURL* handle, RequestBody* body) {
        QByteArray escapedEmail;
        if (!escapeValue(handle, email, &escapedEmail, errorText)) {
            return CurlEscapeFailed;
        }
        body->url = platformBaseUrl() + QStringLiteral("/v3/front/login-client");
        body->body = "email=" + escapedEmail + "&password=" + loginPasswordDigest(password);
        body->contentType = "application/x-www-form-urlencoded";
        return NoError;
    });
}

RequestError ParseLoginClientResponse(const QByteArray& response, LoginResult* result)
{
    QJsonObject root;
    const RequestError envelope = parseEnvelope(kTag, response, result, &root);
    const QJsonValue dataValue = root.value(QLatin1String("data"));
    if (envelope == ApiReturnFailed) {
        if (dataValue.isObject()) {
            result->remainLoginChange =
                readInt(dataValue.toObject().value(QLatin1String("remainLoginChange")));
        } else {
            payloadError(kTag, "data field is not object in request", *result);
        }
        return envelope;
    }
    if (envelope != NoError) {
        return envelope;
    }
    if (!dataValue.isObject()) {
        return payloadError(kTag, "data field is not object in request", *result);
    }

    const QJsonObject data = dataValue.toObject();
    auto text = [&data](const char* name) { return data.value(QLatin1String(name)).toString(); };
    result->userId = text("userId");
    result->expired = text("expired") != QLatin1String("N");
    result->remainBytes = readInt64(data.value(QLatin1String("remainBytes")));
    result->space = readUInt64(data.value(QLatin1String("space")));
    result->packageType = text("packageType");
    result->leftDay = readInt64(data.value(QLatin1String("leftDay")));
    result->expirationTime = readUInt64(data.value(QLatin1String("expirationTime")));
    result->email = text("email");
    result->childUserName = text("childUserName");
    result->childUserId = text("childUserId");
    result->childVideoOnly = text("childVideoOnly") != QLatin1String("N");
    const QJsonValue level = data.value(QLatin1String("userLevel"));
    result->userLevel = level.isDouble() ? readInt(level, 4096) : 4096;
    const QJsonValue cateId = data.value(QLatin1String("cateId"));
    result->cateId = (cateId.isUndefined() || cateId.isNull()) ? 1 : readUInt64(cateId);
    result->uploadType = text("uploadType");
    result->appId = text("appId");
    result->appSecret = text("appSecret");
    result->nonce = text("nonce");

    const QJsonObject permission = data.value(QLatin1String("permission")).toObject();
    const int accountType = readInt(permission.value(QLatin1String("childAccountType")));
    result->childAccountType = accountType == -1 ? int(None) : accountType;
    result->videoUpload = ReadFlag(permission, "videoUpload");
    result->transferlistUpload = ReadFlag(permission, "transferlistUpload");
    result->transferlistComplete = ReadFlag(permission, "transferlistComplete");
    result->cataAdd = ReadFlag(permission, "cataAdd");
    result->cataMove = ReadFlag(permission, "cataMove");
    result->cataRename = ReadFlag(permission, "cataRename");
    result->cataSearch = ReadFlag(permission, "cataSearch");
    result->cataRefresh = ReadFlag(permission, "cataRefresh");
    result->videoAllSearch = ReadFlag(permission, "videoAllSearch");
    result->videoCurrentcataSearch = ReadFlag(permission, "videoCurrentcataSearch");
    result->videoUpdateCata = ReadFlag(permission, "videoUpdateCata");
    result->videoDelete = ReadFlag(permission, "videoDelete");
    result->operaManage = ReadFlag(permission, "operaManage");
    result->operaCopycode = ReadFlag(permission, "operaCopycode");

    QString secret;
    const RequestError recovered =
        recoverAppSecret(result->appId, result->nonce, result->appSecret, &secret);
    if (recovered != NoError) {
        return recovered;
    }
    result->appSecret = secret;
    return NoError;
}

QString accountTypeString(AccountType type)
{
    const char* key = nullptr;
    switch (type) {
        case Editor:
            key = QT_TRANSLATE_NOOP("ApiCollection", "AccountType.Editor");
            break;
        case Operator:
            key = QT_TRANSLATE_NOOP("ApiCollection", "AccountType.Operator");
            break;
        case Manager:
            key = QT_TRANSLATE_NOOP("ApiCollection", "AccountType.Manager");
            break;
        case Uploader:
            key = QT_TRANSLATE_NOOP("ApiCollection", "AccountType.Uploader");
            break;
        case Classifier:
            key = QT_TRANSLATE_NOOP("ApiCollection", "AccountType.Classifier");
            break;
        case LiveManager:
            key = QT_TRANSLATE_NOOP("ApiCollection", "AccountType.LiveManager");
            break;
        case Maintainer:
            key = QT_TRANSLATE_NOOP("ApiCollection", "AccountType.Maintainer");
            break;
        case Distributer:
            key = QT_TRANSLATE_NOOP("ApiCollection", "AccountType.Distributer");
            break;
        case None:
            key = QT_TRANSLATE_NOOP("ApiCollection", "AccountType.MainAccount");
            break;
    }
    return key ? QCoreApplication::translate("ApiCollection", key) : QString();
}

}  // namespace ApiCollection
