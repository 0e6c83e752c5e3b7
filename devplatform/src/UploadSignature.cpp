#include "UploadSignature.h"

#include <httplib.h>

#include <QDateTime>

#include "AccountStore.h"
#include "ApiAuth.h"
#include "Crypto.h"
#include "Database.h"
#include "HttpUtil.h"
#include "NonceRegistry.h"
#include "TusReply.h"

namespace {

constexpr int kMaxNonceLength = 64;

}  // namespace

std::optional<Account> UploadSignature::Verify(const Database& db, NonceRegistry& nonces,
                                               const httplib::Request& req, const QString& method,
                                               httplib::Response& res)
{
    const QString appId = HttpUtil::Header(req, "Kvr-App-Id");
    const QString timestamp = HttpUtil::Header(req, "Kvr-Timestamp");
    const QString nonce = HttpUtil::Header(req, "Kvr-Nonce");
    const QString signature = HttpUtil::Header(req, "Kvr-Signature");
    if (appId.isEmpty()) {
        TusReply::Refuse(res, 401, ApiAuth::kAppIdEmpty, QStringLiteral("Kvr-App-Id missing"));
        return std::nullopt;
    }
    std::optional<Account> account;
    {
        auto lock = db.Lock();
        account = AccountStore(db).ByAppId(appId);
    }
    if (!account) {
        TusReply::Refuse(res, 401, ApiAuth::kAppNotExist, QStringLiteral("unknown appId"));
        return std::nullopt;
    }
    bool ok = false;
    const qint64 seconds = timestamp.toLongLong(&ok);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (!ok || qAbs(seconds - now) > kTimestampWindowSeconds) {
        TusReply::Refuse(res, 401, ApiAuth::kInvalidTimestamp,
                         QStringLiteral("timestamp outside the window"));
        return std::nullopt;
    }
    const QString text = method + QLatin1Char('\n') + QString::fromStdString(req.path) +
                         QLatin1Char('\n') + timestamp + QLatin1Char('\n') + nonce +
                         QLatin1Char('\n') + HttpUtil::Header(req, "Upload-Offset") +
                         QLatin1Char('\n') + HttpUtil::Header(req, "Upload-Length");
    const QString expected = Crypto::HmacSha256Hex(account->appSecret.toUtf8(), text.toUtf8());
    if (signature.toLower() != expected) {
        TusReply::Refuse(res, 401, ApiAuth::kInvalidSign, QStringLiteral("signature mismatch"));
        return std::nullopt;
    }
    // Checked after the signature, so that only the signer can use up a nonce.
    if (nonce.isEmpty() || nonce.size() > kMaxNonceLength) {
        TusReply::Refuse(res, 401, ApiAuth::kInvalidSign,
                         QStringLiteral("Kvr-Nonce missing or too long"));
        return std::nullopt;
    }
    if (!nonces.Use(appId, nonce, seconds, now)) {
        TusReply::Refuse(res, 401, ApiAuth::kInvalidSign, QStringLiteral("nonce already used"));
        return std::nullopt;
    }
    return account;
}
