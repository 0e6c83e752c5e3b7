#include "UploadRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariant>

#include "Database.h"

std::shared_ptr<UploadState> UploadRegistry::Find(const QString& id)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = uploads_.constFind(id);
        if (it != uploads_.constEnd()) {
            return it.value();
        }
    }
    auto loaded = Load(id);
    if (!loaded) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = uploads_.constFind(id);
    if (it != uploads_.constEnd()) {
        return it.value();  // another thread loaded it meanwhile
    }
    uploads_.insert(id, loaded);
    return loaded;
}

void UploadRegistry::Add(const std::shared_ptr<UploadState>& upload)
{
    std::lock_guard<std::mutex> lock(mutex_);
    uploads_.insert(upload->id, upload);
}

void UploadRegistry::SaveHashes(UploadState& upload) const
{
    qint64 hashed = 0;
    quint64 crc = 0;
    QByteArray md5;
    {
        std::lock_guard<std::mutex> guard(upload.mutex);
        if (upload.state != UploadState::Receiving) {
            return;
        }
        hashed = upload.offset;
        crc = upload.crc.Value();
        md5 = upload.md5.State();
    }
    auto lock = db_.Lock();
    QSqlQuery q = db_.Query();
    q.prepare(
        QStringLiteral("UPDATE uploads SET hashed = ?, crc = ?, md5_state = ? "
                       "WHERE upload_id = ? AND state = 0"));
    Database::Bind(q, {hashed, QString::number(crc), md5, upload.id});
    Database::Exec(q);
}

std::shared_ptr<UploadState> UploadRegistry::Load(const QString& id) const
{
    auto upload = std::make_shared<UploadState>();
    QString storedCrc;
    qint64 hashed = 0;
    QByteArray md5State;
    {
        auto lock = db_.Lock();
        QSqlQuery q = db_.Query();
        q.prepare(QStringLiteral(
            "SELECT u.vid, u.owner, u.length, u.state, u.crc, u.path, u.account, "
            "COALESCE(m.header, ''), u.hashed, u.md5_state FROM uploads u "
            "LEFT JOIN upload_metadata m ON m.upload_id = u.upload_id WHERE u.upload_id = ?"));
        q.addBindValue(id);
        if (!Database::Exec(q) || !q.next()) {
            return nullptr;
        }
        upload->id = id;
        upload->vid = q.value(0).toString();
        upload->owner = q.value(1).toLongLong();
        upload->length = q.value(2).toLongLong();
        upload->state = q.value(3).toInt();
        storedCrc = q.value(4).toString();
        upload->path = q.value(5).toString();
        upload->account = q.value(6).toLongLong();
        upload->metadata = q.value(7).toString();
        hashed = q.value(8).toLongLong();
        md5State = q.value(9).toByteArray();
    }
    if (upload->state == UploadState::Complete) {
        // A seeded video's upload has no bytes and no CRC.
        upload->offset = upload->length;
        upload->crcKnown = !storedCrc.isEmpty();
        upload->crc = Crc64::FromValue(storedCrc.toULongLong());
        return upload;
    }
    if (upload->state == UploadState::Receiving) {
        // The stored hashes cover the first `hashed` bytes; the file may hold more (written
        // after the last save). Anything inconsistent starts the hashes from the beginning.
        bool ok = false;
        const quint64 crc = storedCrc.toULongLong(&ok);
        if (!ok || hashed < 0 || hashed > QFileInfo(upload->path).size() ||
            !upload->md5.Restore(md5State)) {
            hashed = 0;
            upload->md5 = Md5Stream();
        }
        upload->crc = Crc64::FromValue(hashed > 0 ? crc : 0);
        upload->offset = hashed;
        QFile file(upload->path);
        if (file.open(QIODevice::ReadOnly) && file.seek(hashed)) {
            QByteArray chunk;
            while (!(chunk = file.read(1 << 20)).isEmpty()) {
                upload->crc.Update(chunk.constData(), static_cast<size_t>(chunk.size()));
                upload->md5.Update(chunk.constData(), static_cast<size_t>(chunk.size()));
                upload->offset += chunk.size();
            }
        }
    }
    return upload;
}
