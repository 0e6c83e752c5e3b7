#include "UploadEndpoint.h"

#include <algorithm>
#include <chrono>
#include <httplib.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <thread>

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "AccountStore.h"
#include "CategoryStore.h"
#include "Crypto.h"
#include "HttpUtil.h"
#include "PlatformContext.h"
#include "TlsBodyReader.h"
#include "TusReply.h"
#include "UploadSignature.h"
#include "UploadStore.h"
#include "UploadWriter.h"

namespace {

const char kUploadPattern[] = R"(/upload/files/([0-9a-f]{32}))";

// Platform error codes used here (the web API's ErrorCode values).
enum : int
{
    kVidEmpty = 401,
    kSizeZero = 406,
    kIllegalVid = 409,
    kUploadPermissionLimited = 410,
    kParamError = 1100,
    kCategoryNotExist = 3001,
};

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

// Creation, HEAD and DELETE carry no body. HTTP/1.1 allows a request without Content-Length
// (no body), which these routes accept by taking the body reader and leaving it unused; when a
// body is announced all the same, the connection cannot be reused after the answer.
void CloseIfBodyUnread(const httplib::Request& req, httplib::Response& res)
{
    const bool body =
        req.has_header("Transfer-Encoding") || req.get_header_value<uint64_t>("Content-Length") > 0;
    if (body) {
        res.set_header("Connection", "close");
    }
}

}  // namespace

UploadEndpoint::UploadEndpoint(PlatformContext& context)
    : Endpoint(context), registry_(*context.db), nonces_(UploadSignature::kTimestampWindowSeconds)
{
}

void UploadEndpoint::Register(httplib::Server& server)
{
    server.Options(R"(/upload/files/?.*)",
                   [this](const httplib::Request&, httplib::Response& res) { HandleOptions(res); });
    // Routes with a body reader run before cpp-httplib reads a body on its own (which, without
    // Content-Length, would wait for the connection to close).
    server.Post(R"(/upload/files/?)", [this](const httplib::Request& req, httplib::Response& res,
                                             const httplib::ContentReader&) {
        CloseIfBodyUnread(req, res);
        if (HttpUtil::Method(req) != QLatin1String("POST")) {
            TusReply::Status(res, 405, QStringLiteral("method not allowed"));
            res.set_header("Allow", "POST, OPTIONS");
            return;
        }
        HandleCreate(req, res);
    });
    server.Post(kUploadPattern,
                [this](const httplib::Request& req, httplib::Response& res,
                       const httplib::ContentReader& reader) { HandleOverride(req, res, reader); });
    // cpp-httplib routes HEAD to the GET handlers.
    server.Get(kUploadPattern, [this](const httplib::Request& req, httplib::Response& res) {
        if (req.method != "HEAD") {
            TusReply::Status(res, 405, QStringLiteral("method not allowed"));
            res.set_header("Allow", "HEAD, PATCH, DELETE, OPTIONS");
            return;
        }
        HandleHead(req, res);
    });
    server.Patch(kUploadPattern,
                 [this](const httplib::Request& req, httplib::Response& res,
                        const httplib::ContentReader& reader) { HandlePatch(req, res, reader); });
    server.Delete(kUploadPattern, [this](const httplib::Request& req, httplib::Response& res,
                                         const httplib::ContentReader&) {
        CloseIfBodyUnread(req, res);
        HandleDelete(req, res);
    });
}

void UploadEndpoint::HandleOverride(const httplib::Request& req, httplib::Response& res,
                                    const httplib::ContentReader& reader)
{
    const QString method = HttpUtil::Method(req);
    if (method == QLatin1String("PATCH")) {
        HandlePatch(req, res, reader);
        return;
    }
    CloseIfBodyUnread(req, res);
    if (method == QLatin1String("HEAD")) {
        HandleHead(req, res);
    } else if (method == QLatin1String("DELETE")) {
        HandleDelete(req, res);
    } else {
        TusReply::Status(res, 405, QStringLiteral("method not allowed"));
        res.set_header("Allow", "HEAD, PATCH, DELETE, OPTIONS");
    }
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
    TusReply::SetHeaders(res);
    res.set_header("Tus-Version", TusReply::kVersion);
    res.set_header("Tus-Extension", "creation,termination");
    res.set_header("Tus-Max-Size", std::to_string(context_.options.maxUploadSize));
    res.status = 204;
}

std::optional<Account> UploadEndpoint::Admit(const httplib::Request& req, httplib::Response& res)
{
    if (HttpUtil::Header(req, "Tus-Resumable") != QLatin1String(TusReply::kVersion)) {
        res.set_header("Tus-Version", TusReply::kVersion);
        TusReply::Status(res, 412, QStringLiteral("unsupported tus version"));
        return std::nullopt;
    }
    return UploadSignature::Verify(*context_.db, nonces_, req, HttpUtil::Method(req), res);
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
        TusReply::Refuse(res, 403, kUploadPermissionLimited,
                         QStringLiteral("account may not upload"));
        return;
    }
    qint64 length = 0;
    if (!ParseNonNegative(HttpUtil::Header(req, "Upload-Length"), &length)) {
        TusReply::Status(res, 400, QStringLiteral("Upload-Length missing or invalid"));
        return;
    }
    const QString metadataHeader = HttpUtil::Header(req, "Upload-Metadata");
    QMap<QString, QString> metadata;
    if (!ParseMetadata(metadataHeader, &metadata)) {
        TusReply::Refuse(res, 400, kParamError, QStringLiteral("malformed Upload-Metadata"));
        return;
    }
    const QString vid = metadata.value(QStringLiteral("vid"));
    if (vid.isEmpty()) {
        TusReply::Refuse(res, 400, kVidEmpty, QStringLiteral("vid missing"));
        return;
    }
    static const QRegularExpression vidForm(QStringLiteral("^[0-9a-f]{32}_[0-9a-zA-Z]$"));
    if (!vidForm.match(vid).hasMatch()) {
        TusReply::Refuse(res, 400, kIllegalVid, QStringLiteral("malformed vid"));
        return;
    }
    if (length == 0) {
        TusReply::Refuse(res, 400, kSizeZero, QStringLiteral("empty file"));
        return;
    }
    if (length > context_.options.maxUploadSize) {
        TusReply::Status(res, 413, QStringLiteral("Upload-Length exceeds Tus-Max-Size"));
        return;
    }

    auto lock = context_.db->Lock();
    const AccountStore accounts(*context_.db);
    const CategoryStore categories(*context_.db);
    const UploadStore uploads(*context_.db);
    bool ok = true;
    qint64 cateId = metadata.value(QStringLiteral("cataid")).toLongLong(&ok);
    if (metadata.value(QStringLiteral("cataid")).isEmpty()) {
        cateId = account->rootCateId;
        ok = true;
    }
    if (!ok || !categories.Accessible(*account, cateId)) {
        TusReply::Refuse(res, 400, kCategoryNotExist, QStringLiteral("no such category"));
        return;
    }

    QSqlQuery q = context_.db->Query();
    q.prepare(QStringLiteral("SELECT owner, status, size FROM videos WHERE vid = ?"));
    q.addBindValue(vid);
    if (!Database::Exec(q)) {
        TusReply::Status(res, 500, QStringLiteral("store failed"));
        return;
    }
    if (q.next()) {
        if (q.value(0).toLongLong() != account->Owner()) {
            TusReply::Refuse(res, 400, kIllegalVid,
                             QStringLiteral("vid belongs to another library"));
            return;
        }
        if (q.value(1).toInt() != 5) {
            // The platform already holds this file: the upload is finished at creation.
            const QString id = uploads.FinishedUploadId(vid, account->Owner(), account->id,
                                                        q.value(2).toLongLong(), metadataHeader);
            if (id.isEmpty()) {
                TusReply::Status(res, 500, QStringLiteral("store failed"));
                return;
            }
            TusReply::SetHeaders(res);
            res.set_header("Location", UploadUrl(id).toStdString());
            res.set_header("Upload-Offset", std::to_string(length));
            res.status = 201;
            return;
        }
        // An unfinished earlier upload of the same vid is replaced by this one.
        for (const QString& id : uploads.UnfinishedUploadIds(vid)) {
            if (auto upload = registry_.Find(id)) {
                std::lock_guard<std::mutex> guard(upload->mutex);
                upload->state = UploadState::Terminated;
                QFile::remove(upload->path);
            }
        }
        uploads.DropUnfinished(vid);
    }

    const auto main = account->IsSub() ? accounts.ById(account->mainId) : account;
    const qint64 space = main ? main->space : 0;
    if (length > space - accounts.UsedBytes(account->Owner())) {
        TusReply::Status(res, 413, QStringLiteral("no storage left"));
        return;
    }

    auto upload = std::make_shared<UploadState>();
    upload->id = Crypto::RandomHex(32);
    upload->vid = vid;
    upload->owner = account->Owner();
    upload->account = account->id;
    upload->length = length;
    upload->metadata = metadataHeader;
    upload->path = QDir(context_.uploadsDir).absoluteFilePath(upload->id + QStringLiteral(".bin"));
    QFile file(upload->path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        TusReply::Status(res, 507, QStringLiteral("cannot create the upload's file"));
        return;
    }
    file.close();

    UploadStore::NewUpload row;
    row.uploadId = upload->id;
    row.path = upload->path;
    row.vid = vid;
    row.owner = account->Owner();
    row.account = account->id;
    row.cateId = cateId;
    row.length = length;
    row.filename = metadata.value(QStringLiteral("filename"));
    row.title = metadata.value(QStringLiteral("title"));
    if (row.title.isEmpty()) {
        row.title = QFileInfo(row.filename).completeBaseName();
    }
    row.description = metadata.value(QStringLiteral("desc"));
    row.tags = metadata.value(QStringLiteral("tag"));
    row.uploader = account->IsSub() ? account->childName : account->email;
    row.luping = metadata.value(QStringLiteral("luping")) == QLatin1String("1");
    row.metadata = metadataHeader;
    if (!uploads.Insert(row)) {
        QFile::remove(upload->path);
        TusReply::Status(res, 500, QStringLiteral("store failed"));
        return;
    }
    registry_.Add(upload);
    qInfo() << "upload created:" << upload->id << "vid" << vid << "length" << length;

    TusReply::SetHeaders(res);
    res.set_header("Location", UploadUrl(upload->id).toStdString());
    res.set_header("Upload-Offset", "0");
    res.status = 201;
}

std::shared_ptr<UploadState> UploadEndpoint::Lookup(const httplib::Request& req,
                                                    const Account& account, httplib::Response& res)
{
    const QString id = QString::fromStdString(req.matches[1]);
    auto upload = registry_.Find(id);
    // Another account's upload does not exist for this one, even within the same library.
    if (!upload || upload->account != account.id) {
        TusReply::Status(res, 404, QStringLiteral("no such upload"));
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(upload->mutex);
    if (upload->state == UploadState::Terminated) {
        TusReply::Status(res, 410, QStringLiteral("upload terminated"));
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
    TusReply::SetHeaders(res);
    SetOffsetHeaders(res, *upload, upload->offset, upload->crc, upload->crcKnown);
    if (!upload->metadata.isEmpty()) {
        res.set_header("Upload-Metadata", upload->metadata.toStdString());
    }
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
        TusReply::Status(res, 415,
                         QStringLiteral("Content-Type must be application/offset+octet-stream"));
        return;
    }
    qint64 requestOffset = 0;
    if (!ParseNonNegative(HttpUtil::Header(req, "Upload-Offset"), &requestOffset)) {
        TusReply::Status(res, 400, QStringLiteral("Upload-Offset missing or invalid"));
        return;
    }
    const auto upload = Lookup(req, *account, res);
    if (!upload) {
        return;
    }

    qint64 bodyLength = -1;  // unknown (chunked)
    {
        // A PATCH whose predecessor's connection is still being torn down waits a moment.
        std::unique_lock<std::mutex> guard(upload->mutex);
        upload->idle.wait_for(guard, std::chrono::seconds(5), [&] { return !upload->busy; });
        if (upload->busy) {
            res.set_header("Upload-Offset", std::to_string(upload->offset));
            TusReply::Status(res, 409, QStringLiteral("another PATCH is writing this upload"));
            return;
        }
        if (upload->state == UploadState::Terminated) {
            TusReply::Status(res, 410, QStringLiteral("upload terminated"));
            return;
        }
        if (requestOffset != upload->offset) {
            res.set_header("Upload-Offset", std::to_string(upload->offset));
            TusReply::Status(res, 409, QStringLiteral("Upload-Offset does not match"));
            return;
        }
        if (req.has_header("Content-Length")) {
            if (!ParseNonNegative(HttpUtil::Header(req, "Content-Length"), &bodyLength) ||
                requestOffset + bodyLength > upload->length) {
                TusReply::Status(res, 413, QStringLiteral("body goes beyond Upload-Length"));
                return;
            }
        }
        upload->busy = true;
    }

    UploadWriter writer(upload->path, requestOffset, *upload);
    if (!writer.IsOpen()) {
        std::lock_guard<std::mutex> guard(upload->mutex);
        upload->busy = false;
        upload->idle.notify_all();
        TusReply::Status(res, 500, QStringLiteral("cannot open the upload's file"));
        return;
    }

    const auto fault =
        context_.faults.Take(QStringLiteral("PATCH"), QString::fromStdString(req.path), true);
    const qint64 dropAfter = fault ? fault->dropAfter : -1;
    const qint64 throttle = fault ? fault->throttle : 0;
    const auto started = std::chrono::steady_clock::now();

    qint64 received = 0;
    bool tooLong = false;
    bool dropped = false;
    // The hashes are stored every 64 MiB of body and at the end, so a restart of the server
    // hashes at most that much of the file again.
    constexpr qint64 kSaveHashesEvery = 64 << 20;
    qint64 hashesSavedAt = 0;
    // Under a throttle the body moves in pieces of this size at most, so it flows evenly.
    constexpr qint64 kThrottledPiece = 4096;

    // Counts a piece of the body the writer has taken (cut at the drop point); false ends the
    // reading.
    const auto took = [&](qint64 take, bool writing) {
        received += take;
        if (dropAfter >= 0 && received >= dropAfter) {
            dropped = true;
        }
        if (dropped || !writing) {
            return false;
        }
        if (received - hashesSavedAt >= kSaveHashesEvery) {
            hashesSavedAt = received;
            registry_.SaveHashes(*upload);
        }
        if (throttle > 0) {
            writer.Flush();
            const auto due = started + std::chrono::microseconds(received * 1000000 / throttle);
            std::this_thread::sleep_until(due);
        }
        return true;
    };

    bool readAll = true;
    if (req.ssl != nullptr && bodyLength >= 0 && !req.has_header("Transfer-Encoding")) {
        // A body of known length (every upload client sends one) is read straight into the
        // writer's buffers, from the session cpp-httplib would read it from (it hands the
        // handler a const pointer only).
        TlsBodyReader body(const_cast<SSL*>(req.ssl), context_.readTimeoutSeconds);
        while (readAll && received < bodyLength) {
            qint64 want = std::min(static_cast<qint64>(writer.SpaceSize()), bodyLength - received);
            if (dropAfter >= 0) {
                want = std::min(want, dropAfter - received);
            }
            if (throttle > 0) {
                want = std::min(want, kThrottledPiece);
            }
            if (want == 0) {  // a drop rule with nothing to store
                dropped = true;
                break;
            }
            const size_t got = body.Read(writer.Space(), static_cast<size_t>(want));
            readAll = got > 0 && took(static_cast<qint64>(got), writer.Commit(got));
        }
        // What is left of the body, or what came after it, stays in the connection: it cannot
        // carry another request.
        if (received < bodyLength || body.HoldsMore()) {
            res.set_header("Connection", "close");
        }
    } else {
        readAll = reader([&](const char* data, size_t length) {
            qint64 take = static_cast<qint64>(length);
            if (requestOffset + received + take > upload->length) {
                tooLong = true;
                return false;
            }
            if (dropAfter >= 0) {
                take = std::min(take, dropAfter - received);
            }
            return took(take, writer.Append(data, static_cast<size_t>(take)));
        });
    }
    // A drop rule drops every PATCH it takes, also one whose body ends before the drop point:
    // the connection breaks after the last byte is stored.
    if (readAll && dropAfter >= 0) {
        dropped = true;
    }
    // Whatever arrived is written before the offset is read back, also after a broken body.
    const bool writeFailed = !writer.Finish();

    bool finished = false;
    qint64 offset = 0;
    Crc64 crc;
    QString md5;
    {
        std::lock_guard<std::mutex> guard(upload->mutex);
        upload->busy = false;
        upload->idle.notify_all();
        offset = upload->offset;
        crc = upload->crc;
        // Marked complete in the same step that ends the PATCH, so no later request can see
        // the last byte stored and finish the upload a second time.
        finished = upload->state == UploadState::Receiving && offset == upload->length;
        if (finished) {
            upload->state = UploadState::Complete;
            md5 = upload->md5.Hex();
        }
    }
    if (finished) {
        Complete(*upload, crc.Value(), md5);
    } else {
        registry_.SaveHashes(*upload);
    }
    if (dropped) {
        qInfo() << "upload fault: dropping connection of" << upload->id << "after" << received
                << "bytes";
        DropConnection(req);
        return;
    }
    if (writeFailed) {
        TusReply::Status(res, 507, QStringLiteral("cannot store the bytes"));
        return;
    }
    if (tooLong) {
        res.set_header("Upload-Offset", std::to_string(offset));
        TusReply::Status(res, 413, QStringLiteral("body goes beyond Upload-Length"));
        return;
    }
    if (!readAll) {
        // The connection broke; whatever arrived is stored and counted.
        qInfo() << "upload interrupted:" << upload->id << "offset" << offset;
        TusReply::Status(res, 400, QStringLiteral("body incomplete"));
        return;
    }
    TusReply::SetHeaders(res);
    SetOffsetHeaders(res, *upload, offset, crc, true);
    res.status = 204;
}

void UploadEndpoint::Complete(const UploadState& upload, quint64 crc, const QString& md5)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    {
        auto lock = context_.db->Lock();
        QSqlQuery q = context_.db->Query();
        q.prepare(
            QStringLiteral("UPDATE uploads SET state = 1, crc = ?, md5 = ?, hashed = ?, "
                           "md5_state = NULL WHERE upload_id = ?"));
        Database::Bind(q, {QString::number(crc), md5, upload.length, upload.id});
        Database::Exec(q);
        QSqlQuery v = context_.db->Query();
        v.prepare(
            QStringLiteral("UPDATE videos SET status = 10, ready_ms = ?, updated_ms = ? WHERE vid "
                           "= ? AND status = 5"));
        v.addBindValue(now);
        v.addBindValue(now);
        v.addBindValue(upload.vid);
        Database::Exec(v);
    }
    qInfo() << "upload complete:" << upload.id << "vid" << upload.vid << "crc" << crc << "md5"
            << md5;
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
    TusReply::SetHeaders(res);
    res.status = 204;
}
