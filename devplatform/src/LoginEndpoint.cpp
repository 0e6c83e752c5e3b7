#include "LoginEndpoint.h"

#include <httplib.h>

#include <QDateTime>
#include <QDebug>
#include <QJsonObject>

#include "AccountStore.h"
#include "ApiEnvelope.h"
#include "Crypto.h"
#include "HttpUtil.h"
#include "PlatformContext.h"

namespace {

enum Code
{
    kEmailEmpty = 20,
    kPasswordEmpty = 21,
    kUserNotExist = 22,
    kMainPasswordWrong = 23,
    kSubPasswordWrong = 24,
    kSubExpired = 26,
    kAccountLocked = 31,
};

QJsonObject Remaining(int remain)
{
    return QJsonObject{{QStringLiteral("remainLoginChange"), remain}};
}

}  // namespace

void LoginEndpoint::Register(httplib::Server& server)
{
    server.Post("/v3/front/login-client", [this](const httplib::Request& req,
                                                 httplib::Response& res) {
        const QString email = QString::fromStdString(req.get_param_value("email")).trimmed();
        const QString password = QString::fromStdString(req.get_param_value("password"));
        if (email.isEmpty()) {
            ApiEnvelope::Failure(res, kEmailEmpty, QStringLiteral("email is empty"));
            return;
        }
        if (password.isEmpty()) {
            ApiEnvelope::Failure(res, kPasswordEmpty, QStringLiteral("password is empty"));
            return;
        }
        auto lock = context_.db->Lock();
        const AccountStore accounts(*context_.db);
        const auto account = accounts.ByEmail(email);
        if (!account) {
            ApiEnvelope::Failure(res, kUserNotExist, QStringLiteral("user does not exist"));
            return;
        }
        if (account->remainLogin <= 0) {
            ApiEnvelope::Failure(res, kAccountLocked, QStringLiteral("account locked"),
                                 Remaining(0));
            return;
        }
        if (password.toUpper() != account->password) {
            const int remain = account->remainLogin - 1;
            accounts.SetRemainLogin(account->id, remain);
            qInfo() << "login: wrong password for" << email << "remaining" << remain;
            ApiEnvelope::Failure(res, account->IsSub() ? kSubPasswordWrong : kMainPasswordWrong,
                                 QStringLiteral("wrong password"), Remaining(remain));
            return;
        }
        if (account->remainLogin != kLoginAttempts) {
            accounts.SetRemainLogin(account->id, kLoginAttempts);
        }
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (account->IsSub() && account->expirationMs < now) {
            ApiEnvelope::Failure(res, kSubExpired, QStringLiteral("sub-account expired"));
            return;
        }
        const auto main = account->IsSub() ? accounts.ById(account->mainId) : account;
        if (!main) {
            ApiEnvelope::Failure(res, kUserNotExist, QStringLiteral("main account missing"));
            return;
        }

        QJsonObject permission{
            {QStringLiteral("childAccountType"), account->IsSub() ? account->accountType : -1}};
        const QStringList& names = Account::PermissionNames();
        for (int i = 0; i < names.size(); ++i) {
            permission.insert(names[i], account->Has(static_cast<Account::Permission>(i)) ? 1 : 0);
        }
        const qint64 expiration = account->IsSub() ? account->expirationMs : main->expirationMs;
        const QString nonce = Crypto::RandomHex(16);
        const QJsonObject data{
            {QStringLiteral("userId"), main->userId},
            {QStringLiteral("expired"),
             main->expirationMs < now ? QStringLiteral("Y") : QStringLiteral("N")},
            {QStringLiteral("remainBytes"), main->space - accounts.UsedBytes(main->id)},
            {QStringLiteral("space"), main->space},
            {QStringLiteral("packageType"), main->packageType},
            {QStringLiteral("leftDay"), qMax<qint64>(0, (expiration - now) / (24 * 3600 * 1000))},
            {QStringLiteral("expirationTime"), expiration},
            {QStringLiteral("email"), account->email},
            {QStringLiteral("childUserName"), account->childName},
            {QStringLiteral("childUserId"), account->IsSub() ? account->userId : QString()},
            {QStringLiteral("childVideoOnly"), account->videoOnly},
            {QStringLiteral("userLevel"), main->userLevel},
            {QStringLiteral("cateId"), account->rootCateId},
            {QStringLiteral("uploadType"), main->uploadType},
            {QStringLiteral("appId"), account->appId},
            {QStringLiteral("appSecret"),
             Crypto::EncryptAppSecret(account->appSecret, account->appId, nonce)},
            {QStringLiteral("nonce"), nonce},
            {QStringLiteral("permission"), permission}};
        qInfo() << "login:" << email;
        ApiEnvelope::Success(res, data);
    });
}
