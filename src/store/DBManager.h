#pragma once

#include <QMetaType>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

#include "store/WalCheckpointer.h"

class QSqlQuery;

// The client's local state in one SQLite file: the remembered accounts of the login dialog,
// the unfinished uploads and the upload history of each account. A process-wide object used
// only on the GUI thread; upload and history rows belong to the current account.
class DBManager : public QObject
{
    Q_OBJECT

public:
    struct User
    {
        QString account;
        QString password;  // clear text in memory, protected in the table
        bool rememberPassword = false;
        qint64 updateTS = 0;
    };

    struct Upload
    {
        QString vid;
        QString fileName;  // the local file path
        QString titleName;
        QString describ;
        QString tag;
        QString catePath;
        qint64 cateId = 0;
        int luping = 0;
        int keepSource = 0;
        quint64 totalBytes = 0;
        quint64 uploadBytes = 0;
        quint64 updateTS = 0;
        QString statusText;  // in memory only: the translated result, never stored
    };

    struct History
    {
        QString vid;
        QString fileName;
        QString titleName;
        QString fileSize;    // display text
        QString fileStatus;  // display text
        quint64 updateTS = 0;
    };

    static DBManager* instance();
    static void Destroy();

    // Opens the database file, creating the tables it lacks. A file that cannot be opened or
    // read is moved aside ("<path>.damaged-<yyyy-MM-dd-HH-mm-ss>") and a fresh one created;
    // DamagedFilePath() then names where the old file went. False when no database is usable.
    bool Open(const QString& path);
    void Close();
    QString DamagedFilePath() const { return damagedFilePath; }

    void SetAccount(const QString& account);
    QString Account() const { return account; }

    bool AddUser(const User& user);
    QVector<User> GetUsers();
    bool RemoveUser(const QString& account);
    bool RemoveAllUsers();

    bool AddUpload(const Upload& upload);
    // Inserts or replaces every record in one transaction (one commit for a whole batch);
    // nothing is written when one of them fails.
    bool AddUploads(const QVector<Upload>& uploads);
    QVector<Upload> GetUploads();
    bool RemoveUpload(const QString& vid);
    bool RemoveAllUploads();

    bool AddHistory(const History& history, bool notify);
    // A finished upload in one transaction: its upload record goes, its history record comes.
    bool MoveUploadToHistory(const History& history, bool notify);
    QVector<History> GetHistories(int page, int pageSize);
    int GetHistoryCount();
    bool RemoveHistory(const QString& vid, bool notify);
    bool RemoveAllHistories(bool notify);

    // The stored form of a password: empty for empty, else Base64 of AES-128-CBC/PKCS#7.
    static QString ProtectPassword(const QString& password);
    // The password of a stored value; empty for a value that is not a valid ciphertext.
    static QString UnprotectPassword(const QString& stored);

signals:
    void SignalAppendHistory(DBManager::History record);
    void SignalRemoveHistory(QString vid);
    void SignalRemoveAllHistories();

private:
    DBManager();

    // The current account as bound into statements: never null, so that uploads and
    // histories before the first login belong to the empty account name.
    QString BoundAccount() const;
    bool OpenAndPrepare(const QString& path);
    bool InsertUpload(QSqlQuery& query, const Upload& upload) const;
    // Ends the open transaction: commits when ok, else rolls back; true when committed.
    bool Finish(bool ok);

    QString account;
    QString damagedFilePath;
    QSqlDatabase database;
    WalCheckpointer checkpointer;
};

Q_DECLARE_METATYPE(DBManager::User)
Q_DECLARE_METATYPE(DBManager::Upload)
Q_DECLARE_METATYPE(DBManager::History)
