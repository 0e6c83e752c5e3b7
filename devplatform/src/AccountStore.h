#pragma once

#include <optional>

#include <QVariant>

#include "Account.h"

class Database;

// Reads and writes accounts. Callers hold the database lock.
class AccountStore
{
public:
    explicit AccountStore(const Database& db) : db_(db) {}

    std::optional<Account> ByAppId(const QString& appId) const;
    std::optional<Account> ByEmail(const QString& email) const;
    std::optional<Account> ById(qint64 id) const;
    // Inserts and fills account->id; false on a database error.
    bool Insert(Account* account) const;
    bool SetRemainLogin(qint64 id, int remain) const;
    bool SetRootCategory(qint64 id, qint64 cateId) const;
    // Sets one integer column (permissions, space, expiration_ms, remain_login).
    bool SetNumber(qint64 id, const QString& column, qint64 value) const;
    // Bytes the owner's library takes: finished videos plus uploads in progress.
    qint64 UsedBytes(qint64 owner) const;
    // The user id of the library's owner (the main account's).
    QString OwnerUserId(const Account& account) const;

private:
    std::optional<Account> One(const QString& where, const QVariant& value) const;
    const Database& db_;
};
