#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// The digests and ciphers of the platform's wire contract.
namespace Crypto {

QString Md5Hex(const QByteArray& data);               // lower-case
QString Sha1PasswordDigest(const QString& password);  // first 20 upper-case hex digits of SHA-1
QString HmacSha256Hex(const QByteArray& key, const QByteArray& data);  // lower-case
// AES-128-CBC with PKCS#7 padding (1 to 16 bytes always added); empty on failure.
QByteArray AesEncrypt(const QByteArray& plain, const QByteArray& key16, const QByteArray& iv16);
QByteArray AesDecrypt(const QByteArray& cipher, const QByteArray& key16, const QByteArray& iv16);
QString RandomHex(int digits);

// The web API signature: MD5 of secret + name value pairs (sorted by name, empty values
// skipped, "sign" never part of it) + secret, 32 upper-case hex digits.
QString ApiSignature(const QString& secret, const QMap<QString, QString>& params);
// The update service's signature: MD5 of salt + lower-cased names and values (empty values
// kept) + salt, upper-case.
QString UpdateSignature(const QString& salt, const QMap<QString, QString>& params);
// The login answer's appSecret: AES under the key and IV derived from the login constant,
// the appId and the nonce, in Base64.
QString EncryptAppSecret(const QString& secret, const QString& appId, const QString& nonce);

}  // namespace Crypto
