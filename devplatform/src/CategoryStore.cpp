#include "CategoryStore.h"

#include <QDateTime>
#include <QVariant>

#include "Account.h"
#include "Database.h"

std::optional<Category> CategoryStore::Get(qint64 owner, qint64 id) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral(
        "SELECT cate_id, owner, parent_id, name FROM categories WHERE cate_id = ? AND owner = ?"));
    q.addBindValue(id);
    q.addBindValue(owner);
    if (!Database::Exec(q) || !q.next()) {
        return std::nullopt;
    }
    return Category{q.value(0).toLongLong(), q.value(1).toLongLong(), q.value(2).toLongLong(),
                    q.value(3).toString()};
}

QList<qint64> CategoryStore::PathOf(qint64 id) const
{
    QList<qint64> path;
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("SELECT parent_id FROM categories WHERE cate_id = ?"));
    qint64 current = id;
    // The depth bound protects against a cycle that a broken store could hold.
    for (int depth = 0; current != 0 && depth < 1000; ++depth) {
        q.bindValue(0, current);
        if (!Database::Exec(q) || !q.next()) {
            return {};
        }
        path.prepend(current);
        current = q.value(0).toLongLong();
        q.finish();
    }
    return path;
}

bool CategoryStore::Accessible(const Account& account, qint64 id) const
{
    if (!Get(account.Owner(), id)) {
        return false;
    }
    return account.rootCateId == 0 || PathOf(id).contains(account.rootCateId);
}

QList<Category> CategoryStore::Children(qint64 parentId) const
{
    QList<Category> children;
    QSqlQuery q = db_.Query();
    q.prepare(
        QStringLiteral("SELECT cate_id, owner, parent_id, name FROM categories WHERE parent_id = ? "
                       "ORDER BY cate_id"));
    q.addBindValue(parentId);
    if (Database::Exec(q)) {
        while (q.next()) {
            children.append(Category{q.value(0).toLongLong(), q.value(1).toLongLong(),
                                     q.value(2).toLongLong(), q.value(3).toString()});
        }
    }
    return children;
}

QList<Category> CategoryStore::All(qint64 owner) const
{
    QList<Category> all;
    QSqlQuery q = db_.Query();
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT cate_id, owner, parent_id, name FROM categories WHERE owner = ? ORDER BY cate_id"));
    q.addBindValue(owner);
    if (Database::Exec(q)) {
        while (q.next()) {
            all.append(Category{q.value(0).toLongLong(), q.value(1).toLongLong(),
                                q.value(2).toLongLong(), q.value(3).toString()});
        }
    }
    return all;
}

QHash<qint64, int> CategoryStore::VideoCounts(qint64 owner) const
{
    QHash<qint64, int> counts;
    QSqlQuery q = db_.Query();
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT cate_id, COUNT(*) FROM videos WHERE owner = ? GROUP BY cate_id"));
    q.addBindValue(owner);
    if (Database::Exec(q)) {
        while (q.next()) {
            counts.insert(q.value(0).toLongLong(), q.value(1).toInt());
        }
    }
    return counts;
}

qint64 CategoryStore::Insert(qint64 owner, qint64 parentId, const QString& name) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral(
        "INSERT INTO categories (owner, parent_id, name, created_ms) VALUES (?, ?, ?, ?)"));
    q.addBindValue(owner);
    q.addBindValue(parentId);
    q.addBindValue(name);
    q.addBindValue(QDateTime::currentMSecsSinceEpoch());
    if (!Database::Exec(q)) {
        return 0;
    }
    return q.lastInsertId().toLongLong();
}

bool CategoryStore::Rename(qint64 id, const QString& name) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("UPDATE categories SET name = ? WHERE cate_id = ?"));
    q.addBindValue(name);
    q.addBindValue(id);
    return Database::Exec(q);
}

bool CategoryStore::Move(qint64 id, qint64 parentId) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("UPDATE categories SET parent_id = ? WHERE cate_id = ?"));
    q.addBindValue(parentId);
    q.addBindValue(id);
    return Database::Exec(q);
}
