#include "ApiAuth.h"

#include <httplib.h>

#include <QDateTime>

#include "AccountStore.h"
#include "ApiEnvelope.h"
#include "Crypto.h"
#include "HttpUtil.h"
#include "PlatformContext.h"

QMap<QString, QString> ApiAuth::Params(const httplib::Request& req)
{
    QMap<QString, QString> params = HttpUtil::Params(req);
    for (const auto& [name, part] : req.files) {
        if (part.filename.empty()) {
            params.insert(QString::fromStdString(name), QString::fromStdString(part.content));
        }
    }
    return params;
}

std::optional<Account> ApiAuth::Verify(PlatformContext& context, const httplib::Request& req,
                                       httplib::Response& res, const QMap<QString, QString>& params,
                                       std::initializer_list<Account::Permission> anyOf)
{
    Q_UNUSED(req);
    const QString appId = params.value(QStringLiteral("appId"));
    if (appId.isEmpty()) {
        ApiEnvelope::Failure(res, kAppIdEmpty, QStringLiteral("appId is empty"));
        return std::nullopt;
    }
    std::optional<Account> account;
    {
        auto lock = context.db->Lock();
        account = AccountStore(*context.db).ByAppId(appId);
    }
    if (!account) {
        ApiEnvelope::Failure(res, kAppNotExist, QStringLiteral("application does not exist"));
        return std::nullopt;
    }
    bool ok = false;
    const qint64 timestamp = params.value(QStringLiteral("timestamp")).toLongLong(&ok);
    if (!ok || qAbs(QDateTime::currentMSecsSinceEpoch() - timestamp) > kTimestampWindowMs) {
        ApiEnvelope::Failure(res, kInvalidTimestamp, QStringLiteral("invalid timestamp period"));
        return std::nullopt;
    }
    if (params.value(QStringLiteral("sign")) != Crypto::ApiSignature(account->appSecret, params)) {
        ApiEnvelope::Failure(res, kInvalidSign, QStringLiteral("invalid sign"));
        return std::nullopt;
    }
    if (account->IsSub() && account->expirationMs < QDateTime::currentMSecsSinceEpoch()) {
        ApiEnvelope::Failure(res, kChildExpired, QStringLiteral("sub-account expired"));
        return std::nullopt;
    }
    bool allowed = anyOf.size() == 0;
    for (Account::Permission permission : anyOf) {
        allowed = allowed || account->Has(permission);
    }
    if (!allowed) {
        ApiEnvelope::Failure(res, kPermissionLimited, QStringLiteral("permission limited"));
        return std::nullopt;
    }
    return account;
}
