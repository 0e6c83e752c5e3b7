#include "UploadEndpoint.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <httplib.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>
#include <QVariant>

#include "AccountStore.h"
#include "CategoryStore.h"
#include "Crypto.h"
#include "HttpUtil.h"
#include "PlatformContext.h"

namespace {

const char kTusVersion[] = "1.0.0";
const char kUploadPattern[] = R"(/upload/files/([0-9a-f]{32}))";
constexpr qint64 kTimestampWindowSeconds = 300;
constexpr size_t kWriteBufferSize = 4 << 20;  // bytes gathered before one write()

// Platform error codes used here (the web API's ErrorCode values).
enum : int
{
    kAppNotExist = 101,
    kInvalidTimestamp = 100,
    kInvalidSign = 104,
    kAppIdEmpty = 107,
    kVidEmpty = 401,
    kSizeZero = 406,
    kIllegalVid = 409,
    kUploadPermissionLimited = 410,
    kParamError = 1100,
    kCategoryNotExist = 3001,
};

void SetTusHeaders(httplib::Response& res)
{
    res.set_header("Tus-Resumable", kTusVersion);
}

// A refusal of the platform's own: HTTP status, Kvr-Error-Code and a small JSON body.
void Refuse(httplib::Response& res, int httpStatus, int code, const QString& message)
{
    SetTusHeaders(res);
    res.set_header("Kvr-Error-Code", std::to_string(code));
    HttpUtil::SetJson(
        res, QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}},
        httpStatus);
}

// A tus protocol status without a platform code.
void Status(httplib::Response& res, int httpStatus, const QString& message)
{
    SetTusHeaders(res);
    HttpUtil::SetText(res, message, httpStatus);
}

bool ParseNonNegative(const QString& text, qint64* value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,19}$"));
    if (!digits.match(text).hasMatch()) {
        return false;
    }
    bool ok = false;
    *value = text.toLongLong(&ok);
    return ok;
}

void SetOffsetHeaders(httplib::Response& res, const UploadState& upload, qint64 offset,
                      const Crc64& crc, bool crcKnown)
{
    res.set_header("Upload-Offset", std::to_string(offset));
    res.set_header("Upload-Length", std::to_string(upload.length));
    if (crcKnown) {
        res.set_header("Kvr-Crc64", std::to_string(crc.Value()));
    }
}

// Ends the TCP connection under the request at once, as a broken network would.
void DropConnection(const httplib::Request& req)
{
    if (req.ssl) {
        const int fd = SSL_get_fd(req.ssl);
        if (fd >= 0) {
            shutdown(fd, SHUT_RDWR);
        }
    }
}

bool WriteAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

UploadEndpoint::UploadEndpoint(PlatformContext& context, CompletedCallback completed)
    : Endpoint(context), registry_(*context.db), completed_(std::move(completed))
{
}

void UploadEndpoint::Register(httplib::Server& server)
{
    server.Options(R"(/upload/files/?.*)",
                   [this](const httplib::Request&, httplib::Response& res) { HandleOptions(res); });
    server.Post(R"(/upload/files/?)", [this](const httplib::Request& req, httplib::Response& res) {
        HandleCreate(req, res);
    });
    // cpp-httplib routes HEAD to the GET handlers.
    server.Get(kUploadPattern, [this](const httplib::Request& req, httplib::Response& res) {
        if (req.method != "HEAD") {
            Status(res, 405, QStringLiteral("method not allowed"));
            res.set_header("Allow", "HEAD, PATCH, DELETE, OPTIONS");
            return;
        }
        HandleHead(req, res);
    });
    server.Patch(kUploadPattern,
                 [this](const httplib::Request& req, httplib::Response& res,
                        const httplib::ContentReader& reader) { HandlePatch(req, res, reader); });
    server.Delete(kUploadPattern, [this](const httplib::Request& req, httplib::Response& res) {
        HandleDelete(req, res);
    });
}

bool UploadEndpoint::ParseMetadata(const QString& header, QMap<QString, QString>* metadata)
{
    metadata->clear();
    for (const QString& pair : header.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = pair.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.isEmpty() || parts.size() > 2) {
            return false;
        }
        QString value;
        if (parts.size() == 2) {
            const auto decoded = QByteArray::fromBase64Encoding(
                parts[1].toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded) {
                return false;
            }
            value = QString::fromUtf8(*decoded);
        }
        metadata->insert(parts[0], value);
    }
    return true;
}

void UploadEndpoint::HandleOptions(httplib::Response& res) const
{
    SetTusHeaders(res);
    res.set_header("Tus-Version", kTusVersion);
    res.set_header("Tus-Extension", "creation,termination");
    res.set_header("Tus-Max-Size", std::to_string(context_.options.maxUploadSize));
    res.status = 204;
}

std::optional<Account> UploadEndpoint::Admit(const httplib::Request& req,
                                             httplib::Response& res) const
{
    if (HttpUtil::Header(req, "Tus-Resumable") != QLatin1String(kTusVersion)) {
        res.set_header("Tus-Version", kTusVersion);
        Status(res, 412, QStringLiteral("unsupported tus version"));
        return std::nullopt;
    }
    const QString appId = HttpUtil::Header(req, "Kvr-App-Id");
    const QString timestamp = HttpUtil::Header(req, "Kvr-Timestamp");
    const QString nonce = HttpUtil::Header(req, "Kvr-Nonce");
    const QString signature = HttpUtil::Header(req, "Kvr-Signature");
    if (appId.isEmpty()) {
        Refuse(res, 401, kAppIdEmpty, QStringLiteral("Kvr-App-Id missing"));
        return std::nullopt;
    }
    std::optional<Account> account;
    {
        auto lock = context_.db->Lock();
        account = AccountStore(*context_.db).ByAppId(appId);
    }
    if (!account) {
        Refuse(res, 401, kAppNotExist, QStringLiteral("unknown appId"));
        return std::nullopt;
    }
    bool ok = false;
    const qint64 seconds = timestamp.toLongLong(&ok);
    if (!ok || qAbs(seconds - QDateTime::currentSecsSinceEpoch()) > kTimestampWindowSeconds) {
        Refuse(res, 401, kInvalidTimestamp, QStringLiteral("timestamp outside the window"));
        return std::nullopt;
    }
    const QString text = QString::fromStdString(req.method) + QLatin1Char('\n') +
                         QString::fromStdString(req.path) + QLatin1Char('\n') + timestamp +
                         QLatin1Char('\n') + nonce + QLatin1Char('\n') +
                         HttpUtil::Header(req, "Upload-Offset") + QLatin1Char('\n') +
                         HttpUtil::Header(req, "Upload-Length");
    const QString expected = Crypto::HmacSha256Hex(account->appSecret.toUtf8(), text.toUtf8());
    if (signature.toLower() != expected) {
        Refuse(res, 401, kInvalidSign, QStringLiteral("signature mismatch"));
        return std::nullopt;
    }
    return account;
}

QString UploadEndpoint::UploadUrl(const QString& id) const
{
    return context_.publicUrl + QStringLiteral("/upload/files/") + id;
}

void UploadEndpoint::HandleCreate(const httplib::Request& req, httplib::Response& res)
{
    const auto account = Admit(req, res);
    if (!account) {
        return;
    }
    if (!account->Has(Account::VideoUpload)) {
        Refuse(res, 403, kUploadPermissionLimited, QStringLiteral("account may not upload"));
        return;
    }
    qint64 length = 0;
    if (!ParseNonNegative(HttpUtil::Header(req, "Upload-Length"), &length)) {
        Status(res, 400, QStringLiteral("Upload-Length missing or invalid"));
        return;
    }
    QMap<QString, QString> metadata;
    if (!ParseMetadata(HttpUtil::Header(req, "Upload-Metadata"), &metadata)) {
        Refuse(res, 400, kParamError, QStringLiteral("malformed Upload-Metadata"));
        return;
    }
    const QString vid = metadata.value(QStringLiteral("vid"));
    if (vid.isEmpty()) {
        Refuse(res, 400, kVidEmpty, QStringLiteral("vid missing"));
        return;
    }
    static const QRegularExpression vidForm(QStringLiteral("^[0-9a-f]{32}_[0-9a-zA-Z]$"));
    if (!vidForm.match(vid).hasMatch()) {
        Refuse(res, 400, kIllegalVid, QStringLiteral("malformed vid"));
        return;
    }
    if (length == 0) {
        Refuse(res, 400, kSizeZero, QStringLiteral("empty file"));
        return;
    }
    if (length > context_.options.maxUploadSize) {
        Status(res, 413, QStringLiteral("Upload-Length exceeds Tus-Max-Size"));
        return;
    }

    auto lock = context_.db->Lock();
    const AccountStore accounts(*context_.db);
    const CategoryStore categories(*context_.db);
    bool ok = true;
    qint64 cateId = metadata.value(QStringLiteral("cataid")).toLongLong(&ok);
    if (metadata.value(QStringLiteral("cataid")).isEmpty()) {
        cateId = account->rootCateId;
        ok = true;
    }
    if (!ok || !categories.Accessible(*account, cateId)) {
        Refuse(res, 400, kCategoryNotExist, QStringLiteral("no such category"));
        return;
    }

    QSqlQuery q = context_.db->Query();
    q.prepare(QStringLiteral("SELECT owner, status, size FROM videos WHERE vid = ?"));
    q.addBindValue(vid);
    if (!Database::Exec(q)) {
        Status(res, 500, QStringLiteral("store failed"));
        return;
    }
    if (q.next()) {
        if (q.value(0).toLongLong() != account->Owner()) {
            Refuse(res, 400, kIllegalVid, QStringLiteral("vid belongs to another library"));
            return;
        }
        if (q.value(1).toInt() != 5) {
            // The platform already holds this file: the upload is finished at creation.
            QSqlQuery done = context_.db->Query();
            done.prepare(QStringLiteral(
                "SELECT upload_id FROM uploads WHERE vid = ? AND state = 1 LIMIT 1"));
            done.addBindValue(vid);
            QString id;
            if (Database::Exec(done) && done.next()) {
                id = done.value(0).toString();
            } else {
                id = Crypto::RandomHex(32);
                QSqlQuery add = context_.db->Query();
                add.prepare(QStringLiteral(
                    "INSERT INTO uploads (upload_id, vid, owner, account, length, state, "
                    "created_ms) VALUES (?, ?, ?, ?, ?, 1, ?)"));
                add.addBindValue(id);
                add.addBindValue(vid);
                add.addBindValue(account->Owner());
                add.addBindValue(account->id);
                add.addBindValue(q.value(2).toLongLong());
                add.addBindValue(QDateTime::currentMSecsSinceEpoch());
                Database::Exec(add);
            }
            SetTusHeaders(res);
            res.set_header("Location", UploadUrl(id).toStdString());
            res.set_header("Upload-Offset", std::to_string(length));
            res.status = 201;
            return;
        }
        // An unfinished earlier upload of the same vid is replaced by this one.
        QSqlQuery old = context_.db->Query();
        old.prepare(QStringLiteral("SELECT upload_id FROM uploads WHERE vid = ? AND state = 0"));
        old.addBindValue(vid);
        if (Database::Exec(old)) {
            while (old.next()) {
                if (auto upload = registry_.Find(old.value(0).toString())) {
                    std::lock_guard<std::mutex> guard(upload->mutex);
                    upload->state = UploadState::Terminated;
                    QFile::remove(upload->path);
                }
            }
        }
        QSqlQuery drop = context_.db->Query();
        drop.prepare(QStringLiteral("UPDATE uploads SET state = 2 WHERE vid = ? AND state = 0"));
        drop.addBindValue(vid);
        Database::Exec(drop);
        QSqlQuery remove = context_.db->Query();
        remove.prepare(QStringLiteral("DELETE FROM videos WHERE vid = ?"));
        remove.addBindValue(vid);
        Database::Exec(remove);
    }

    const auto main = account->IsSub() ? accounts.ById(account->mainId) : account;
    const qint64 space = main ? main->space : 0;
    if (length > space - accounts.UsedBytes(account->Owner())) {
        Status(res, 413, QStringLiteral("no storage left"));
        return;
    }

    auto upload = std::make_shared<UploadState>();
    upload->id = Crypto::RandomHex(32);
    upload->vid = vid;
    upload->owner = account->Owner();
    upload->length = length;
    upload->path = QDir(context_.uploadsDir).absoluteFilePath(upload->id + QStringLiteral(".bin"));
    QFile file(upload->path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Status(res, 507, QStringLiteral("cannot create the upload's file"));
        return;
    }
    file.close();

    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString filename = metadata.value(QStringLiteral("filename"));
    QString title = metadata.value(QStringLiteral("title"));
    if (title.isEmpty()) {
        title = QFileInfo(filename).completeBaseName();
    }
    QSqlQuery video = context_.db->Query();
    video.prepare(QStringLiteral(
        "INSERT INTO videos (vid, owner, cate_id, title, description, tags, size, status, "
        "created_ms, updated_ms, uploader, filename, luping) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, 5, ?, ?, ?, ?, ?)"));
    Database::Bind(
        video, {QVariant(vid), QVariant(account->Owner()), QVariant(cateId), QVariant(title),
                QVariant(metadata.value(QStringLiteral("desc"))),
                QVariant(metadata.value(QStringLiteral("tag"))), QVariant(length), QVariant(now),
                QVariant(now), QVariant(account->IsSub() ? account->childName : account->email),
                QVariant(filename),
                QVariant(metadata.value(QStringLiteral("luping")) == QLatin1String("1") ? 1 : 0)});
    QSqlQuery add = context_.db->Query();
    add.prepare(QStringLiteral(
        "INSERT INTO uploads (upload_id, vid, owner, account, length, state, path, created_ms) "
        "VALUES (?, ?, ?, ?, ?, 0, ?, ?)"));
    Database::Bind(
        add, {QVariant(upload->id), QVariant(vid), QVariant(account->Owner()),
              QVariant(account->id), QVariant(length), QVariant(upload->path), QVariant(now)});
    if (!Database::Exec(video) || !Database::Exec(add)) {
        QFile::remove(upload->path);
        Status(res, 500, QStringLiteral("store failed"));
        return;
    }
    registry_.Add(upload);
    qInfo() << "upload created:" << upload->id << "vid" << vid << "length" << length;

    SetTusHeaders(res);
    res.set_header("Location", UploadUrl(upload->id).toStdString());
    res.set_header("Upload-Offset", "0");
    res.status = 201;
}

std::shared_ptr<UploadState> UploadEndpoint::Lookup(const httplib::Request& req,
                                                    const Account& account, httplib::Response& res)
{
    const QString id = QString::fromStdString(req.matches[1]);
    auto upload = registry_.Find(id);
    if (!upload || upload->owner != account.Owner()) {
        Status(res, 404, QStringLiteral("no such upload"));
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(upload->mutex);
    if (upload->state == UploadState::Terminated) {
        Status(res, 410, QStringLiteral("upload terminated"));
        return nullptr;
    }
    return upload;
}

void UploadEndpoint::HandleHead(const httplib::Request& req, httplib::Response& res)
{
    const auto account = Admit(req, res);
    if (!account) {
        return;
    }
    const auto upload = Lookup(req, *account, res);
    if (!upload) {
        return;
    }
    // A HEAD usually follows a PATCH whose connection broke. Until the server has read what
    // the socket still holds, "the bytes that arrived" are not all stored: give that PATCH a
    // moment to end so the answer is exact.
    std::unique_lock<std::mutex> guard(upload->mutex);
    upload->idle.wait_for(guard, std::chrono::seconds(3), [&] { return !upload->busy; });
    SetTusHeaders(res);
    SetOffsetHeaders(res, *upload, upload->offset, upload->crc, upload->crcKnown);
    res.set_header("Cache-Control", "no-store");
    res.status = 200;
}

void UploadEndpoint::HandlePatch(const httplib::Request& req, httplib::Response& res,
                                 const httplib::ContentReader& reader)
{
    const auto account = Admit(req, res);
    if (!account) {
        return;
    }
    if (HttpUtil::Header(req, "Content-Type") != QLatin1String("application/offset+octet-stream")) {
        Status(res, 415, QStringLiteral("Content-Type must be application/offset+octet-stream"));
        return;
    }
    qint64 requestOffset = 0;
    if (!ParseNonNegative(HttpUtil::Header(req, "Upload-Offset"), &requestOffset)) {
        Status(res, 400, QStringLiteral("Upload-Offset missing or invalid"));
        return;
    }
    const auto upload = Lookup(req, *account, res);
    if (!upload) {
        return;
    }

    {
        // A PATCH whose predecessor's connection is still being torn down waits a moment.
        std::unique_lock<std::mutex> guard(upload->mutex);
        upload->idle.wait_for(guard, std::chrono::seconds(5), [&] { return !upload->busy; });
        if (upload->busy) {
            res.set_header("Upload-Offset", std::to_string(upload->offset));
            Status(res, 409, QStringLiteral("another PATCH is writing this upload"));
            return;
        }
        if (upload->state == UploadState::Terminated) {
            Status(res, 410, QStringLiteral("upload terminated"));
            return;
        }
        if (requestOffset != upload->offset) {
            res.set_header("Upload-Offset", std::to_string(upload->offset));
            Status(res, 409, QStringLiteral("Upload-Offset does not match"));
            return;
        }
        if (req.has_header("Content-Length")) {
            qint64 bodyLength = 0;
            if (!ParseNonNegative(HttpUtil::Header(req, "Content-Length"), &bodyLength) ||
                requestOffset + bodyLength > upload->length) {
                Status(res, 413, QStringLiteral("body goes beyond Upload-Length"));
                return;
            }
        }
        upload->busy = true;
    }

    const int fd = ::open(upload->path.toLocal8Bit().constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0 || ::lseek(fd, requestOffset, SEEK_SET) != requestOffset) {
        if (fd >= 0) {
            ::close(fd);
        }
        std::lock_guard<std::mutex> guard(upload->mutex);
        upload->busy = false;
        upload->idle.notify_all();
        Status(res, 500, QStringLiteral("cannot open the upload's file"));
        return;
    }

    const auto fault =
        context_.faults.Take(QStringLiteral("PATCH"), QString::fromStdString(req.path), true);
    const qint64 dropAfter = fault ? fault->dropAfter : -1;
    const qint64 throttle = fault ? fault->throttle : 0;
    const auto started = std::chrono::steady_clock::now();

    std::vector<char> buffer;
    buffer.reserve(kWriteBufferSize);
    qint64 received = 0;
    bool writeFailed = false;
    bool tooLong = false;
    bool dropped = false;

    // Writes the gathered bytes and only then lets the offset and the CRC move on.
    auto flush = [&]() -> bool {
        if (buffer.empty()) {
            return true;
        }
        if (!WriteAll(fd, buffer.data(), buffer.size())) {
            qWarning() << "upload write failed:" << upload->id << strerror(errno);
            writeFailed = true;
            return false;
        }
        std::lock_guard<std::mutex> guard(upload->mutex);
        upload->crc.Update(buffer.data(), buffer.size());
        upload->offset += static_cast<qint64>(buffer.size());
        buffer.clear();
        return upload->state != UploadState::Terminated;
    };

    const bool readAll = reader([&](const char* data, size_t length) {
        qint64 take = static_cast<qint64>(length);
        if (requestOffset + received + take > upload->length) {
            tooLong = true;
            return false;
        }
        if (dropAfter >= 0 && received + take >= dropAfter) {
            take = dropAfter - received;
            dropped = true;
        }
        buffer.insert(buffer.end(), data, data + take);
        received += take;
        if (dropped) {
            return false;
        }
        if (buffer.size() >= kWriteBufferSize && !flush()) {
            return false;
        }
        if (throttle > 0) {
            flush();
            const auto due = started + std::chrono::microseconds(received * 1000000 / throttle);
            std::this_thread::sleep_until(due);
        }
        return true;
    });
    flush();
    ::close(fd);

    bool finished = false;
    qint64 offset = 0;
    Crc64 crc;
    {
        std::lock_guard<std::mutex> guard(upload->mutex);
        upload->busy = false;
        upload->idle.notify_all();
        offset = upload->offset;
        crc = upload->crc;
        finished = upload->state == UploadState::Receiving && offset == upload->length;
    }
    if (finished) {
        Complete(*upload);
    }
    if (dropped) {
        qInfo() << "upload fault: dropping connection of" << upload->id << "after" << received
                << "bytes";
        DropConnection(req);
        return;
    }
    if (writeFailed) {
        Status(res, 507, QStringLiteral("cannot store the bytes"));
        return;
    }
    if (tooLong) {
        res.set_header("Upload-Offset", std::to_string(offset));
        Status(res, 413, QStringLiteral("body goes beyond Upload-Length"));
        return;
    }
    if (!readAll) {
        // The connection broke; whatever arrived is stored and counted.
        qInfo() << "upload interrupted:" << upload->id << "offset" << offset;
        Status(res, 400, QStringLiteral("body incomplete"));
        return;
    }
    SetTusHeaders(res);
    SetOffsetHeaders(res, *upload, offset, crc, true);
    res.status = 204;
}

void UploadEndpoint::Complete(UploadState& upload)
{
    {
        std::lock_guard<std::mutex> guard(upload.mutex);
        upload.state = UploadState::Complete;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    {
        auto lock = context_.db->Lock();
        QSqlQuery q = context_.db->Query();
        q.prepare(QStringLiteral("UPDATE uploads SET state = 1, crc = ? WHERE upload_id = ?"));
        q.addBindValue(QString::number(upload.crc.Value()));
        q.addBindValue(upload.id);
        Database::Exec(q);
        QSqlQuery v = context_.db->Query();
        v.prepare(QStringLiteral(
            "UPDATE videos SET status = 10, ready_ms = ?, updated_ms = ? WHERE vid = ?"));
        v.addBindValue(now);
        v.addBindValue(now);
        v.addBindValue(upload.vid);
        Database::Exec(v);
    }
    qInfo() << "upload complete:" << upload.id << "vid" << upload.vid << "crc"
            << upload.crc.Value();
    if (completed_) {
        completed_(upload.vid);
    }
}

void UploadEndpoint::HandleDelete(const httplib::Request& req, httplib::Response& res)
{
    const auto account = Admit(req, res);
    if (!account) {
        return;
    }
    const auto upload = Lookup(req, *account, res);
    if (!upload) {
        return;
    }
    bool wasReceiving = false;
    {
        std::lock_guard<std::mutex> guard(upload->mutex);
        wasReceiving = upload->state == UploadState::Receiving;
        upload->state = UploadState::Terminated;  // a running PATCH stops at its next write
    }
    {
        auto lock = context_.db->Lock();
        QSqlQuery q = context_.db->Query();
        q.prepare(QStringLiteral("UPDATE uploads SET state = 2 WHERE upload_id = ?"));
        q.addBindValue(upload->id);
        Database::Exec(q);
        if (wasReceiving) {
            QSqlQuery v = context_.db->Query();
            v.prepare(QStringLiteral("DELETE FROM videos WHERE vid = ? AND status = 5"));
            v.addBindValue(upload->vid);
            Database::Exec(v);
        }
    }
    if (wasReceiving) {
        QFile::remove(upload->path);
    }
    qInfo() << "upload terminated:" << upload->id;
    SetTusHeaders(res);
    res.status = 204;
}
