#pragma once

#include <curl/curl.h>

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include "api/ApiCollection.h"

// How a platform request is signed and encoded, the update service's own signature, and the
// AES routines that recover the account's signing secret from the login answer.
namespace ApiCollection {

// Parameters ordered by name (QString's ordinary UTF-16 comparison): the order of the
// signature and of the encoded body or query.
using ParamMap = QMap<QString, QString>;

// The signed-in account's signing credentials, set by the account manager after a login and
// read by every signed request on any thread.
struct Credentials
{
    QString appId;
    QString appSecret;
};
void setCredentials(const Credentials& credentials);
Credentials credentials();

// The text signed by signParams: secret, then name and value of every non-empty value in map
// order, then the secret again.
QString signatureText(const QString& secret, const ParamMap& params);
// Adds "sign": the upper-case hexadecimal MD5 of signatureText.
void signParams(const QString& secret, ParamMap* params);

// The update service's 19-character salt, assembled from the deployment's two pieces.
QString updateSalt();
// The update service's signature text: salt, lower-cased names and values (empty ones kept),
// salt.
QString updateSignatureText(const ParamMap& params);
void signUpdateParams(ParamMap* params);

// "name=<percent-encoded UTF-8 value>" for every entry in map order; CurlEscapeFailed at the
// first value that cannot be encoded.
RequestError encodeParams(CURL* handle, const ParamMap& params, QStringList* pairs,
                          QString* errorText);

// AES-128-CBC with PKCS#7 padding; key is the first 16 bytes of the given key text, iv 16 bytes.
// Empty on failure.
QByteArray aesDecrypt(const QByteArray& cipher, const QByteArray& key, const QByteArray& iv);
QByteArray aesEncrypt(const QByteArray& plain, const QByteArray& key, const QByteArray& iv);

// Key and IV of the login answer's secret: the first and last 16 characters of the lower-case
// hexadecimal MD5 of the deployment's login constant, appId and nonce.
void secretKeyAndIv(const QString& appId, const QString& nonce, QByteArray* key, QByteArray* iv);
// Decodes the Base64 "appSecret" of a login answer and decrypts it. Base64DecodingFailed when
// the text is not valid Base64, ApiError when the bytes do not decrypt (not whole blocks or no
// valid padding).
RequestError recoverAppSecret(const QString& appId, const QString& nonce,
                              const QString& encryptedSecret, QString* secret);

}  // namespace ApiCollection
