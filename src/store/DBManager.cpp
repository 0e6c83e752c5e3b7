#include "store/DBManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include "store/AesCbc.h"

namespace {

DBManager* g_instance = nullptr;

struct Column
{
    const char* name;
    const char* definition;
};

// "\nCREATE TABLE IF NOT EXISTS <table>(\n    [name]   TYPE CONSTRAINT,\n ...\n);\n" with the
// bracketed names padded to a common width.
QString CreateTableSql(const char* table, std::initializer_list<Column> columns)
{
    int width = 0;
    for (const Column& column : columns) {
        width = qMax(width, static_cast<int>(qstrlen(column.name)) + 2);
    }
    QStringList lines;
    for (const Column& column : columns) {
        const QString name = QStringLiteral("[%1]").arg(QLatin1String(column.name));
        lines << QStringLiteral("    %1 %2")
                     .arg(name.leftJustified(width), QLatin1String(column.definition));
    }
    return QStringLiteral("\nCREATE TABLE IF NOT EXISTS %1(\n%2\n);\n")
        .arg(QLatin1String(table), lines.join(QStringLiteral(",\n")));
}

const QString& UserTableSql()
{
    static const QString sql =
        CreateTableSql("KVRUser", {
                                      {"account", "TEXT PRIMARY KEY NOT NULL"},
                                      {"password", "TEXT DEFAULT NULL"},
                                      {"rememberPassword", "INTEGER DEFAULT 0"},
                                      {"updateTS", "INTEGER DEFAULT 0"},
                                  });
    return sql;
}

const QString& UploadTableSql()
{
    static const QString sql =
        CreateTableSql("KVRUploadRecord", {
                                              {"account", "TEXT NOT NULL"},
                                              {"vid", "VARCHAR(35) NOT NULL"},
                                              {"fileName", "TEXT NOT NULL"},
                                              {"titleName", "TEXT DEFAULT NULL"},
                                              {"describ", "TEXT DEFAULT NULL"},
                                              {"tag", "TEXT DEFAULT NULL"},
                                              {"catePath", "TEXT DEFAULT NULL"},
                                              {"cateId", "INTEGER DEFAULT 1"},
                                              {"luping", "INTEGER DEFAULT 0"},
                                              {"keepSource", "INTEGER DEFAULT 0"},
                                              {"totalBytes", "INTEGER DEFAULT 0"},
                                              {"uploadBytes", "INTEGER DEFAULT 0"},
                                              {"updateTS", "INTEGER DEFAULT 0"},
                                          });
    return sql;
}

const QString& HistoryTableSql()
{
    static const QString sql =
        CreateTableSql("KVRHistoryRecord", {
                                               {"account", "TEXT NOT NULL"},
                                               {"vid", "VARCHAR(35) NOT NULL"},
                                               {"fileName", "TEXT DEFAULT NULL"},
                                               {"titleName", "TEXT DEFAULT NULL"},
                                               {"fileSize", "VARCHAR(32) DEFAULT NULL"},
                                               {"fileStatus", "VARCHAR(32) DEFAULT NULL"},
                                               {"updateTS", "INTEGER DEFAULT 0"},
                                           });
    return sql;
}

// The key and IV of stored passwords, assembled at run time so that neither stands whole in
// the binary.
QByteArray PasswordKey()
{
    const char head[] = {0x4b, 0x61, 0x76, 0x72, 0x6f, 0x2d, 0x55, 0x70};
    const char tail[] = {0x3c, 0x19, 0x7e, 0x52, 0x0d, 0x66, 0x21, 0x48};
    QByteArray key(head, sizeof(head));
    for (char byte : tail) {
        key.append(static_cast<char>(byte ^ 0x5a));
    }
    return key;
}

QByteArray PasswordIv()
{
    QByteArray iv;
    for (int i = 0; i < AesCbc::kBlockSize; ++i) {
        iv.append(static_cast<char>((i * 37 + 11) & 0xff));
    }
    return iv;
}

void LogFailure(const QString& sql, const QSqlError& error)
{
    qWarning() << "failed to exec sql:" << sql << ", last error:" << error;
}

// Prepares sql, binds values in order and executes it; logs and returns false on failure.
bool Execute(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    bool ok = query.prepare(sql);
    if (ok) {
        for (const QVariant& value : values) {
            query.addBindValue(value, QSql::In);
        }
        ok = query.exec();
    }
    if (!ok) {
        LogFailure(sql, query.lastError());
    }
    return ok;
}

bool ExecutePlain(const QString& sql)
{
    QSqlQuery query;
    if (!query.exec(sql)) {
        LogFailure(sql, query.lastError());
        return false;
    }
    return true;
}

}  // namespace

DBManager::DBManager()
{
    qRegisterMetaType<DBManager::User>();
    qRegisterMetaType<DBManager::Upload>();
    qRegisterMetaType<DBManager::History>();
}

QString DBManager::BoundAccount() const
{
    return account.isNull() ? QStringLiteral("") : account;
}

DBManager* DBManager::instance()
{
    if (!g_instance) {
        g_instance = new DBManager();
        // The checkpointer's thread uses Qt's SQL drivers: it ends with the application object,
        // before the process's static objects (the drivers among them) are destroyed, even where
        // nobody calls Destroy.
        qAddPostRoutine([] {
            if (g_instance) {
                g_instance->Close();
            }
        });
    }
    return g_instance;
}

void DBManager::Destroy()
{
    QString name;
    if (g_instance) {
        g_instance->Close();
        name = g_instance->database.connectionName();
        delete g_instance;
        g_instance = nullptr;
    }
    QSqlDatabase::removeDatabase(name);
}

bool DBManager::Open(const QString& path)
{
    damagedFilePath.clear();
    if (!database.isValid()) {
        database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    }
    database.setDatabaseName(path);
    if (OpenAndPrepare(path)) {
        return true;
    }
    // A file that cannot be opened or read is kept for the user under another name, and a
    // fresh one takes its place, so that new uploads and remembered accounts keep working.
    Close();
    const QString aside =
        path + QStringLiteral(".damaged-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
    if (!QFileInfo::exists(path) || !QFile::rename(path, aside)) {
        qWarning() << "failed to move the damaged db aside:" << path;
        return false;
    }
    for (const QString& suffix :
         {QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile::rename(path + suffix, aside + suffix);
    }
    qWarning() << "damaged db moved aside:" << aside;
    damagedFilePath = aside;
    return OpenAndPrepare(path);
}

bool DBManager::OpenAndPrepare(const QString& path)
{
    if (!database.open()) {
        qWarning() << "failed to open the db, last error:" << database.lastError();
        return false;
    }
    // Remembered passwords live here: the file is the user's alone.
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadUser | QFileDevice::WriteUser);
    // SQLite opens any file lazily; the first read tells whether it is a sound database.
    {
        QSqlQuery check(database);
        if (!check.exec(QStringLiteral("PRAGMA quick_check;")) || !check.next() ||
            check.value(0).toString() != QLatin1String("ok")) {
            qWarning() << "failed to read the db, last error:" << check.lastError()
                       << check.value(0).toString();
            return false;
        }
    }
    // Write-ahead log, synced at checkpoints: a commit costs no fsync on the GUI thread (the
    // transfer page saves every upload's progress every third second while the disk is busy
    // with the uploads), and a killed process still loses nothing it committed.
    ExecutePlain(QStringLiteral("PRAGMA journal_mode=WAL;"));
    ExecutePlain(QStringLiteral("PRAGMA synchronous=NORMAL;"));
    // The checkpoints, which sync the disk, run on WalCheckpointer's thread; this connection
    // checkpoints only if the log ever grows past 16 MiB without one (4096 pages of 4 KiB).
    ExecutePlain(QStringLiteral("PRAGMA wal_autocheckpoint=4096;"));
    const QStringList tables = database.tables(QSql::Tables);
    bool ok = true;
    if (!tables.contains(QStringLiteral("KVRUser"))) {
        ok = ExecutePlain(UserTableSql()) && ok;
    }
    if (!tables.contains(QStringLiteral("KVRUploadRecord"))) {
        ok = ExecutePlain(UploadTableSql()) &&
             ExecutePlain(QStringLiteral(
                 "CREATE UNIQUE INDEX \"idx_record\" ON \"KVRUploadRecord\" (\"account\" "
                 "ASC, \"vid\" ASC);")) &&
             ok;
    }
    if (!tables.contains(QStringLiteral("KVRHistoryRecord"))) {
        ok = ExecutePlain(HistoryTableSql()) &&
             ExecutePlain(
                 QStringLiteral("CREATE UNIQUE INDEX \"idx_history\" ON \"KVRHistoryRecord\" "
                                "(\"account\" ASC, \"vid\" ASC);")) &&
             ok;
    }
    if (ok) {
        checkpointer.Start(path);
    }
    return ok;
}

void DBManager::Close()
{
    // The checkpointer's connection goes first: the last one closed moves the whole log into
    // the database file and removes it.
    checkpointer.Stop();
    if (database.isOpen()) {
        database.close();
    }
}

void DBManager::SetAccount(const QString& newAccount)
{
    account = newAccount;
}

QString DBManager::ProtectPassword(const QString& password)
{
    if (password.isEmpty()) {
        return QString();
    }
    const QByteArray cipher = AesCbc::Encrypt(password.toUtf8(), PasswordKey(), PasswordIv());
    return QString::fromLatin1(cipher.toBase64());
}

QString DBManager::UnprotectPassword(const QString& stored)
{
    if (stored.isEmpty()) {
        return QString();
    }
    const auto decoded =
        QByteArray::fromBase64Encoding(stored.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return QString();
    }
    bool ok = false;
    const QByteArray plain = AesCbc::Decrypt(*decoded, PasswordKey(), PasswordIv(), &ok);
    return ok ? QString::fromUtf8(plain) : QString();
}

bool DBManager::AddUser(const User& user)
{
    QSqlQuery query;
    return Execute(query, QStringLiteral("INSERT OR REPLACE INTO KVRUser VALUES(?,?,?,?);"),
                   {user.account, ProtectPassword(user.password), user.rememberPassword ? 1 : 0,
                    user.updateTS});
}

QVector<DBManager::User> DBManager::GetUsers()
{
    QVector<User> users;
    QSqlQuery query;
    if (!Execute(query, QStringLiteral("SELECT * FROM KVRUser ORDER BY [updateTS] DESC;"), {})) {
        return users;
    }
    while (query.next()) {
        User user;
        user.account = query.value(0).toString();
        user.password = UnprotectPassword(query.value(1).toString());
        user.rememberPassword = query.value(2).toBool();
        user.updateTS = query.value(3).toLongLong();
        users.append(user);
    }
    return users;
}

bool DBManager::RemoveUser(const QString& userAccount)
{
    QSqlQuery query;
    return Execute(query, QStringLiteral("DELETE FROM KVRUser WHERE [account] = ?;"),
                   {userAccount});
}

bool DBManager::RemoveAllUsers()
{
    QSqlQuery query;
    return Execute(query, QStringLiteral("DELETE FROM KVRUser;"), {});
}

bool DBManager::AddUpload(const Upload& upload)
{
    QSqlQuery query;
    return InsertUpload(query, upload);
}

bool DBManager::InsertUpload(QSqlQuery& query, const Upload& upload) const
{
    return Execute(
        query,
        QStringLiteral("INSERT OR REPLACE INTO KVRUploadRecord VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?);"),
        {BoundAccount(), upload.vid, upload.fileName, upload.titleName, upload.describ, upload.tag,
         upload.catePath, upload.cateId, upload.luping, upload.keepSource, upload.totalBytes,
         upload.uploadBytes, upload.updateTS});
}

bool DBManager::AddUploads(const QVector<Upload>& uploads)
{
    if (uploads.isEmpty()) {
        return true;
    }
    if (uploads.size() == 1) {
        return AddUpload(uploads.first());
    }
    // Every statement of its own would be a commit of its own: a write of the log per record.
    const bool inTransaction = database.transaction();
    bool ok = true;
    QSqlQuery query;
    for (const Upload& upload : uploads) {
        if (!InsertUpload(query, upload)) {
            ok = false;
            break;
        }
    }
    return inTransaction ? Finish(ok) : ok;
}

bool DBManager::Finish(bool ok)
{
    if (ok && database.commit()) {
        return true;
    }
    if (ok) {
        qWarning() << "failed to commit, last error:" << database.lastError();
    }
    database.rollback();
    return false;
}

QVector<DBManager::Upload> DBManager::GetUploads()
{
    QVector<Upload> uploads;
    QSqlQuery query;
    if (!Execute(query,
                 QStringLiteral(
                     "SELECT * FROM KVRUploadRecord WHERE [account] = ? ORDER BY [updateTS] DESC;"),
                 {BoundAccount()})) {
        return uploads;
    }
    while (query.next()) {
        Upload upload;
        upload.vid = query.value(1).toString();
        upload.fileName = query.value(2).toString();
        upload.titleName = query.value(3).toString();
        upload.describ = query.value(4).toString();
        upload.tag = query.value(5).toString();
        upload.catePath = query.value(6).toString();
        upload.cateId = static_cast<qint64>(query.value(7).toULongLong());
        upload.luping = query.value(8).toInt();
        upload.keepSource = query.value(9).toInt();
        upload.totalBytes = query.value(10).toULongLong();
        upload.uploadBytes = query.value(11).toULongLong();
        upload.updateTS = static_cast<quint64>(query.value(12).toLongLong());
        uploads.append(upload);
    }
    return uploads;
}

bool DBManager::RemoveUpload(const QString& vid)
{
    QSqlQuery query;
    return Execute(query,
                   QStringLiteral("DELETE FROM KVRUploadRecord WHERE [account] = ? AND [vid] = ?;"),
                   {BoundAccount(), vid});
}

bool DBManager::RemoveAllUploads()
{
    QSqlQuery query;
    return Execute(query, QStringLiteral("DELETE FROM KVRUploadRecord WHERE [account] = ?;"),
                   {BoundAccount()});
}

bool DBManager::AddHistory(const History& history, bool notify)
{
    QSqlQuery query;
    const bool ok = Execute(
        query, QStringLiteral("INSERT OR REPLACE INTO KVRHistoryRecord VALUES(?,?,?,?,?,?,?);"),
        {BoundAccount(), history.vid, history.fileName, history.titleName, history.fileSize,
         history.fileStatus, history.updateTS});
    if (ok && notify) {
        emit SignalAppendHistory(history);
    }
    return ok;
}

bool DBManager::MoveUploadToHistory(const History& history, bool notify)
{
    const bool inTransaction = database.transaction();
    bool ok = RemoveUpload(history.vid) && AddHistory(history, false);
    if (inTransaction) {
        ok = Finish(ok);
    }
    if (ok && notify) {
        emit SignalAppendHistory(history);
    }
    return ok;
}

QVector<DBManager::History> DBManager::GetHistories(int page, int pageSize)
{
    QVector<History> histories;
    QSqlQuery query;
    if (!Execute(query,
                 QStringLiteral(
                     "SELECT * FROM KVRHistoryRecord WHERE [account] = ? ORDER BY [updateTS] DESC "
                     "LIMIT ? OFFSET ?;"),
                 {BoundAccount(), pageSize, page * pageSize})) {
        return histories;
    }
    while (query.next()) {
        History history;
        history.vid = query.value(1).toString();
        history.fileName = query.value(2).toString();
        history.titleName = query.value(3).toString();
        history.fileSize = query.value(4).toString();
        history.fileStatus = query.value(5).toString();
        history.updateTS = static_cast<quint64>(query.value(6).toLongLong());
        histories.append(history);
    }
    return histories;
}

int DBManager::GetHistoryCount()
{
    QSqlQuery query;
    if (!Execute(query,
                 QStringLiteral("SELECT COUNT(*) FROM KVRHistoryRecord WHERE [account] = ?;"),
                 {BoundAccount()}) ||
        !query.next()) {
        return 0;
    }
    return query.value(0).toInt();
}

bool DBManager::RemoveHistory(const QString& vid, bool notify)
{
    QSqlQuery query;
    const bool ok = Execute(
        query, QStringLiteral("DELETE FROM KVRHistoryRecord WHERE [account] = ? AND [vid] = ?;"),
        {BoundAccount(), vid});
    if (ok && notify) {
        emit SignalRemoveHistory(vid);
    }
    return ok;
}

bool DBManager::RemoveAllHistories(bool notify)
{
    QSqlQuery query;
    const bool ok =
        Execute(query, QStringLiteral("DELETE FROM KVRHistoryRecord WHERE [account] = ?;"),
                {BoundAccount()});
    if (ok && notify) {
        emit SignalRemoveAllHistories();
    }
    return ok;
}
