#pragma once

#include <optional>

#include <QHash>
#include <QList>
#include <QString>

class Database;
struct Account;

struct Category
{
    qint64 id = 0;
    qint64 owner = 0;
    qint64 parentId = 0;  // 0 for the library's top category
    QString name;
};

// Reads and writes the category tree of a library. Callers hold the database lock.
class CategoryStore
{
public:
    explicit CategoryStore(const Database& db) : db_(db) {}

    std::optional<Category> Get(qint64 owner, qint64 id) const;
    // Identifiers from the library's top category down to id (id last); empty when unknown.
    QList<qint64> PathOf(qint64 id) const;
    // The category exists in the account's library and lies inside the account's subtree.
    bool Accessible(const Account& account, qint64 id) const;
    QList<Category> Children(qint64 parentId) const;
    QList<Category> All(qint64 owner) const;
    QHash<qint64, int> VideoCounts(qint64 owner) const;
    qint64 Insert(qint64 owner, qint64 parentId, const QString& name) const;  // 0 on failure
    bool Rename(qint64 id, const QString& name) const;
    bool Move(qint64 id, qint64 parentId) const;

private:
    const Database& db_;
};
