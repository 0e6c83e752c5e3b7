// The local database, the password protection and the legacy account import, on real SQLite
// files in a temporary folder.
#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "app/LegacyAccountImporter.h"
#include "store/AesCbc.h"
#include "store/DBManager.h"
#include "store/WalCheckpointer.h"

namespace {

DBManager::Upload MakeUpload(const QString& vid, quint64 updateTS)
{
    DBManager::Upload upload;
    upload.vid = vid;
    upload.fileName = QStringLiteral("/videos/课程 %1.mp4").arg(vid);
    upload.titleName = QStringLiteral("标题 ") + vid;
    upload.describ = QStringLiteral("desc");
    upload.tag = QStringLiteral("a,b");
    upload.catePath = QStringLiteral("Root/Sub");
    upload.cateId = 1234567890123LL;
    upload.luping = 1;
    upload.totalBytes = (quint64(5) << 40) + 7;
    upload.uploadBytes = (quint64(3) << 32) + 1;
    upload.updateTS = updateTS;
    upload.statusText = QStringLiteral("never stored");
    return upload;
}

DBManager::History MakeHistory(int n)
{
    DBManager::History history;
    history.vid = QStringLiteral("vid%1").arg(n, 3, 10, QLatin1Char('0'));
    history.fileName = QStringLiteral("file%1").arg(n);
    history.titleName = QStringLiteral("title%1").arg(n);
    history.fileSize = QStringLiteral("1.50 KB");
    history.fileStatus = QStringLiteral("UploadSuccess");
    history.updateTS = 1000 + quint64(n);
    return history;
}

}  // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void schema();
    void damagedFileMovedAside_data();
    void damagedFileMovedAside();
    void usersNewestFirstAndReplaced();
    void passwordProtection_data();
    void passwordProtection();
    void corruptStoredPassword_data();
    void corruptStoredPassword();
    void uploadsRoundTripPerAccount();
    void historiesPagedPerAccount();
    void historySignals();
    void checkpointsOffTheWritingThread();
    void aesRoundTrip_data();
    void aesRoundTrip();
    void legacyImport_data();
    void legacyImport();

private:
    QTemporaryDir* dir = nullptr;
};

void TestStore::init()
{
    dir = new QTemporaryDir;
    QVERIFY(DBManager::instance()->Open(dir->filePath(QStringLiteral("kvr-upload-client.db"))));
    DBManager::instance()->SetAccount(QString());
}

void TestStore::cleanup()
{
    DBManager::Destroy();
    delete dir;
    dir = nullptr;
}

void TestStore::schema()
{
    QSqlQuery query(QStringLiteral(
        "SELECT name, sql FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' ORDER BY name"));
    QMap<QString, QString> objects;
    while (query.next()) {
        objects.insert(query.value(0).toString(), query.value(1).toString());
    }
    QCOMPARE(objects.keys(),
             (QStringList{QStringLiteral("KVRHistoryRecord"), QStringLiteral("KVRUploadRecord"),
                          QStringLiteral("KVRUser"), QStringLiteral("idx_history"),
                          QStringLiteral("idx_record")}));
    QVERIFY(objects.value(QStringLiteral("KVRUser"))
                .contains(QStringLiteral("[account]          TEXT PRIMARY KEY NOT NULL")));
    QVERIFY(objects.value(QStringLiteral("idx_record"))
                .contains(QStringLiteral("(\"account\" ASC, \"vid\" ASC)")));
}

void TestStore::damagedFileMovedAside_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("movedAside");
    QTest::newRow("sound file") << QString() << false;
    QTest::newRow("not a database") << QStringLiteral("text") << true;
    QTest::newRow("overwritten pages") << QStringLiteral("pages") << true;
    QTest::newRow("a folder") << QStringLiteral("folder") << true;
}

// A file that cannot be opened or read is moved aside with its bytes, and a fresh database
// takes its place; a sound file is used as it is.
void TestStore::damagedFileMovedAside()
{
    QFETCH(QString, damage);
    QFETCH(bool, movedAside);
    const QString path = dir->filePath(QStringLiteral("kvr-upload-client.db"));
    DBManager* db = DBManager::instance();
    for (int i = 0; i < 200; ++i) {
        QVERIFY(db->AddHistory(MakeHistory(i), false));
    }
    QVERIFY(db->AddUser({QStringLiteral("old@x.com"), QStringLiteral("pw"), true, 1}));
    DBManager::Destroy();

    if (damage == QLatin1String("text")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("this is no database, only some text\n");
    } else if (damage == QLatin1String("pages")) {
        // Page 1 (header and schema) stays; the tables' pages behind it become noise.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.size() > 8192);
        QVERIFY(file.seek(4096));
        file.write(QByteArray(int(file.size()) - 4096, '\xa5'));
    } else if (damage == QLatin1String("folder")) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
    }
    QByteArray before;
    if (QFileInfo(path).isFile()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        before = file.readAll();
    }

    db = DBManager::instance();
    QVERIFY(db->Open(path));
    const QStringList aside = QDir(dir->path())
                                  .entryList({QStringLiteral("kvr-upload-client.db.damaged-*")},
                                             QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    if (!movedAside) {
        QVERIFY(db->DamagedFilePath().isEmpty());
        QVERIFY(aside.isEmpty());
        QCOMPARE(db->GetHistoryCount(), 200);
        QCOMPARE(db->GetUsers().value(0).password, QStringLiteral("pw"));
        return;
    }
    QCOMPARE(aside.size(), 1);
    QVERIFY2(
        QRegularExpression(QStringLiteral("^kvr-upload-client\\.db\\.damaged-\\d{4}(-\\d\\d){5}$"))
            .match(aside.first())
            .hasMatch(),
        qPrintable(aside.first()));
    QCOMPARE(db->DamagedFilePath(), dir->filePath(aside.first()));
    if (!before.isEmpty()) {
        QFile moved(db->DamagedFilePath());
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), before);
    }
    // The fresh database works: accounts and history can be written and read again.
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(db->GetHistoryCount(), 0);
    QVERIFY(db->GetUsers().isEmpty());
    QVERIFY(db->AddUser({QStringLiteral("new@x.com"), QStringLiteral("pw"), true, 2}));
    QVERIFY(db->AddHistory(MakeHistory(1), false));
    QCOMPARE(db->GetUsers().value(0).account, QStringLiteral("new@x.com"));
    QCOMPARE(db->GetHistoryCount(), 1);
}

void TestStore::usersNewestFirstAndReplaced()
{
    DBManager* db = DBManager::instance();
    QVERIFY(db->AddUser({QStringLiteral("a@x.com"), QStringLiteral("pw1"), true, 100}));
    QVERIFY(db->AddUser({QStringLiteral("b@x.com"), QString(), false, 300}));
    QVERIFY(db->AddUser({QStringLiteral("a@x.com"), QStringLiteral("pw2"), true, 200}));

    const QVector<DBManager::User> users = db->GetUsers();
    QCOMPARE(users.size(), 2);
    QCOMPARE(users[0].account, QStringLiteral("b@x.com"));
    QCOMPARE(users[0].password, QString());
    QCOMPARE(users[0].rememberPassword, false);
    QCOMPARE(users[1].account, QStringLiteral("a@x.com"));
    QCOMPARE(users[1].password, QStringLiteral("pw2"));
    QCOMPARE(users[1].updateTS, qint64(200));

    QSqlQuery raw(
        QStringLiteral("SELECT password, rememberPassword FROM KVRUser WHERE account = 'b@x.com'"));
    QVERIFY(raw.next());
    QCOMPARE(raw.value(0).toString(), QString());
    QCOMPARE(raw.value(1).toInt(), 0);

    QVERIFY(db->RemoveUser(QStringLiteral("b@x.com")));
    QCOMPARE(db->GetUsers().size(), 1);
    QVERIFY(db->RemoveAllUsers());
    QVERIFY(db->GetUsers().isEmpty());
}

void TestStore::passwordProtection_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("base64Length");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("1 byte") << QStringLiteral("x") << 24;
    QTest::newRow("15 bytes") << QStringLiteral("123456789012345") << 24;
    QTest::newRow("16 bytes") << QStringLiteral("1234567890123456") << 44;
    QTest::newRow("17 bytes") << QStringLiteral("12345678901234567") << 44;
    QTest::newRow("chinese 5x3 bytes") << QStringLiteral("密码测试中") << 24;
    QTest::newRow("astral") << QStringLiteral("p\U0001F511") << 24;
}

void TestStore::passwordProtection()
{
    QFETCH(QString, password);
    QFETCH(int, base64Length);
    const QString stored = DBManager::ProtectPassword(password);
    QCOMPARE(stored.size(), base64Length);
    QVERIFY(password.isEmpty() || !stored.contains(password));
    QCOMPARE(DBManager::UnprotectPassword(stored), password);

    DBManager* db = DBManager::instance();
    QVERIFY(db->AddUser({QStringLiteral("u"), password, true, 1}));
    QCOMPARE(db->GetUsers().value(0).password, password);
}

void TestStore::corruptStoredPassword_data()
{
    QTest::addColumn<QString>("stored");
    const QString good = DBManager::ProtectPassword(QStringLiteral("secret"));
    const QByteArray cipher = QByteArray::fromBase64(good.toLatin1());
    QTest::newRow("not base64") << QStringLiteral("@@@not*base64@@@");
    QTest::newRow("15 bytes") << QString::fromLatin1(cipher.left(15).toBase64());
    QTest::newRow("17 bytes") << QString::fromLatin1((cipher + "x").toBase64());
    QByteArray flipped = cipher;
    flipped[15] = static_cast<char>(flipped[15] ^ 0x55);  // garbles the padding byte
    QTest::newRow("bad padding") << QString::fromLatin1(flipped.toBase64());
    QTest::newRow("zeros") << QString::fromLatin1(QByteArray(32, '\0').toBase64());
}

void TestStore::corruptStoredPassword()
{
    QFETCH(QString, stored);
    QCOMPARE(DBManager::UnprotectPassword(stored), QString());

    QSqlQuery insert;
    QVERIFY(insert.prepare(QStringLiteral("INSERT INTO KVRUser VALUES(?,?,?,?)")));
    insert.addBindValue(QStringLiteral("corrupt"));
    insert.addBindValue(stored);
    insert.addBindValue(1);
    insert.addBindValue(5);
    QVERIFY(insert.exec());
    const QVector<DBManager::User> users = DBManager::instance()->GetUsers();
    QCOMPARE(users.size(), 1);
    QCOMPARE(users[0].password, QString());
}

void TestStore::uploadsRoundTripPerAccount()
{
    DBManager* db = DBManager::instance();
    db->SetAccount(QStringLiteral("alice"));
    QVERIFY(db->AddUpload(MakeUpload(QStringLiteral("v1"), 10)));
    QVERIFY(db->AddUpload(MakeUpload(QStringLiteral("v2"), 30)));
    DBManager::Upload replaced = MakeUpload(QStringLiteral("v1"), 20);
    replaced.uploadBytes = 99;
    QVERIFY(db->AddUpload(replaced));

    db->SetAccount(QStringLiteral("bob"));
    QVERIFY(db->AddUpload(MakeUpload(QStringLiteral("v1"), 5)));  // same vid, other account
    QCOMPARE(db->GetUploads().size(), 1);

    db->SetAccount(QStringLiteral("alice"));
    const QVector<DBManager::Upload> uploads = db->GetUploads();
    QCOMPARE(uploads.size(), 2);
    QCOMPARE(uploads[0].vid, QStringLiteral("v2"));
    const DBManager::Upload& read = uploads[1];
    QCOMPARE(read.vid, replaced.vid);
    QCOMPARE(read.fileName, replaced.fileName);
    QCOMPARE(read.titleName, replaced.titleName);
    QCOMPARE(read.catePath, replaced.catePath);
    QCOMPARE(read.cateId, replaced.cateId);
    QCOMPARE(read.luping, 1);
    QCOMPARE(read.totalBytes, replaced.totalBytes);
    QCOMPARE(read.uploadBytes, quint64(99));
    QCOMPARE(read.updateTS, quint64(20));
    QCOMPARE(read.statusText, QString());

    QVERIFY(db->RemoveUpload(QStringLiteral("v1")));
    QCOMPARE(db->GetUploads().size(), 1);
    QVERIFY(db->RemoveAllUploads());
    QVERIFY(db->GetUploads().isEmpty());
    db->SetAccount(QStringLiteral("bob"));
    QCOMPARE(db->GetUploads().size(), 1);
}

void TestStore::historiesPagedPerAccount()
{
    DBManager* db = DBManager::instance();
    db->SetAccount(QStringLiteral("alice"));
    for (int i = 0; i < 45; ++i) {
        QVERIFY(db->AddHistory(MakeHistory(i), false));
    }
    db->SetAccount(QStringLiteral("bob"));
    QVERIFY(db->AddHistory(MakeHistory(100), false));

    db->SetAccount(QStringLiteral("alice"));
    QCOMPARE(db->GetHistoryCount(), 45);
    const QVector<DBManager::History> first = db->GetHistories(0, 20);
    const QVector<DBManager::History> second = db->GetHistories(1, 20);
    const QVector<DBManager::History> third = db->GetHistories(2, 20);
    QCOMPARE(first.size(), 20);
    QCOMPARE(second.size(), 20);
    QCOMPARE(third.size(), 5);
    QCOMPARE(first.first().vid, QStringLiteral("vid044"));
    QCOMPARE(first.last().vid, QStringLiteral("vid025"));
    QCOMPARE(second.first().vid, QStringLiteral("vid024"));
    QCOMPARE(third.last().vid, QStringLiteral("vid000"));
    QCOMPARE(third.last().fileSize, QStringLiteral("1.50 KB"));
}

void TestStore::historySignals()
{
    DBManager* db = DBManager::instance();
    QSignalSpy appended(db, &DBManager::SignalAppendHistory);
    QSignalSpy removed(db, &DBManager::SignalRemoveHistory);
    QSignalSpy cleared(db, &DBManager::SignalRemoveAllHistories);

    QVERIFY(db->AddHistory(MakeHistory(1), true));
    QVERIFY(db->AddHistory(MakeHistory(2), false));
    QCOMPARE(appended.size(), 1);
    QCOMPARE(appended.at(0).at(0).value<DBManager::History>().vid, QStringLiteral("vid001"));
    QVERIFY(db->RemoveHistory(QStringLiteral("vid001"), true));
    QVERIFY(db->RemoveHistory(QStringLiteral("vid002"), false));
    QCOMPARE(removed.size(), 1);
    QVERIFY(db->RemoveAllHistories(true));
    QCOMPARE(cleared.size(), 1);

    // A failing statement emits nothing.
    db->Close();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^failed to exec sql:")));
    QVERIFY(!db->AddHistory(MakeHistory(3), true));
    QCOMPARE(appended.size(), 1);
}

// The log moves into the database file on the checkpointer's thread while this thread keeps
// committing, and nothing committed is lost on the way.
void TestStore::checkpointsOffTheWritingThread()
{
    const QString path = dir->filePath(QStringLiteral("wal.db"));
    const QString name = QStringLiteral("wal-writer");
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(path);
        QVERIFY(database.open());
        QSqlQuery query(database);
        // This connection never checkpoints: only the checkpointer can make the file grow.
        for (const char* sql : {"PRAGMA journal_mode=WAL;", "PRAGMA wal_autocheckpoint=0;",
                                "CREATE TABLE t (n INTEGER, text TEXT);"}) {
            QVERIFY2(query.exec(QLatin1String(sql)), qPrintable(query.lastError().text()));
        }
        const qint64 emptySize = QFileInfo(path).size();
        WalCheckpointer checkpointer;
        checkpointer.Start(path, 20);
        const QString text(1000, QLatin1Char('x'));
        const auto insert = [&](int from, int to) {
            for (int n = from; n < to; ++n) {
                query.prepare(QStringLiteral("INSERT INTO t VALUES (?, ?);"));
                query.addBindValue(n);
                query.addBindValue(text);
                if (!query.exec()) {
                    return false;
                }
            }
            return true;
        };
        QVERIFY(insert(0, 300));
        QTRY_VERIFY2(QFileInfo(path).size() > emptySize + 200 * 1000,
                     qPrintable(QString::number(QFileInfo(path).size())));
        QVERIFY(insert(300, 400));
        checkpointer.Stop();
        QVERIFY(query.exec(QStringLiteral("SELECT count(*), sum(n) FROM t;")) && query.next());
        QCOMPARE(query.value(0).toInt(), 400);
        QCOMPARE(query.value(1).toInt(), 399 * 400 / 2);
    }
    QSqlDatabase::removeDatabase(name);
}

void TestStore::aesRoundTrip_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<int>("cipherSize");
    QTest::newRow("empty") << QByteArray() << 16;
    QTest::newRow("15") << QByteArray(15, 'a') << 16;
    QTest::newRow("16") << QByteArray(16, 'a') << 32;
    QTest::newRow("binary with zeros") << QByteArray("\0\x10\x10\0", 4) << 16;
    QTest::newRow("1 MiB") << QByteArray(1 << 20, '\x7f') << (1 << 20) + 16;
}

void TestStore::aesRoundTrip()
{
    QFETCH(QByteArray, plain);
    QFETCH(int, cipherSize);
    const QByteArray key(16, 'k');
    const QByteArray iv(16, 'i');
    const QByteArray cipher = AesCbc::Encrypt(plain, key, iv);
    QCOMPARE(cipher.size(), cipherSize);
    bool ok = false;
    QCOMPARE(AesCbc::Decrypt(cipher, key, iv, &ok), plain);
    QVERIFY(ok);
    // A wrong key or a short key never yields the plain text.
    const QByteArray wrong = AesCbc::Decrypt(cipher, QByteArray(16, 'x'), iv, &ok);
    QVERIFY(!ok || wrong != plain);
    QVERIFY(AesCbc::Encrypt(plain, QByteArray(15, 'k'), iv).isEmpty());
}

void TestStore::legacyImport_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("asInfo");
    QTest::addColumn<QStringList>("users");  // "account:password", sorted

    const QByteArray valid =
        R"([{"usrName":"a@x.com","usrPwd":"pw","isRemberPwd":true},{"usrName":"张三","usrPwd":"密码","isRemberPwd":1}])";
    const QStringList both{QStringLiteral("a@x.com:pw"), QStringLiteral("张三:密码")};
    QTest::newRow("users.json") << valid << false << both;
    QTest::newRow("info") << valid << true << both;
    QTest::newRow("corrupt") << QByteArray("[{\"usrName\":") << false << QStringList();
    QTest::newRow("duplicate keys")
        << QByteArray(R"([{"usrName":"a","usrName":"b","usrPwd":"p"}])") << false << QStringList();
    QTest::newRow("not an array") << QByteArray(R"({"usrName":"a"})") << true << QStringList();
}

void TestStore::legacyImport()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, asInfo);
    QFETCH(QStringList, users);

    QTemporaryDir appDir;
    const QString path =
        appDir.filePath(asInfo ? QStringLiteral("info") : QStringLiteral("users.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(asInfo ? LegacyAccountImporter::EncryptInfo(json.toBase64()) : json.toBase64());
    file.close();

    QCOMPARE(LegacyAccountImporter::ImportLegacyAccounts(appDir.path()), users.size());
    QVERIFY2(!QFile::exists(path), "the legacy file must be deleted, parsable or not");
    QStringList read;
    for (const DBManager::User& user : DBManager::instance()->GetUsers()) {
        read << user.account + QLatin1Char(':') + user.password;
        QCOMPARE(user.rememberPassword, user.account == QStringLiteral("a@x.com"));
    }
    read.sort();
    QCOMPARE(read, users);

    // Nothing left to import a second time.
    QCOMPARE(LegacyAccountImporter::ImportLegacyAccounts(appDir.path()), 0);
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
