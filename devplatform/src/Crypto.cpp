#include "Crypto.h"

#include <kavro/Deployment.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <QCryptographicHash>

namespace Crypto {

QString Md5Hex(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

QString Sha1PasswordDigest(const QString& password)
{
    return QString::fromLatin1(
               QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1).toHex())
        .toUpper()
        .left(20);
}

QString HmacSha256Hex(const QByteArray& key, const QByteArray& data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!HMAC(EVP_sha256(), key.constData(), key.size(),
              reinterpret_cast<const unsigned char*>(data.constData()),
              static_cast<size_t>(data.size()), digest, &length)) {
        return QString();
    }
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), static_cast<int>(length)).toHex());
}

namespace {

QByteArray AesRun(bool encrypt, const QByteArray& input, const QByteArray& key16,
                  const QByteArray& iv16)
{
    if (key16.size() < 16 || iv16.size() < 16) {
        return QByteArray();
    }
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx) {
        return QByteArray();
    }
    QByteArray out(input.size() + 32, Qt::Uninitialized);
    int written = 0;
    int finalWritten = 0;
    const auto* key = reinterpret_cast<const unsigned char*>(key16.constData());
    const auto* iv = reinterpret_cast<const unsigned char*>(iv16.constData());
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    const bool ok =
        EVP_CipherInit_ex(ctx, EVP_aes_128_cbc(), nullptr, key, iv, encrypt ? 1 : 0) == 1 &&
        EVP_CipherUpdate(ctx, dst, &written,
                         reinterpret_cast<const unsigned char*>(input.constData()),
                         input.size()) == 1 &&
        EVP_CipherFinal_ex(ctx, dst + written, &finalWritten) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok) {
        return QByteArray();
    }
    out.resize(written + finalWritten);
    return out;
}

}  // namespace

QByteArray AesEncrypt(const QByteArray& plain, const QByteArray& key16, const QByteArray& iv16)
{
    return AesRun(true, plain, key16, iv16);
}

QByteArray AesDecrypt(const QByteArray& cipher, const QByteArray& key16, const QByteArray& iv16)
{
    return AesRun(false, cipher, key16, iv16);
}

QString RandomHex(int digits)
{
    QByteArray bytes((digits + 1) / 2, Qt::Uninitialized);
    RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    return QString::fromLatin1(bytes.toHex()).left(digits);
}

QString ApiSignature(const QString& secret, const QMap<QString, QString>& params)
{
    QString text = secret;
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        if (it.key() == QLatin1String("sign") || it.value().isEmpty()) {
            continue;
        }
        text += it.key();
        text += it.value();
    }
    text += secret;
    return Md5Hex(text.toUtf8()).toUpper();
}

QString UpdateSignature(const QString& salt, const QMap<QString, QString>& params)
{
    QString text = salt;
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        if (it.key() == QLatin1String("sign")) {
            continue;
        }
        text += it.key().toLower();
        text += it.value().toLower();
    }
    text += salt;
    return Md5Hex(text.toUtf8()).toUpper();
}

QString EncryptAppSecret(const QString& secret, const QString& appId, const QString& nonce)
{
    const QString material = QString::fromLatin1(kavro::deployment::kLoginConstant) + appId + nonce;
    const QByteArray digest = Md5Hex(material.toUtf8()).toLatin1();
    return QString::fromLatin1(
        AesEncrypt(secret.toUtf8(), digest.left(16), digest.right(16)).toBase64());
}

}  // namespace Crypto
