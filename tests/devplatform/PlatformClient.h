#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

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

    // abortAfter >= 0 makes the upload of body stop after that many bytes (connection broken).
    HttpReply Request(const QByteArray& method, const QString& pathOrUrl,
                      const HeaderList& headers = {}, const QByteArray& body = {},
                      qint64 abortAfter = -1) const;

    // The web API: form POST / query GET, signed as the client signs.
    HttpReply Login(const QString& email, const QString& password) const;
    HttpReply SignedGet(const QString& path, QMap<QString, QString> params, const QString& appId,
                        const QString& secret) const;
    HttpReply SignedPost(const QString& path, QMap<QString, QString> params, const QString& appId,
                         const QString& secret) const;
    // A signed multipart POST: the parameters as text parts, then one file part.
    HttpReply SignedMultipart(const QString& path, QMap<QString, QString> params,
                              const QString& appId, const QString& secret, const char* fileField,
                              const QString& fileName, const QByteArray& content) const;
    static void Sign(QMap<QString, QString>* params, const QString& appId, const QString& secret);
    static QByteArray Encode(const QMap<QString, QString>& params);

    // The upload endpoint's signing and tus headers.
    static HeaderList TusHeaders(const QByteArray& method, const QString& path,
                                 const QString& appId, const QString& secret,
                                 const QByteArray& offset = {}, const QByteArray& length = {});
    static QString PathOf(const QString& url);

    // CRC-64/XZ of data (ISA-L), to compare with the server's Kvr-Crc64.
    static quint64 Crc64(const QByteArray& data);

private:
    QString baseUrl_;
    QByteArray caFile_;
};
