#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

#include "common/DemoSeed.h"

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

struct HttpReply
{
    int curlCode = 0;  // CURLcode of the transfer
    long status = 0;
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;

    QByteArray Header(const char* name) const { return headers.value(QByteArray(name).toLower()); }
    QJsonObject Json() const;
    QJsonObject Data() const { return Json().value(QLatin1String("data")).toObject(); }
    // The envelope's error code, 0 on success.
    int ErrorCode() const;
};

// A libcurl client for the devplatform under test: finds it through KAVRO_PLATFORM_URL and
// verifies it with KAVRO_TEST_CACERT, as the client does in production.
class PlatformClient
{
public:
    PlatformClient();

    QString BaseUrl() const { return baseUrl_; }
    bool IsConfigured() const { return !baseUrl_.isEmpty(); }

    HttpReply Request(const QByteArray& method, const QString& pathOrUrl,
                      const HeaderList& headers = {}, const QByteArray& body = {}) const;

    // The web API: form POST / query GET, signed as the client signs (by default for the demo
    // seed's main account).
    HttpReply Login(const QString& email, const QString& password) const;
    HttpReply SignedGet(const QString& path, QMap<QString, QString> params,
                        const QString& appId = demo::kMainAppId,
                        const QString& secret = demo::kMainSecret) const;
    HttpReply SignedPost(const QString& path, QMap<QString, QString> params,
                         const QString& appId = demo::kMainAppId,
                         const QString& secret = demo::kMainSecret) const;
    // A signed multipart POST of the main account: the parameters as text parts, then one file
    // part.
    HttpReply SignedMultipart(const QString& path, QMap<QString, QString> params,
                              const char* fileField, const QString& fileName,
                              const QByteArray& content) const;
    static void Sign(QMap<QString, QString>* params, const QString& appId = demo::kMainAppId,
                     const QString& secret = demo::kMainSecret);
    static QByteArray Encode(const QMap<QString, QString>& params);

    // The upload endpoint's signing and tus headers; refusals are tried with a shifted clock or
    // without a nonce.
    static HeaderList TusHeaders(const QByteArray& method, const QString& path,
                                 const QString& appId = demo::kMainAppId,
                                 const QString& secret = demo::kMainSecret,
                                 const QByteArray& offset = {}, const QByteArray& length = {},
                                 qint64 clockShift = 0, bool withNonce = true);
    static QString PathOf(const QString& url);

    // tus requests of the upload endpoint, signed (by default) as the main account.
    HttpReply TusCreate(qint64 length, const QMap<QString, QString>& metadata,
                        const QString& appId = demo::kMainAppId,
                        const QString& secret = demo::kMainSecret) const;
    HttpReply TusPatch(const QString& url, qint64 offset, const QByteArray& data,
                       const QByteArray& contentType = "application/offset+octet-stream") const;
    HttpReply TusHead(const QString& url, const QString& appId = demo::kMainAppId,
                      const QString& secret = demo::kMainSecret) const;
    // Upload-Metadata: "key base64(value)" pairs, in key order.
    static QByteArray TusMetadata(const QMap<QString, QString>& values);
    // A new well-formed vid (random, the tag only makes it easier to spot in the server's log).
    static QString NewVid(const char* tag);

    // CRC-64/XZ of data (ISA-L), to compare with the server's Kvr-Crc64.
    static quint64 Crc64(const QByteArray& data);

private:
    QString baseUrl_;
    QByteArray caFile_;
};
