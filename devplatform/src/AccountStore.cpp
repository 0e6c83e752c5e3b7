#include "AccountStore.h"

#include <QSqlRecord>
#include <QVariant>

#include "Database.h"

namespace {

const QString kColumns = QStringLiteral(
    "id, main_id, user_id, email, password, child_name, account_type, permissions, app_id, "
    "app_secret, remain_login, expiration_ms, space, package_type, user_level, root_cate_id, "
    "upload_type, video_only");

Account FromQuery(const QSqlQuery& q)
{
    Account a;
    a.id = q.value(0).toLongLong();
    a.mainId = q.value(1).toLongLong();
    a.userId = q.value(2).toString();
    a.email = q.value(3).toString();
    a.password = q.value(4).toString();
    a.childName = q.value(5).toString();
    a.accountType = q.value(6).toInt();
    a.permissions = q.value(7).toInt();
    a.appId = q.value(8).toString();
    a.appSecret = q.value(9).toString();
    a.remainLogin = q.value(10).toInt();
    a.expirationMs = q.value(11).toLongLong();
    a.space = q.value(12).toLongLong();
    a.packageType = q.value(13).toString();
    a.userLevel = q.value(14).toInt();
    a.rootCateId = q.value(15).toLongLong();
    a.uploadType = q.value(16).toString();
    a.videoOnly = q.value(17).toString();
    return a;
}

}  // namespace

std::optional<Account> AccountStore::One(const QString& where, const QVariant& value) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM accounts WHERE ") +
              where);
    q.addBindValue(value);
    if (!Database::Exec(q) || !q.next()) {
        return std::nullopt;
    }
    return FromQuery(q);
}

std::optional<Account> AccountStore::ByAppId(const QString& appId) const
{
    return One(QStringLiteral("app_id = ?"), appId);
}

std::optional<Account> AccountStore::ByEmail(const QString& email) const
{
    return One(QStringLiteral("email = ?"), email);
}

std::optional<Account> AccountStore::ById(qint64 id) const
{
    return One(QStringLiteral("id = ?"), id);
}

bool AccountStore::Insert(Account* a) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral(
        "INSERT INTO accounts (main_id, user_id, email, password, child_name, account_type, "
        "permissions, app_id, app_secret, remain_login, expiration_ms, space, package_type, "
        "user_level, root_cate_id, upload_type, video_only) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    Database::Bind(
        q,
        {QVariant(a->mainId), QVariant(Database::Text(a->userId)),
         QVariant(Database::Text(a->email)), QVariant(Database::Text(a->password)),
         QVariant(Database::Text(a->childName)), QVariant(a->accountType), QVariant(a->permissions),
         QVariant(Database::Text(a->appId)), QVariant(Database::Text(a->appSecret)),
         QVariant(a->remainLogin), QVariant(a->expirationMs), QVariant(a->space),
         QVariant(Database::Text(a->packageType)), QVariant(a->userLevel), QVariant(a->rootCateId),
         QVariant(Database::Text(a->uploadType)), QVariant(Database::Text(a->videoOnly))});
    if (!Database::Exec(q)) {
        return false;
    }
    a->id = q.lastInsertId().toLongLong();
    return true;
}

bool AccountStore::SetRemainLogin(qint64 id, int remain) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("UPDATE accounts SET remain_login = ? WHERE id = ?"));
    q.addBindValue(remain);
    q.addBindValue(id);
    return Database::Exec(q);
}

bool AccountStore::SetRootCategory(qint64 id, qint64 cateId) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("UPDATE accounts SET root_cate_id = ? WHERE id = ?"));
    q.addBindValue(cateId);
    q.addBindValue(id);
    return Database::Exec(q);
}

bool AccountStore::SetNumber(qint64 id, const QString& column, qint64 value) const
{
    static const QStringList columns = {QStringLiteral("permissions"), QStringLiteral("space"),
                                        QStringLiteral("expiration_ms"),
                                        QStringLiteral("remain_login")};
    if (!columns.contains(column)) {
        return false;
    }
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("UPDATE accounts SET ") + column +
              QStringLiteral(" = ? WHERE id = ?"));
    q.addBindValue(value);
    q.addBindValue(id);
    return Database::Exec(q);
}

qint64 AccountStore::UsedBytes(qint64 owner) const
{
    QSqlQuery q = db_.Query();
    q.prepare(QStringLiteral("SELECT COALESCE(SUM(size), 0) FROM videos WHERE owner = ?"));
    q.addBindValue(owner);
    if (!Database::Exec(q) || !q.next()) {
        return 0;
    }
    return q.value(0).toLongLong();
}

QString AccountStore::OwnerUserId(const Account& account) const
{
    if (!account.IsSub()) {
        return account.userId;
    }
    const auto main = ById(account.mainId);
    return main ? main->userId : QString();
}
