#include "UploadStore.h"

#include <QDateTime>
#include <QVariant>

#include "Crypto.h"
#include "Database.h"

bool UploadStore::Insert(const NewUpload& u) const
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QSqlQuery video = db_.Query();
    video.prepare(QStringLiteral(
        "INSERT INTO videos (vid, owner, cate_id, title, description, tags, size, status, "
        "created_ms, updated_ms, uploader, filename, luping) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, 5, ?, ?, ?, ?, ?)"));
    Database::Bind(video, {u.vid, u.owner, u.cateId, u.title, u.description, u.tags, u.length, now,
                           now, u.uploader, u.filename, u.luping ? 1 : 0});
    QSqlQuery upload = db_.Query();
    upload.prepare(QStringLiteral(
        "INSERT INTO uploads (upload_id, vid, owner, account, length, state, path, created_ms) "
        "VALUES (?, ?, ?, ?, ?, 0, ?, ?)"));
    Database::Bind(upload, {u.uploadId, u.vid, u.owner, u.account, u.length, u.path, now});
    return Database::Exec(video) && Database::Exec(upload) &&
           InsertMetadata(u.uploadId, u.metadata);
}

bool UploadStore::InsertMetadata(const QString& uploadId, const QString& metadata) const
{
    if (metadata.isEmpty()) {
        return true;
    }
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("INSERT INTO upload_metadata (upload_id, header) VALUES (?, ?)"));
    Database::Bind(q, {uploadId, metadata});
    return Database::Exec(q);
}

QString UploadStore::FinishedUploadId(const QString& vid, qint64 owner, qint64 account, qint64 size,
                                      const QString& metadata) const
{
    QSqlQuery done = db_.Query();
    done.prepare(QStringLiteral(
        "SELECT upload_id FROM uploads WHERE vid = ? AND account = ? AND state = 1 LIMIT 1"));
    done.addBindValue(vid);
    done.addBindValue(account);
    if (Database::Exec(done) && done.next()) {
        return done.value(0).toString();
    }
    const QString id = Crypto::RandomHex(32);
    QSqlQuery add = db_.Query();
    add.prepare(QStringLiteral(
        "INSERT INTO uploads (upload_id, vid, owner, account, length, state, created_ms) "
        "VALUES (?, ?, ?, ?, ?, 1, ?)"));
    Database::Bind(add, {id, vid, owner, account, size, QDateTime::currentMSecsSinceEpoch()});
    return Database::Exec(add) && InsertMetadata(id, metadata) ? id : QString();
}

QStringList UploadStore::UnfinishedUploadIds(const QString& vid) const
{
    QStringList ids;
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("SELECT upload_id FROM uploads WHERE vid = ? AND state = 0"));
    q.addBindValue(vid);
    if (Database::Exec(q)) {
        while (q.next()) {
            ids.append(q.value(0).toString());
        }
    }
    return ids;
}

bool UploadStore::DropUnfinished(const QString& vid) const
{
    QSqlQuery drop = db_.Query();
    drop.prepare(QStringLiteral("UPDATE uploads SET state = 2 WHERE vid = ? AND state = 0"));
    drop.addBindValue(vid);
    QSqlQuery remove = db_.Query();
    remove.prepare(QStringLiteral("DELETE FROM videos WHERE vid = ? AND status = 5"));
    remove.addBindValue(vid);
    return Database::Exec(drop) && Database::Exec(remove);
}
