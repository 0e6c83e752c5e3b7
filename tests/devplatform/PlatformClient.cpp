#include "PlatformClient.h"

#include <curl/curl.h>
#include <isa-l/crc64.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QUrl>

namespace {

struct Transfer
{
    HttpReply* reply;
    const QByteArray* body;
    qint64 position = 0;
};

size_t OnWrite(char* data, size_t size, size_t count, void* user)
{
    static_cast<Transfer*>(user)->reply->body.append(data, static_cast<int>(size * count));
    return size * count;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user)
{
    const QByteArray line = QByteArray(data, static_cast<int>(size * count)).trimmed();
    const int colon = line.indexOf(':');
    if (colon > 0) {
        static_cast<Transfer*>(user)->reply->headers.insert(line.left(colon).trimmed().toLower(),
                                                            line.mid(colon + 1).trimmed());
    }
    return size * count;
}

size_t OnRead(char* buffer, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const qint64 left = t->body->size() - t->position;
    const qint64 n = qMin<qint64>(left, static_cast<qint64>(size * count));
    memcpy(buffer, t->body->constData() + t->position, static_cast<size_t>(n));
    t->position += n;
    return static_cast<size_t>(n);
}

}  // namespace

QJsonObject HttpReply::Json() const
{
    return QJsonDocument::fromJson(body).object();
}

int HttpReply::ErrorCode() const
{
    const QJsonValue error = Json().value(QStringLiteral("error"));
    return error.isObject() ? error.toObject().value(QStringLiteral("code")).toInt() : 0;
}

PlatformClient::PlatformClient()
    : baseUrl_(qEnvironmentVariable("KAVRO_PLATFORM_URL")), caFile_(qgetenv("KAVRO_TEST_CACERT"))
{
}

HttpReply PlatformClient::Request(const QByteArray& method, const QString& pathOrUrl,
                                  const HeaderList& headers, const QByteArray& body) const
{
    HttpReply reply;
    Transfer transfer{&reply, &body, 0};
    CURL* curl = curl_easy_init();
    const QByteArray url =
        (pathOrUrl.startsWith(QLatin1String("https://")) ? pathOrUrl : baseUrl_ + pathOrUrl)
            .toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile_.constData());
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.constData());
    if (method == "HEAD") {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    }
    struct curl_slist* list = nullptr;
    for (const auto& [name, value] : headers) {
        list = curl_slist_append(list, (name + ": " + value).constData());
    }
    list = curl_slist_append(list, "Expect:");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    if (!body.isEmpty() || method == "POST" || method == "PATCH") {
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, OnRead);
        curl_easy_setopt(curl, CURLOPT_READDATA, &transfer);
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    reply.curlCode = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_slist_free_all(list);
    curl_easy_cleanup(curl);
    return reply;
}

QByteArray PlatformClient::Encode(const QMap<QString, QString>& params)
{
    QByteArray out;
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        if (!out.isEmpty()) {
            out += '&';
        }
        out += it.key().toUtf8() + '=' + QUrl::toPercentEncoding(it.value());
    }
    return out;
}

void PlatformClient::Sign(QMap<QString, QString>* params, const QString& appId,
                          const QString& secret)
{
    params->insert(QStringLiteral("appId"), appId);
    if (!params->contains(QStringLiteral("timestamp"))) {
        params->insert(QStringLiteral("timestamp"),
                       QString::number(QDateTime::currentMSecsSinceEpoch()));
    }
    QString text = secret;
    for (auto it = params->constBegin(); it != params->constEnd(); ++it) {
        if (!it.value().isEmpty()) {
            text += it.key() + it.value();
        }
    }
    text += secret;
    params->insert(
        QStringLiteral("sign"),
        QString::fromLatin1(
            QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper()));
}

HttpReply PlatformClient::Login(const QString& email, const QString& password) const
{
    const QByteArray digest = QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1)
                                  .toHex()
                                  .toUpper()
                                  .left(20);
    const QByteArray body = "email=" + QUrl::toPercentEncoding(email) + "&password=" + digest;
    return Request("POST", QStringLiteral("/v3/front/login-client"),
                   {{"Content-Type", "application/x-www-form-urlencoded"}}, body);
}

HttpReply PlatformClient::SignedGet(const QString& path, QMap<QString, QString> params,
                                    const QString& appId, const QString& secret) const
{
    Sign(&params, appId, secret);
    return Request("GET", path + QLatin1Char('?') + QString::fromLatin1(Encode(params)));
}

HttpReply PlatformClient::SignedPost(const QString& path, QMap<QString, QString> params,
                                     const QString& appId, const QString& secret) const
{
    Sign(&params, appId, secret);
    return Request("POST", path, {{"Content-Type", "application/x-www-form-urlencoded"}},
                   Encode(params));
}

HttpReply PlatformClient::SignedMultipart(const QString& path, QMap<QString, QString> params,
                                          const char* fileField, const QString& fileName,
                                          const QByteArray& content) const
{
    Sign(&params, demo::kMainAppId, demo::kMainSecret);
    const QByteArray boundary = "kavro-test-boundary-7d1f";
    QByteArray body;
    auto addPart = [&](const QByteArray& disposition, const QByteArray& data) {
        body += "--" + boundary + "\r\nContent-Disposition: form-data; " + disposition +
                "\r\n\r\n" + data + "\r\n";
    };
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        addPart("name=\"" + it.key().toUtf8() + '"', it.value().toUtf8());
    }
    addPart("name=\"" + QByteArray(fileField) + "\"; filename=\"" + fileName.toUtf8() + '"',
            content);
    body += "--" + boundary + "--\r\n";
    return Request("POST", path, {{"Content-Type", "multipart/form-data; boundary=" + boundary}},
                   body);
}

HeaderList PlatformClient::TusHeaders(const QByteArray& method, const QString& path,
                                      const QString& appId, const QString& secret,
                                      const QByteArray& offset, const QByteArray& length,
                                      qint64 clockShift, bool withNonce)
{
    const QByteArray timestamp =
        QByteArray::number(QDateTime::currentSecsSinceEpoch() + clockShift);
    // The platform accepts a nonce once: 16 random hex digits, as the library sends.
    const QByteArray nonce = withNonce
                                 ? QByteArray::number(QRandomGenerator::global()->generate64(), 16)
                                       .rightJustified(16, '0')
                                 : QByteArray();
    const QByteArray text = method + '\n' + path.toUtf8() + '\n' + timestamp + '\n' + nonce + '\n' +
                            offset + '\n' + length;
    HeaderList headers = {{"Tus-Resumable", "1.0.0"},
                          {"Kvr-App-Id", appId.toUtf8()},
                          {"Kvr-Timestamp", timestamp},
                          {"Kvr-Signature", QMessageAuthenticationCode::hash(
                                                text, secret.toUtf8(), QCryptographicHash::Sha256)
                                                .toHex()}};
    if (withNonce) {
        headers.append({"Kvr-Nonce", nonce});
    }
    if (!offset.isEmpty()) {
        headers.append({"Upload-Offset", offset});
    }
    if (!length.isEmpty()) {
        headers.append({"Upload-Length", length});
    }
    return headers;
}

QString PlatformClient::PathOf(const QString& url)
{
    return QUrl(url).path();
}

HttpReply PlatformClient::TusCreate(qint64 length, const QMap<QString, QString>& metadata,
                                    const QString& appId, const QString& secret) const
{
    const QString path = QStringLiteral("/upload/files/");
    HeaderList headers = TusHeaders("POST", path, appId, secret, {}, QByteArray::number(length));
    headers.append({"Upload-Metadata", TusMetadata(metadata)});
    return Request("POST", path, headers);
}

HttpReply PlatformClient::TusPatch(const QString& url, qint64 offset, const QByteArray& data,
                                   const QByteArray& contentType) const
{
    HeaderList headers = TusHeaders("PATCH", PathOf(url), demo::kMainAppId, demo::kMainSecret,
                                    QByteArray::number(offset));
    headers.append({"Content-Type", contentType});
    return Request("PATCH", url, headers, data);
}

HttpReply PlatformClient::TusHead(const QString& url, const QString& appId,
                                  const QString& secret) const
{
    return Request("HEAD", url, TusHeaders("HEAD", PathOf(url), appId, secret));
}

QByteArray PlatformClient::TusMetadata(const QMap<QString, QString>& values)
{
    QList<QByteArray> pairs;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        pairs.append(it.key().toUtf8() + ' ' + it.value().toUtf8().toBase64());
    }
    return pairs.join(',');
}

QString PlatformClient::NewVid(const char* tag)
{
    const QByteArray seed =
        QByteArray(tag) + QByteArray::number(QRandomGenerator::global()->generate64());
    return QString::fromLatin1(QCryptographicHash::hash(seed, QCryptographicHash::Md5).toHex()) +
           QStringLiteral("_1");
}

quint64 PlatformClient::Crc64(const QByteArray& data)
{
    return crc64_ecma_refl(0, reinterpret_cast<const unsigned char*>(data.constData()),
                           quint64(data.size()));
}
