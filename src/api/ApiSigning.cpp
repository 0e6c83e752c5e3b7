#include "api/ApiSigning.h"

#include <kavro/Deployment.h>

#include <QCryptographicHash>
#include <QDebug>
#include <QReadWriteLock>

#include "api/ApiTransport.h"
#include "store/AesCbc.h"

namespace {

QReadWriteLock g_credentialsLock;
ApiCollection::Credentials g_credentials;

QString Md5Upper(const QString& text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

}  // namespace

namespace ApiCollection {

void setCredentials(const Credentials& credentials)
{
    QWriteLocker locker(&g_credentialsLock);
    g_credentials = credentials;
}

Credentials credentials()
{
    QReadLocker locker(&g_credentialsLock);
    return g_credentials;
}

QString signatureText(const QString& secret, const ParamMap& params)
{
    QString text = secret;
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        if (!it.value().isEmpty()) {
            text += it.key() + it.value();
        }
    }
    return text + secret;
}

void signParams(const QString& secret, ParamMap* params)
{
    params->insert(QStringLiteral("sign"), Md5Upper(signatureText(secret, *params)));
}

QString updateSalt()
{
    return QString::fromLatin1(kavro::deployment::kUpdateSaltHead) +
           QString::fromLatin1(kavro::deployment::kUpdateSaltTail);
}

QString updateSignatureText(const ParamMap& params)
{
    const QString salt = updateSalt();
    QString text = salt;
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        text += it.key().toLower() + it.value().toLower();
    }
    return text + salt;
}

void signUpdateParams(ParamMap* params)
{
    params->insert(QStringLiteral("sign"), Md5Upper(updateSignatureText(*params)));
}

RequestError encodeParams(CURL* handle, const ParamMap& params, QStringList* pairs,
                          QString* errorText)
{
    pairs->clear();
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        QByteArray escaped;
        if (!escapeValue(handle, it.value(), &escaped, errorText)) {
            return CurlEscapeFailed;
        }
        pairs->append(QStringLiteral("%1=%2").arg(it.key(), QString::fromLatin1(escaped)));
    }
    return NoError;
}

QByteArray aesDecrypt(const QByteArray& cipher, const QByteArray& key, const QByteArray& iv)
{
    return AesCbc::Decrypt(cipher, key.left(AesCbc::kBlockSize), iv);
}

QByteArray aesEncrypt(const QByteArray& plain, const QByteArray& key, const QByteArray& iv)
{
    return AesCbc::Encrypt(plain, key.left(AesCbc::kBlockSize), iv);
}

void secretKeyAndIv(const QString& appId, const QString& nonce, QByteArray* key, QByteArray* iv)
{
    const QString text = QString::fromLatin1(kavro::deployment::kLoginConstant) + appId + nonce;
    const QByteArray digest =
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex();
    *key = digest.left(16);
    *iv = digest.right(16);
}

RequestError recoverAppSecret(const QString& appId, const QString& nonce,
                              const QString& encryptedSecret, QString* secret)
{
    const QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(
        encryptedSecret.toLatin1(),
        QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    // Base64 is ASCII; toLatin1 would quietly turn other characters into something decodable.
    const bool ascii = encryptedSecret.toLatin1() == encryptedSecret.toUtf8();
    if (!decoded || !ascii) {
        qCCritical(lcApi) << "login-client:"
                          << "Base64Decoding failed";
        return Base64DecodingFailed;
    }
    QByteArray key;
    QByteArray iv;
    secretKeyAndIv(appId, nonce, &key, &iv);
    if (decoded.decoded.isEmpty()) {
        secret->clear();
        return NoError;
    }
    bool ok = false;
    const QByteArray plain = AesCbc::Decrypt(decoded.decoded, key, iv, &ok);
    if (!ok) {
        // Not whole blocks or no valid padding: the secret was not made with this client's
        // login constant. Signing with garbage would only fail later and less clearly.
        qCCritical(lcApi) << "login-client:"
                          << "appSecret decryption failed";
        return ApiError;
    }
    *secret = QString::fromUtf8(plain);
    return NoError;
}

}  // namespace ApiCollection
