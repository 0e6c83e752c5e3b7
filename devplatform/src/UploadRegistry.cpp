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

std::shared_ptr<UploadState> UploadRegistry::Load(const QString& id) const
{
    auto upload = std::make_shared<UploadState>();
    QString storedCrc;
    {
        auto lock = db_.Lock();
        QSqlQuery q = db_.Query();
        q.prepare(QStringLiteral(
            "SELECT u.vid, u.owner, u.length, u.state, u.crc, u.path, u.account, "
            "COALESCE(m.header, '') FROM uploads u "
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
    }
    if (upload->state == UploadState::Complete) {
        upload->offset = upload->length;
        upload->crcKnown = !storedCrc.isEmpty();
        // The final value is all that is needed; Crc64 keeps the inverted register.
        if (upload->crcKnown) {
            upload->crc = Crc64();
            // Rebuild from the file when it is there; a seeded video has none.
            QFile file(upload->path);
            if (file.open(QIODevice::ReadOnly)) {
                QByteArray chunk;
                while (!(chunk = file.read(1 << 20)).isEmpty()) {
                    upload->crc.Update(chunk.constData(), static_cast<size_t>(chunk.size()));
                }
            } else {
                upload->crcKnown = false;
            }
        }
        return upload;
    }
    if (upload->state == UploadState::Receiving) {
        QFile file(upload->path);
        if (file.open(QIODevice::ReadOnly)) {
            QByteArray chunk;
            while (!(chunk = file.read(1 << 20)).isEmpty()) {
                upload->crc.Update(chunk.constData(), static_cast<size_t>(chunk.size()));
                upload->offset += chunk.size();
            }
        }
    }
    return upload;
}
