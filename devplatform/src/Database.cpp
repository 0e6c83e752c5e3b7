#include "Database.h"

#include <atomic>
#include <thread>

#include <QDebug>
#include <QSqlError>
#include <QStringList>

namespace {

std::atomic<int> g_instanceCounter{0};

const char* const kSchema[] = {
    // A main account has main_id 0; a sub-account names its main account, whose library
    // (categories, videos, storage) it works on.
    "CREATE TABLE IF NOT EXISTS accounts ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " main_id INTEGER NOT NULL DEFAULT 0,"
    " user_id TEXT NOT NULL UNIQUE,"
    " email TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    " password TEXT NOT NULL,"
    " child_name TEXT NOT NULL DEFAULT '',"
    " account_type INTEGER NOT NULL DEFAULT -1,"
    " permissions INTEGER NOT NULL DEFAULT 16383,"
    " app_id TEXT NOT NULL UNIQUE,"
    " app_secret TEXT NOT NULL,"
    " remain_login INTEGER NOT NULL DEFAULT 5,"
    " expiration_ms INTEGER NOT NULL DEFAULT 0,"
    " space INTEGER NOT NULL DEFAULT 0,"
    " package_type TEXT NOT NULL DEFAULT '',"
    " user_level INTEGER NOT NULL DEFAULT 1,"
    " root_cate_id INTEGER NOT NULL DEFAULT 0,"
    " upload_type TEXT NOT NULL DEFAULT '',"
    " video_only TEXT NOT NULL DEFAULT 'N')",
    "CREATE TABLE IF NOT EXISTS categories ("
    " cate_id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " owner INTEGER NOT NULL,"
    " parent_id INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " created_ms INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX IF NOT EXISTS categories_parent ON categories(parent_id)",
    "CREATE INDEX IF NOT EXISTS categories_owner ON categories(owner)",
    "CREATE TABLE IF NOT EXISTS videos ("
    " vid TEXT PRIMARY KEY,"
    " owner INTEGER NOT NULL,"
    " cate_id INTEGER NOT NULL,"
    " title TEXT NOT NULL DEFAULT '',"
    " description TEXT NOT NULL DEFAULT '',"
    " tags TEXT NOT NULL DEFAULT '',"
    " duration REAL NOT NULL DEFAULT 0,"
    " size INTEGER NOT NULL DEFAULT 0,"
    " status INTEGER NOT NULL DEFAULT 5,"
    " created_ms INTEGER NOT NULL DEFAULT 0,"
    " updated_ms INTEGER NOT NULL DEFAULT 0,"
    " uploader TEXT NOT NULL DEFAULT '',"
    " play_times INTEGER NOT NULL DEFAULT 0,"
    " md5 TEXT NOT NULL DEFAULT '',"
    " filename TEXT NOT NULL DEFAULT '',"
    " luping INTEGER NOT NULL DEFAULT 0,"
    " cover TEXT NOT NULL DEFAULT '',"
    " thumbnail TEXT NOT NULL DEFAULT '',"
    " snapshots INTEGER NOT NULL DEFAULT 0,"
    " ready_ms INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX IF NOT EXISTS videos_cate ON videos(cate_id, created_ms)",
    "CREATE INDEX IF NOT EXISTS videos_owner ON videos(owner, created_ms)",
    "CREATE INDEX IF NOT EXISTS videos_status ON videos(status)",
    "CREATE INDEX IF NOT EXISTS videos_title ON videos(owner, title)",
    // state: 0 receiving, 1 complete, 2 terminated
    "CREATE TABLE IF NOT EXISTS uploads ("
    " upload_id TEXT PRIMARY KEY,"
    " vid TEXT NOT NULL,"
    " owner INTEGER NOT NULL,"
    " account INTEGER NOT NULL,"
    " length INTEGER NOT NULL,"
    " state INTEGER NOT NULL DEFAULT 0,"
    " crc TEXT NOT NULL DEFAULT '',"
    " path TEXT NOT NULL DEFAULT '',"
    " created_ms INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX IF NOT EXISTS uploads_vid ON uploads(vid)",
    // Upload-Metadata of a creation as it arrived (a HEAD answers with it).
    "CREATE TABLE IF NOT EXISTS upload_metadata ("
    " upload_id TEXT PRIMARY KEY,"
    " header TEXT NOT NULL)",
};

// Columns of uploads added after the table above, so that data folders of any age get them:
// while receiving, crc and md5_state cover the first `hashed` bytes of the upload's file; once
// complete, crc and md5 are those of the whole file.
const char* const kUploadHashColumns[] = {
    "hashed INTEGER NOT NULL DEFAULT 0",
    "md5_state BLOB",
    "md5 TEXT NOT NULL DEFAULT ''",
};

}  // namespace

Database::Database(QString path)
    : path_(std::move(path)),
      prefix_(QStringLiteral("devplatform-%1-").arg(g_instanceCounter.fetch_add(1)))
{
}

Database::~Database() = default;

bool Database::Open(QString* error)
{
    auto lock = Lock();
    QSqlDatabase db = Connection();
    if (!db.isOpen()) {
        *error = db.lastError().text();
        return false;
    }
    for (const char* statement : kSchema) {
        if (!Exec(QString::fromLatin1(statement))) {
            *error = QStringLiteral("schema failed");
            return false;
        }
    }
    QStringList columns;
    QSqlQuery info(db);
    if (info.exec(QStringLiteral("PRAGMA table_info(uploads)"))) {
        while (info.next()) {
            columns.append(info.value(1).toString());
        }
    }
    for (const char* column : kUploadHashColumns) {
        const QString definition = QString::fromLatin1(column);
        if (!columns.contains(definition.section(QLatin1Char(' '), 0, 0)) &&
            !Exec(QStringLiteral("ALTER TABLE uploads ADD COLUMN ") + definition)) {
            *error = QStringLiteral("schema failed");
            return false;
        }
    }
    return true;
}

QSqlDatabase Database::Connection() const
{
    const QString name =
        prefix_ + QString::number(std::hash<std::thread::id>()(std::this_thread::get_id()));
    if (QSqlDatabase::contains(name)) {
        return QSqlDatabase::database(name, false);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path_);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open()) {
        qCritical() << "open database failed:" << path_ << db.lastError().text();
        return db;
    }
    QSqlQuery pragma(db);
    pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    pragma.exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
    return db;
}

void Database::Bind(QSqlQuery& query, std::initializer_list<QVariant> values)
{
    for (const QVariant& value : values) {
        if (value.type() == QVariant::String && value.toString().isNull()) {
            query.addBindValue(QStringLiteral(""));
        } else {
            query.addBindValue(value);
        }
    }
}

bool Database::Exec(QSqlQuery& query)
{
    if (query.exec()) {
        return true;
    }
    qCritical() << "failed to exec sql:" << query.lastQuery() << query.lastError().text();
    return false;
}

bool Database::Exec(const QString& statement) const
{
    QSqlQuery query(Connection());
    if (query.exec(statement)) {
        return true;
    }
    qCritical() << "failed to exec sql:" << statement << query.lastError().text();
    return false;
}
