// The devplatform keeps the MD5 and CRC-64 of an unfinished upload with the upload: after a
// kill -9 and a restart on the same data folder it continues both from the stored state, over
// only the bytes written after that state, and a finished upload needs no pass over its file.
// The test runs its own server (the fixture's cannot be restarted).
#include <curl/curl.h>

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "PlatformClient.h"
#include "common/DemoSeed.h"
#include "common/TestLiterals.h"

class TestDevplatformRestart : public QObject
{
    Q_OBJECT

private:
    // Starts the server on the data folder; the client follows its new address.
    bool StartServer()
    {
        server_.setProgram(qEnvironmentVariable("KAVRO_STAGE_DIR") + "/kavro-devplatform"_s);
        server_.setArguments({"--port"_s, "0"_s, "--data"_s, dir_.filePath("data"_s), "--cert"_s,
                              dir_.filePath("server.pem"_s), "--key"_s,
                              dir_.filePath("server.key"_s), "--seed"_s, "demo"_s});
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start();
        if (!server_.waitForStarted(10000)) {
            return false;
        }
        while (!server_.canReadLine() && server_.waitForReadyRead(30000)) {
        }
        const QByteArray port = server_.readLine().trimmed();
        if (port.isEmpty()) {
            return false;
        }
        qputenv("KAVRO_PLATFORM_URL", "https://127.0.0.1:" + port);
        client_ = std::make_unique<PlatformClient>();
        return true;
    }

    void KillServer()
    {
        server_.kill();  // SIGKILL: nothing is saved on the way out
        server_.waitForFinished(10000);
    }

    QString UploadFile(const QString& path) const
    {
        return dir_.filePath("data/uploads/"_s) + path.section(QLatin1Char('/'), -1) + ".bin"_s;
    }

    QString StoredMd5(const QString& path) const
    {
        QString md5;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE"_s, "restart-test"_s);
            db.setDatabaseName(dir_.filePath("data/devplatform.db"_s));
            if (db.open()) {
                QSqlQuery q(db);
                q.prepare("SELECT md5 FROM uploads WHERE upload_id = ?"_s);
                q.addBindValue(path.section(QLatin1Char('/'), -1));
                if (q.exec() && q.next()) {
                    md5 = q.value(0).toString();
                }
            }
        }
        QSqlDatabase::removeDatabase("restart-test"_s);
        return md5;
    }

    QTemporaryDir dir_;
    QProcess server_;
    std::unique_ptr<PlatformClient> client_;

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        curl_global_init(CURL_GLOBAL_DEFAULT);
        QCOMPARE(QProcess::execute(
                     qEnvironmentVariable("KAVRO_SOURCE_DIR") + "/devplatform/scripts/make-certs"_s,
                     {dir_.path()}),
                 0);
        qputenv("KAVRO_TEST_CACERT", dir_.filePath("ca.pem"_s).toUtf8());
    }

    void cleanup() { KillServer(); }

    void hashesSurviveRestart_data()
    {
        QTest::addColumn<int>("firstPart");
        QTest::addColumn<bool>("killMidBody");
        // A whole PATCH before the kill: its end stored the hashes. A PATCH broken by the kill
        // after more than 64 MiB: the hashes stored while it streamed cover less than the file
        // holds, and the rest is hashed from the file after the restart.
        QTest::newRow("after a PATCH") << 3 * 1024 * 1024 + 17 << false;
        QTest::newRow("killed inside a PATCH") << 0 << true;
    }

    void hashesSurviveRestart()
    {
        QFETCH(int, firstPart);
        QFETCH(bool, killMidBody);
        QByteArray data(killMidBody ? 80 * 1024 * 1024 : 6 * 1024 * 1024 + 5, Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i) {
            data[i] = char((unsigned(i) * 131u + 7u) ^ (unsigned(i) >> 9));
        }
        QVERIFY(StartServer());
        const HttpReply created =
            client_->TusCreate(data.size(), {{"vid"_s, PlatformClient::NewVid("restart")}});
        QCOMPARE(created.status, 201L);
        const QString path = PlatformClient::PathOf(QString::fromUtf8(created.Header("Location")));

        qint64 held = 0;
        if (killMidBody) {
            // The body is sent by a second process so that the server dies under it.
            QFile body(dir_.filePath("body.bin"_s));
            QVERIFY(body.open(QIODevice::WriteOnly));
            body.write(data);
            body.close();
            QProcess sender;
            QStringList args = "-sS -X PATCH --limit-rate 40M -H Expect:"_s.split(QLatin1Char(' '));
            args << "--cacert"_s << dir_.filePath("ca.pem"_s) << "-T"_s << body.fileName();
            args << "-H"_s
                 << "Content-Type: application/offset+octet-stream"_s;
            // The signing headers, Upload-Offset among them.
            for (const auto& [name, value] : PlatformClient::TusHeaders(
                     "PATCH", path, demo::kMainAppId, demo::kMainSecret, "0")) {
                args << "-H"_s << QString::fromLatin1(name) + ": "_s + QString::fromLatin1(value);
            }
            args << client_->BaseUrl() + path;
            sender.start("curl"_s, args);
            QVERIFY(sender.waitForStarted());
            // Past the first stored state (64 MiB), short of the end.
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(UploadFile(path)).size() >= 70 * 1024 * 1024, 60000);
            KillServer();
            sender.waitForFinished(10000);
            held = QFileInfo(UploadFile(path)).size();
            QVERIFY(held < data.size());
        } else {
            QCOMPARE(client_->TusPatch(path, 0, data.left(firstPart)).status, 204L);
            KillServer();
            held = firstPart;
        }
        // The stored state covers the first bytes: the server must not read them again, so a
        // change of the first byte on the disk goes unnoticed (here, and only here, on purpose).
        {
            QFile stored(UploadFile(path));
            QVERIFY(stored.open(QIODevice::ReadWrite));
            QCOMPARE(stored.write(QByteArray(1, char(~data.at(0)))), qint64(1));
        }

        QVERIFY(StartServer());
        const HttpReply head = client_->TusHead(path);
        QCOMPARE(head.status, 200L);
        QCOMPARE(head.Header("Upload-Offset").toLongLong(), held);
        QCOMPARE(head.Header("Kvr-Crc64").toULongLong(), PlatformClient::Crc64(data.left(held)));

        const HttpReply last = client_->TusPatch(path, held, data.mid(held));
        QCOMPARE(last.status, 204L);
        QCOMPARE(last.Header("Kvr-Crc64").toULongLong(), PlatformClient::Crc64(data));
        QCOMPARE(
            StoredMd5(path),
            QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex()));
    }
};

QTEST_GUILESS_MAIN(TestDevplatformRestart)
#include "tst_devplatform_restart.moc"
