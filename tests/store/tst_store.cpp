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
#include "common/TestLiterals.h"
#include "store/AesCbc.h"
#include "store/DBManager.h"
#include "store/WalCheckpointer.h"

namespace {

DBManager::Upload MakeUpload(const QString& vid, quint64 updateTS)
{
    DBManager::Upload upload;
    upload.vid = vid;
    upload.fileName = "/videos/课程 %1.mp4"_s.arg(vid);
    upload.titleName = "标题 "_s + vid;
    upload.catePath = "Root/Sub"_s;
    upload.cateId = 1234567890123LL;
    upload.luping = 1;
    upload.totalBytes = (quint64(5) << 40) + 7;
    upload.uploadBytes = (quint64(3) << 32) + 1;
    upload.updateTS = updateTS;
    upload.statusText = "never stored"_s;
    return upload;
}

DBManager::History MakeHistory(int n)
{
    DBManager::History history;
    history.vid = "vid%1"_s.arg(n, 3, 10, QLatin1Char('0'));
    history.fileName = "file%1"_s.arg(n);
    history.titleName = "title%1"_s.arg(n);
    history.fileSize = "1.50 KB"_s;
    history.fileStatus = "UploadSuccess"_s;
    history.updateTS = 1000 + quint64(n);
    return history;
}

}  // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dir.reset(new QTemporaryDir);
        QVERIFY(DBManager::instance()->Open(dir->filePath("kvr-upload-client.db"_s)));
        DBManager::instance()->SetAccount(QString());
    }

    void cleanup()
    {
        DBManager::Destroy();
        dir.reset();
    }

    void schema()
    {
        QSqlQuery query(
            "SELECT name FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' ORDER BY name"_s);
        QStringList names;
        while (query.next()) {
            names << query.value(0).toString();
        }
        // The primary key's effect, one user per account, is usersNewestFirstAndReplaced's; the
        // indexes only speed up the per-account reads.
        QCOMPARE(names, (QStringList{"KVRHistoryRecord"_s, "KVRUploadRecord"_s, "KVRUser"_s,
                                     "idx_history"_s, "idx_record"_s}));
    }

    void damagedFileMovedAside_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("movedAside");
        QTest::newRow("sound file") << QString() << false;
        QTest::newRow("not a database") << "text"_s << true;
        QTest::newRow("overwritten pages") << "pages"_s << true;
        QTest::newRow("a folder") << "folder"_s << true;
    }

    // A file that cannot be opened or read is moved aside with its bytes, and a fresh database
    // takes its place; a sound file is used as it is.
    void damagedFileMovedAside()
    {
        QFETCH(QString, damage);
        QFETCH(bool, movedAside);
        const QString path = dir->filePath("kvr-upload-client.db"_s);
        DBManager* db = DBManager::instance();
        for (int i = 0; i < 200; ++i) {
            QVERIFY(db->AddHistory(MakeHistory(i), false));
        }
        QVERIFY(db->AddUser({"old@x.com"_s, "pw"_s, true, 1}));
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
            QVERIFY(QDir().mkpath(path + "/inside"_s));
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
                                      .entryList({"kvr-upload-client.db.damaged-*"_s},
                                                 QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        if (!movedAside) {
            QVERIFY(db->DamagedFilePath().isEmpty());
            QVERIFY(aside.isEmpty());
            QCOMPARE(db->GetHistoryCount(), 200);
            QCOMPARE(db->GetUsers().value(0).password, "pw"_s);
            return;
        }
        QCOMPARE(aside.size(), 1);
        QVERIFY2(QRegularExpression("^kvr-upload-client\\.db\\.damaged-\\d{4}(-\\d\\d){5}$"_s)
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
        QVERIFY(db->AddUser({"new@x.com"_s, "pw"_s, true, 2}));
        QVERIFY(db->AddHistory(MakeHistory(1), false));
        QCOMPARE(db->GetUsers().value(0).account, "new@x.com"_s);
        QCOMPARE(db->GetHistoryCount(), 1);
    }

    void usersNewestFirstAndReplaced()
    {
        DBManager* db = DBManager::instance();
        QVERIFY(db->AddUser({"a@x.com"_s, "pw1"_s, true, 100}));
        QVERIFY(db->AddUser({"b@x.com"_s, QString(), false, 300}));
        QVERIFY(db->AddUser({"a@x.com"_s, "pw2"_s, true, 200}));

        const QVector<DBManager::User> users = db->GetUsers();
        QCOMPARE(users.size(), 2);
        QCOMPARE(users[0].account, "b@x.com"_s);
        QCOMPARE(users[1].account, "a@x.com"_s);
        QCOMPARE(users[1].password, "pw2"_s);
        QCOMPARE(users[1].updateTS, qint64(200));

        QSqlQuery raw("SELECT password, rememberPassword FROM KVRUser WHERE account = 'b@x.com'"_s);
        QVERIFY(raw.next());
        QCOMPARE(raw.value(0).toString(), QString());
        QCOMPARE(raw.value(1).toInt(), 0);

        QVERIFY(db->RemoveUser("b@x.com"_s));
        QCOMPARE(db->GetUsers().size(), 1);
        QVERIFY(db->RemoveAllUsers());
        QVERIFY(db->GetUsers().isEmpty());
    }

    void passwordProtection_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("base64Length");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("1 byte") << "x"_s << 24;
        QTest::newRow("15 bytes") << "123456789012345"_s << 24;
        QTest::newRow("16 bytes") << "1234567890123456"_s << 44;
        QTest::newRow("17 bytes") << "12345678901234567"_s << 44;
        QTest::newRow("chinese 5x3 bytes") << "密码测试中"_s << 24;
        QTest::newRow("astral") << "p\U0001F511"_s << 24;
    }

    void passwordProtection()
    {
        QFETCH(QString, password);
        const QString stored = DBManager::ProtectPassword(password);
        QTEST(stored.size(), "base64Length");
        QVERIFY(password.isEmpty() || !stored.contains(password));
        QCOMPARE(DBManager::UnprotectPassword(stored), password);

        DBManager* db = DBManager::instance();
        QVERIFY(db->AddUser({"u"_s, password, true, 1}));
        QCOMPARE(db->GetUsers().value(0).password, password);
    }

    void corruptStoredPassword_data()
    {
        QTest::addColumn<QString>("stored");
        const QString good = DBManager::ProtectPassword("secret"_s);
        const QByteArray cipher = QByteArray::fromBase64(good.toLatin1());
        QTest::newRow("not base64") << "@@@not*base64@@@"_s;
        QTest::newRow("15 bytes") << QString::fromLatin1(cipher.left(15).toBase64());
        QTest::newRow("17 bytes") << QString::fromLatin1((cipher + "x").toBase64());
        QByteArray flipped = cipher;
        flipped[15] = static_cast<char>(flipped[15] ^ 0x55);  // garbles the padding byte
        QTest::newRow("bad padding") << QString::fromLatin1(flipped.toBase64());
        QTest::newRow("zeros") << QString::fromLatin1(QByteArray(32, '\0').toBase64());
    }

    void corruptStoredPassword()
    {
        QFETCH(QString, stored);
        QSqlQuery insert;
        QVERIFY(insert.prepare("INSERT INTO KVRUser VALUES(?,?,?,?)"_s));
        insert.addBindValue("corrupt"_s);
        insert.addBindValue(stored);
        insert.addBindValue(1);
        insert.addBindValue(5);
        QVERIFY(insert.exec());
        const QVector<DBManager::User> users = DBManager::instance()->GetUsers();
        QCOMPARE(users.size(), 1);
        QCOMPARE(users[0].password, QString());
    }

    void uploadsRoundTripPerAccount()
    {
        DBManager* db = DBManager::instance();
        db->SetAccount("alice"_s);
        QVERIFY(db->AddUpload(MakeUpload("v1"_s, 10)));
        QVERIFY(db->AddUpload(MakeUpload("v2"_s, 30)));
        DBManager::Upload replaced = MakeUpload("v1"_s, 20);
        replaced.uploadBytes = 99;
        QVERIFY(db->AddUpload(replaced));

        db->SetAccount("bob"_s);
        QVERIFY(db->AddUpload(MakeUpload("v1"_s, 5)));  // same vid, other account
        QCOMPARE(db->GetUploads().size(), 1);

        db->SetAccount("alice"_s);
        const QVector<DBManager::Upload> uploads = db->GetUploads();
        QCOMPARE(uploads.size(), 2);
        QCOMPARE(uploads[0].vid, "v2"_s);
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

        QVERIFY(db->RemoveUpload("v1"_s));
        QCOMPARE(db->GetUploads().size(), 1);
        QVERIFY(db->RemoveAllUploads());
        QVERIFY(db->GetUploads().isEmpty());
        db->SetAccount("bob"_s);
        QCOMPARE(db->GetUploads().size(), 1);
    }

    // Histories are kept per account and read in pages, newest first. A change emits its signal
    // only when asked to, and a failing statement emits nothing.
    void historiesPagedPerAccount()
    {
        DBManager* db = DBManager::instance();
        QSignalSpy appended(db, &DBManager::SignalAppendHistory);
        QSignalSpy removed(db, &DBManager::SignalRemoveHistory);
        QSignalSpy cleared(db, &DBManager::SignalRemoveAllHistories);
        db->SetAccount("alice"_s);
        for (int i = 0; i < 45; ++i) {
            QVERIFY(db->AddHistory(MakeHistory(i), i == 44));
        }
        QCOMPARE(appended.size(), 1);
        QCOMPARE(appended.at(0).at(0).value<DBManager::History>().vid, "vid044"_s);
        db->SetAccount("bob"_s);
        QVERIFY(db->AddHistory(MakeHistory(100), false));

        db->SetAccount("alice"_s);
        QCOMPARE(db->GetHistoryCount(), 45);
        const QVector<DBManager::History> first = db->GetHistories(0, 20);
        const QVector<DBManager::History> second = db->GetHistories(1, 20);
        const QVector<DBManager::History> third = db->GetHistories(2, 20);
        QCOMPARE(first.size(), 20);
        QCOMPARE(second.size(), 20);
        QCOMPARE(third.size(), 5);
        QCOMPARE(first.first().vid, "vid044"_s);
        QCOMPARE(first.last().vid, "vid025"_s);
        QCOMPARE(second.first().vid, "vid024"_s);
        QCOMPARE(third.last().vid, "vid000"_s);
        QCOMPARE(third.last().fileSize, "1.50 KB"_s);

        QVERIFY(db->RemoveHistory("vid044"_s, true));
        QVERIFY(db->RemoveHistory("vid043"_s, false));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(db->GetHistoryCount(), 43);
        QVERIFY(db->RemoveAllHistories(true));
        QCOMPARE(cleared.size(), 1);

        db->Close();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^failed to exec sql:"_s));
        QVERIFY(!db->AddHistory(MakeHistory(3), true));
        QCOMPARE(appended.size(), 1);
    }

    // The log moves into the database file on the checkpointer's thread while this thread
    // keeps committing, and nothing committed is lost on the way.
    void checkpointsOffTheWritingThread()
    {
        const QString path = dir->filePath("wal.db"_s);
        const QString name = "wal-writer"_s;
        {
            QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE"_s, name);
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
                    query.prepare("INSERT INTO t VALUES (?, ?);"_s);
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
            QVERIFY(query.exec("SELECT count(*), sum(n) FROM t;"_s) && query.next());
            QCOMPARE(query.value(0).toInt(), 400);
            QCOMPARE(query.value(1).toInt(), 399 * 400 / 2);
        }
        QSqlDatabase::removeDatabase(name);
    }

    void aesRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<int>("cipherSize");
        QTest::newRow("empty") << QByteArray() << 16;
        QTest::newRow("15") << QByteArray(15, 'a') << 16;
        QTest::newRow("16") << QByteArray(16, 'a') << 32;
        QTest::newRow("binary with zeros") << QByteArray("\0\x10\x10\0", 4) << 16;
        QTest::newRow("1 MiB") << QByteArray(1 << 20, '\x7f') << (1 << 20) + 16;
    }

    void aesRoundTrip()
    {
        QFETCH(QByteArray, plain);
        const QByteArray key(16, 'k');
        const QByteArray iv(16, 'i');
        const QByteArray cipher = AesCbc::Encrypt(plain, key, iv);
        QTEST(cipher.size(), "cipherSize");
        bool ok = false;
        QCOMPARE(AesCbc::Decrypt(cipher, key, iv, &ok), plain);
        QVERIFY(ok);
        // A wrong key or a short key never yields the plain text.
        const QByteArray wrong = AesCbc::Decrypt(cipher, QByteArray(16, 'x'), iv, &ok);
        QVERIFY(!ok || wrong != plain);
        QVERIFY(AesCbc::Encrypt(plain, QByteArray(15, 'k'), iv).isEmpty());
    }

    void legacyImport_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("asInfo");
        QTest::addColumn<QStringList>("users");  // "account:password", sorted

        const QByteArray valid =
            R"([{"usrName":"a@x.com","usrPwd":"pw","isRemberPwd":true},{"usrName":"张三","usrPwd":"密码","isRemberPwd":1}])";
        const QStringList both{"a@x.com:pw"_s, "张三:密码"_s};
        QTest::newRow("users.json") << valid << false << both;
        QTest::newRow("info") << valid << true << both;
        QTest::newRow("corrupt") << QByteArray("[{\"usrName\":") << false << QStringList();
        QTest::newRow("duplicate keys")
            << QByteArray(R"([{"usrName":"a","usrName":"b","usrPwd":"p"}])") << false
            << QStringList();
        QTest::newRow("not an array") << QByteArray(R"({"usrName":"a"})") << true << QStringList();
    }

    void legacyImport()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, asInfo);
        QFETCH(QStringList, users);

        QTemporaryDir appDir;
        const QString path = appDir.filePath(asInfo ? "info"_s : "users.json"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(asInfo ? LegacyAccountImporter::EncryptInfo(json.toBase64()) : json.toBase64());
        file.close();

        QCOMPARE(LegacyAccountImporter::ImportLegacyAccounts(appDir.path()), users.size());
        QVERIFY2(!QFile::exists(path), "the legacy file must be deleted, parsable or not");
        QStringList read;
        for (const DBManager::User& user : DBManager::instance()->GetUsers()) {
            read << user.account + QLatin1Char(':') + user.password;
            QCOMPARE(user.rememberPassword, user.account == "a@x.com"_s);
        }
        read.sort();
        QCOMPARE(read, users);

        // Nothing left to import a second time.
        QCOMPARE(LegacyAccountImporter::ImportLegacyAccounts(appDir.path()), 0);
    }

private:
    QScopedPointer<QTemporaryDir> dir;
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
