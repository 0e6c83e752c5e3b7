#include "VideoStore.h"

#include <QDateTime>
#include <QVariant>

#include "Database.h"

namespace {

const QString kSelect = QStringLiteral(
    "SELECT v.vid, v.owner, v.cate_id, COALESCE(c.name, ''), v.title, v.description, v.tags, "
    "v.duration, v.size, v.status, v.created_ms, v.updated_ms, v.uploader, v.play_times, v.md5, "
    "v.cover, v.thumbnail, v.snapshots FROM videos v LEFT JOIN categories c "
    "ON c.cate_id = v.cate_id ");

Video FromQuery(const QSqlQuery& q)
{
    Video v;
    v.vid = q.value(0).toString();
    v.owner = q.value(1).toLongLong();
    v.cateId = q.value(2).toLongLong();
    v.cateName = q.value(3).toString();
    v.title = q.value(4).toString();
    v.description = q.value(5).toString();
    v.tags = q.value(6).toString();
    v.duration = q.value(7).toDouble();
    v.size = q.value(8).toLongLong();
    v.status = q.value(9).toInt();
    v.createdMs = q.value(10).toLongLong();
    v.updatedMs = q.value(11).toLongLong();
    v.uploader = q.value(12).toString();
    v.playTimes = q.value(13).toLongLong();
    v.md5 = q.value(14).toString();
    v.cover = q.value(15).toString();
    v.thumbnail = q.value(16).toString();
    v.snapshots = q.value(17).toInt();
    return v;
}

}  // namespace

std::optional<Video> VideoStore::Get(qint64 owner, const QString& vid) const
{
    QSqlQuery q = db_.Query();
    q.prepare(kSelect + QStringLiteral("WHERE v.vid = ? AND v.owner = ?"));
    q.addBindValue(vid);
    q.addBindValue(owner);
    if (!Database::Exec(q) || !q.next()) {
        return std::nullopt;
    }
    return FromQuery(q);
}

VideoStore::Page VideoStore::List(qint64 owner, const QList<qint64>& cateIds,
                                  const QString& titlePart, const QString& orderBy, int page,
                                  int pageSize) const
{
    Page result;
    QStringList ids;
    ids.reserve(cateIds.size());
    for (qint64 id : cateIds) {
        ids.append(QString::number(id));
    }
    QString where = QStringLiteral("WHERE v.owner = ?");
    if (!ids.isEmpty()) {
        where += QStringLiteral(" AND v.cate_id IN (") + ids.join(QLatin1Char(',')) +
                 QStringLiteral(")");
    }
    QString pattern;
    if (!titlePart.isEmpty()) {
        where += QStringLiteral(" AND v.title LIKE ? ESCAPE '\\'");
        pattern = titlePart;
        pattern.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('%'), QStringLiteral("\\%"))
            .replace(QLatin1Char('_'), QStringLiteral("\\_"));
        pattern = QLatin1Char('%') + pattern + QLatin1Char('%');
    }
    QSqlQuery count = db_.Query();
    count.prepare(QStringLiteral("SELECT COUNT(*) FROM videos v ") + where);
    count.addBindValue(owner);
    if (!pattern.isEmpty()) {
        count.addBindValue(pattern);
    }
    if (!Database::Exec(count) || !count.next()) {
        return result;
    }
    result.total = count.value(0).toLongLong();

    QSqlQuery q = db_.Query();
    q.setForwardOnly(true);
    q.prepare(kSelect + where + QStringLiteral(" ORDER BY ") + orderBy +
              QStringLiteral(" LIMIT ? OFFSET ?"));
    q.addBindValue(owner);
    if (!pattern.isEmpty()) {
        q.addBindValue(pattern);
    }
    q.addBindValue(pageSize);
    q.addBindValue(static_cast<qint64>(page - 1) * pageSize);
    if (Database::Exec(q)) {
        while (q.next()) {
            result.videos.append(FromQuery(q));
        }
    }
    return result;
}

bool VideoStore::UpdateInfo(const QString& vid, const QString& title, const QString& tags,
                            const QString& description) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral(
        "UPDATE videos SET title = ?, tags = ?, description = ?, updated_ms = ? WHERE vid = ?"));
    Database::Bind(q, {title, tags, description, QDateTime::currentMSecsSinceEpoch(), vid});
    return Database::Exec(q);
}

bool VideoStore::Move(const QString& vid, qint64 cateId) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("UPDATE videos SET cate_id = ?, updated_ms = ? WHERE vid = ?"));
    Database::Bind(q, {cateId, QDateTime::currentMSecsSinceEpoch(), vid});
    return Database::Exec(q);
}

bool VideoStore::Remove(const QString& vid) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("DELETE FROM videos WHERE vid = ?"));
    q.addBindValue(vid);
    return Database::Exec(q);
}

bool VideoStore::SetPictures(const QString& vid, const QString& cover,
                             const QString& thumbnail) const
{
    QSqlQuery q = db_.Query();
    q.prepare(
        QStringLiteral("UPDATE videos SET cover = ?, thumbnail = ?, updated_ms = ? WHERE vid = ?"));
    Database::Bind(q, {cover, thumbnail, QDateTime::currentMSecsSinceEpoch(), vid});
    return Database::Exec(q);
}
