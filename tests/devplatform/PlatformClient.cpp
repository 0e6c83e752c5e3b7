#include "PlatformClient.h"

#include <curl/curl.h>
#include <isa-l/crc64.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QUrl>

namespace {

struct Transfer
{
    HttpReply* reply;
    const QByteArray* body;
    qint64 position = 0;
    qint64 abortAfter = -1;
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
    qint64 left = t->body->size() - t->position;
    if (t->abortAfter >= 0) {
        if (t->position >= t->abortAfter) {
            return CURL_READFUNC_ABORT;
        }
        left = qMin(left, t->abortAfter - t->position);
    }
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
                                  const HeaderList& headers, const QByteArray& body,
                                  qint64 abortAfter) const
{
    HttpReply reply;
    Transfer transfer{&reply, &body, 0, abortAfter};
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
                                          const QString& appId, const QString& secret,
                                          const char* fileField, const QString& fileName,
                                          const QByteArray& content) const
{
    Sign(&params, appId, secret);
    HttpReply reply;
    const QByteArray empty;
    Transfer transfer{&reply, &empty, 0, -1};
    CURL* curl = curl_easy_init();
    const QByteArray url = (baseUrl_ + path).toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile_.constData());
    curl_mime* mime = curl_mime_init(curl);
    for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
        curl_mimepart* part = curl_mime_addpart(mime);
        curl_mime_name(part, it.key().toUtf8().constData());
        const QByteArray value = it.value().toUtf8();
        curl_mime_data(part, value.constData(), static_cast<size_t>(value.size()));
    }
    curl_mimepart* file = curl_mime_addpart(mime);
    curl_mime_name(file, fileField);
    curl_mime_filename(file, fileName.toUtf8().constData());
    curl_mime_data(file, content.constData(), static_cast<size_t>(content.size()));
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 60L);
    reply.curlCode = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_mime_free(mime);
    curl_easy_cleanup(curl);
    return reply;
}

HeaderList PlatformClient::TusHeaders(const QByteArray& method, const QString& path,
                                      const QString& appId, const QString& secret,
                                      const QByteArray& offset, const QByteArray& length)
{
    const QByteArray timestamp = QByteArray::number(QDateTime::currentSecsSinceEpoch());
    // The platform accepts a nonce once: 16 random hex digits, as the library sends.
    const QByteArray nonce =
        QByteArray::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, '0');
    const QByteArray text = method + '\n' + path.toUtf8() + '\n' + timestamp + '\n' + nonce + '\n' +
                            offset + '\n' + length;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    const QByteArray key = secret.toUtf8();
    HMAC(EVP_sha256(), key.constData(), key.size(),
         reinterpret_cast<const unsigned char*>(text.constData()), static_cast<size_t>(text.size()),
         digest, &digestLength);
    HeaderList headers = {{"Tus-Resumable", "1.0.0"},
                          {"Kvr-App-Id", appId.toUtf8()},
                          {"Kvr-Timestamp", timestamp},
                          {"Kvr-Nonce", nonce},
                          {"Kvr-Signature", QByteArray(reinterpret_cast<const char*>(digest),
                                                       static_cast<int>(digestLength))
                                                .toHex()}};
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

quint64 PlatformClient::Crc64(const QByteArray& data)
{
    return crc64_ecma_refl(0, reinterpret_cast<const unsigned char*>(data.constData()),
                           quint64(data.size()));
}
