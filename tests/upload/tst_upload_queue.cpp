// The upload queue with the real upload library against the devplatform: scheduling within
// the concurrency limit, start-all as retry-all, finishing into history, cancel, and restore
// after a restart. The library's own traffic limit keeps uploads running long enough to look
// at the queue. And the texts a task shows for the library's results.
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "api/ApiErrors.h"
#include "app/Config.h"
#include "common/DemoSeed.h"
#include "common/PlatformTestConfig.h"
#include "common/TestLiterals.h"
#include "store/DBManager.h"
#include "upload/SDKManager.h"
#include "upload/SDKUploadTask.h"

class TestUploadQueue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(!qEnvironmentVariableIsEmpty("KAVRO_PLATFORM_URL"));
        MakePlatformTestConfig(dir.filePath("global.ini"_s), this);  // owned by the test
        QVERIFY(DBManager::instance()->Open(dir.filePath("kvr-upload-client.db"_s)));
        DBManager::instance()->SetAccount(demo::kMainEmail);
        manager = SDKManager::instance();
    }

    void init()
    {
        QVERIFY(manager->Init(demo::kMainUserId, demo::kMainAppId, demo::kMainSecret));
        manager->SetAutoStart(true);
        manager->SetMaxTasks(3);
        // 4 uploads share 64 KB/s: each 1 MiB file takes far longer than any check below.
        manager->SetSpeedLimit(64);
    }

    void cleanup()
    {
        manager->Release();
        DBManager::instance()->RemoveAllUploads();
        DBManager::instance()->RemoveAllHistories(false);
    }

    void scheduledWithinLimit()
    {
        const QStringList added = AddFiles(5, 1 << 20);
        QCOMPARE(added.size(), 5);
        // Each addition runs the scheduler: the first three added start at once.
        QStringList firstThree = added.mid(0, 3);
        firstThree.sort();
        QCOMPARE(VidsWithStatus(Uploading), firstThree);
        QCOMPARE(VidsWithStatus(Waiting).size(), 2);

        // A freed slot goes to the waiting upload with the smaller vid.
        QStringList waiting = VidsWithStatus(Waiting);
        manager->StartTask(firstThree.first(), false);
        QCOMPARE(manager->Task(firstThree.first())->Status(), int(Paused));
        QVERIFY(VidsWithStatus(Uploading).contains(waiting.first()));
        QCOMPARE(VidsWithStatus(Waiting), QStringList{waiting.last()});

        // Lowering the limit sends the uploads with the smaller vids back to waiting.
        const QStringList uploading = VidsWithStatus(Uploading);
        waiting = VidsWithStatus(Waiting) + uploading.mid(0, 2);
        waiting.sort();
        manager->SetMaxTasks(1);
        QCOMPARE(VidsWithStatus(Uploading), uploading.mid(2));
        QCOMPARE(VidsWithStatus(Waiting), waiting);

        // Start-all after pause-all starts the uploads with the smaller vids up to the limit and
        // queues the rest; the overall status follows.
        manager->PauseAll();
        QCOMPARE(VidsWithStatus(Paused).size(), 5);
        QSignalSpy overall(manager, &SDKManager::SignalAllUploadStatus);
        manager->SetMaxTasks(2);
        manager->StartAll();
        QStringList all = added;
        all.sort();
        QCOMPARE(VidsWithStatus(Uploading), all.mid(0, 2));
        QCOMPARE(VidsWithStatus(Waiting), all.mid(2));
        QVERIFY(!overall.isEmpty());
        QCOMPARE(overall.last().at(0).toBool(), true);
        manager->PauseAll();
        QCOMPARE(overall.last().at(0).toBool(), false);
    }

    void pauseAndRetry_data()
    {
        QTest::addColumn<bool>("pauseAll");
        QTest::addColumn<bool>("limitFull");  // when the failed upload is retried
        QTest::newRow("pause one, retried into a free slot") << false << false;
        QTest::newRow("pause all, retried while the limit is full") << true << true;
    }

    // A pause ends the running transfer with the library's code 5: the task reports an empty
    // success and stays paused; it is neither failed nor given up its place in the queue.
    // Start-all is retry-all: a failed upload takes a free slot or waits for one
    // (docs/upload-engine.md).
    void pauseAndRetry()
    {
        QFETCH(bool, pauseAll);
        QFETCH(bool, limitFull);
        manager->SetMaxTasks(1);
        const QStringList added = AddFiles(1, 1 << 20);
        QCOMPARE(added.size(), 1);
        const SharedUploadTaskPtr task = manager->Task(added.first());
        QSignalSpy progress(task.data(), &SDKUploadTask::SignalProgress);
        QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty(), 20000);  // the transfer really runs

        QSignalSpy results(task.data(), &SDKUploadTask::SignalResult);
        QSignalSpy statuses(task.data(), &SDKUploadTask::SignalStatus);
        if (pauseAll) {
            manager->PauseAll();
        } else {
            manager->StartTask(task->Vid(), false);
        }
        QCOMPARE(task->Status(), int(Paused));
        QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, 20000);
        QCOMPARE(results.first().at(0).toBool(), true);
        QCOMPARE(results.first().at(1).toString(), QString());
        QTest::qWait(200);  // anything queued behind the result has arrived
        QCOMPARE(task->Status(), int(Paused));
        QCOMPARE(statuses.size(), 1);
        QCOMPARE(statuses.first().at(0).toInt(), int(Paused));
        QVERIFY(manager->HasTask(task->Vid()));
        QCOMPARE(DBManager::instance()->GetUploads().size(), 1);

        // Started again without its file, it fails.
        const QString path = task->Record().fileName;
        const QString aside = path + ".aside"_s;
        QVERIFY(QFile::rename(path, aside));
        manager->StartTask(task->Vid(), true);
        QTRY_COMPARE_WITH_TIMEOUT(task->Status(), int(Failed), 20000);
        QCOMPARE(results.size(), 2);
        QCOMPARE(results.last().at(0).toBool(), false);
        QCOMPARE(results.last().at(1).toString(), "SdkCodeMsg.NoFile"_s);
        QVERIFY(QFile::rename(aside, path));

        SharedUploadTaskPtr other;
        if (limitFull) {
            const QStringList more = AddFiles(1, 1 << 20);
            QCOMPARE(more.size(), 1);
            other = manager->Task(more.first());
            QCOMPARE(other->Status(), int(Uploading));
        }
        manager->StartAll();
        QCOMPARE(task->Status(), int(limitFull ? Waiting : Uploading));
        if (other) {
            QCOMPARE(other->Status(), int(Uploading));
            // The slot the other upload frees goes to the retried one.
            manager->StartTask(other->Vid(), false);
            QCOMPARE(task->Status(), int(Uploading));
        }
    }

    void queuedVidIsRefused_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<bool>("sameString");
        QTest::newRow("same path") << "%1/%2"_s << true;
        QTest::newRow("dot segment") << "%1/./%2"_s << false;
        QTest::newRow("double slash") << "%1//%2"_s << false;
        QTest::newRow("parent segment") << "%1/sub/../%2"_s << false;
    }

    // The same file again while it uploads, by the same or another path string: nothing is added
    // and the running upload goes on to its end undisturbed.
    void queuedVidIsRefused()
    {
        QFETCH(QString, alias);
        QFETCH(bool, sameString);
        QVERIFY(QDir(dir.path()).mkpath("sub"_s));
        const QString name = "twice-%1.mp4"_s.arg(++fileCounter);
        const QString path = MakeFile(name, 1 << 20);
        QVERIFY(manager->AddUpload(7, path, QString(), QString(), QString(), "Root"_s, 0, 0));
        QCOMPARE(manager->TaskCount(), 1);
        const QString vid = DBManager::instance()->GetUploads().value(0).vid;
        const SharedUploadTaskPtr task = manager->Task(vid);
        QVERIFY(task);
        QSignalSpy progress(task.data(), &SDKUploadTask::SignalProgress);
        QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty(), 20000);

        QSignalSpy exists(manager, &SDKManager::SignalExistUpload);
        QSignalSpy appended(manager, &SDKManager::SignalAppendUpload);
        const bool added = manager->AddUpload(7, alias.arg(dir.path(), name), QString(), QString(),
                                              QString(), "Root"_s, 0, 0);
        QCOMPARE(added, sameString);  // the same string is "already there", another is refused
        QCOMPARE(exists.size(), sameString ? 1 : 0);
        QVERIFY(appended.isEmpty());
        QCOMPARE(manager->TaskCount(), 1);
        QCOMPARE(manager->Task(vid), task);
        QCOMPARE(task->Status(), int(Uploading));
        QCOMPARE(DBManager::instance()->GetUploads().size(), 1);

        QSignalSpy removed(manager, &SDKManager::SignalRemoveUpload);
        QSignalSpy results(task.data(), &SDKUploadTask::SignalResult);
        manager->SetSpeedLimit(0);
        QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 1, 30000);
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.first().at(0).toBool(), true);
        QCOMPARE(results.first().at(1).toString(), "UploadSuccess"_s);
    }

    void finishedUploadMovesToHistory()
    {
        manager->SetSpeedLimit(0);
        QSignalSpy removed(manager, &SDKManager::SignalRemoveUpload);
        QSignalSpy history(DBManager::instance(), &DBManager::SignalAppendHistory);
        const QStringList added = AddFiles(1, 300 * 1024 + 17);
        QCOMPARE(added.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 1, 30000);
        QCOMPARE(removed.first().at(0).toString(), added.first());
        QVERIFY(!manager->HasTask(added.first()));
        QVERIFY(DBManager::instance()->GetUploads().isEmpty());
        QCOMPARE(history.size(), 1);
        const DBManager::History row = DBManager::instance()->GetHistories(0, 20).value(0);
        QCOMPARE(row.vid, added.first());
        QCOMPARE(row.fileStatus, "UploadSuccess"_s);
        QCOMPARE(row.fileSize, "300.02 KB"_s);
        QVERIFY(row.titleName.startsWith("video-"_s));

        // The same file into the same category again: the platform already holds it complete.
        const QString path = dir.filePath("video-%1.mp4"_s.arg(fileCounter));
        QVERIFY(manager->AddUpload(1, path, "again"_s, QString(), QString(), "Root"_s, 0, 0));
        QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 2, 30000);
        QCOMPARE(removed.last().at(0).toString(), added.first());
        const DBManager::History again = DBManager::instance()->GetHistories(0, 20).value(0);
        QCOMPARE(again.vid, added.first());
        QCOMPARE(again.fileStatus, "SecondPass"_s);
        QCOMPARE(again.titleName, "again"_s);
        QCOMPARE(DBManager::instance()->GetHistoryCount(), 1);
    }

    void cancelRemovesTaskAndRecord()
    {
        const QStringList added = AddFiles(2, 1 << 20);
        QSignalSpy removed(manager, &SDKManager::SignalRemoveUpload);
        manager->DeleteTask(added.first());
        manager->DeleteTask(added.first());  // a delete in flight: nothing more happens
        QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!manager->HasTask(added.first()), 5000);
        QCOMPARE(DBManager::instance()->GetUploads().size(), 1);
        QCOMPARE(DBManager::instance()->GetUploads().first().vid, added.last());
        QCOMPARE(removed.size(), 1);
    }

    void restoreAfterRestart_data()
    {
        QTest::addColumn<bool>("autoStart");
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("expectedStatus");
        QTest::addColumn<QString>("expectedError");
        QTest::newRow("auto start") << true << QString() << int(Uploading) << QString();
        QTest::newRow("no auto start") << false << QString() << int(Stopped) << QString();
        QTest::newRow("changed file") << true << "append"_s << int(Invalid) << "FileChanage"_s;
        QTest::newRow("deleted file") << true << "remove"_s << int(Invalid) << "FileNoExist"_s;
    }

    void restoreAfterRestart()
    {
        QFETCH(bool, autoStart);
        QFETCH(QString, change);
        QFETCH(int, expectedStatus);

        const QStringList added = AddFiles(1, 1 << 20);
        QCOMPARE(added.size(), 1);
        const QString path = manager->Task(added.first())->Record().fileName;
        // A restart: the library and the queue go, the records stay.
        manager->Release();
        QVERIFY(manager->Init(demo::kMainUserId, demo::kMainAppId, demo::kMainSecret));
        manager->SetSpeedLimit(64);
        QCOMPARE(manager->TaskCount(), 0);

        if (change == "append"_s) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            file.write("more");
        } else if (change == "remove"_s) {
            QVERIFY(QFile::remove(path));
        }
        manager->SetAutoStart(autoStart);
        QSignalSpy appended(manager, &SDKManager::SignalAppendUpload);
        manager->LoadUploads();
        QCOMPARE(appended.size(), 1);
        const SharedUploadTaskPtr task = manager->Task(added.first());
        QVERIFY(task);
        QCOMPARE(task->Status(), expectedStatus);
        QTEST(task->ErrorText(), "expectedError");
        // Invalid is final: start-all leaves it alone.
        manager->StartAll();
        if (expectedStatus == Invalid) {
            QCOMPARE(task->Status(), int(Invalid));
        }
    }

    void resultText_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expected");

        QTest::newRow("missing file") << 2 << "whatever"_s
                                      << "SdkCodeMsg.NoFile"_s;
        QTest::newRow("empty file") << 4 << QString() << "SdkCodeMsg.FileEmpty"_s;
        QTest::newRow("unreadable") << 10 << QString() << "SdkCodeMsg.OpenFileError"_s;
        QTest::newRow("no space") << 102 << QString() << "SdkCodeMsg.NoSpace"_s;
        QTest::newRow("crc") << 19 << "crc differs"_s
                             << "CRC64 Check Error"_s;
        QTest::newRow("connect timeout, any case")
            << 8 << "retries exhausted: connectiontimeout after 30 s"_s
            << "SdkCodeMsg.ConnectionTimeout"_s;
        QTest::newRow("first row wins") << 8 << "SocketTimeout then RequestTimeout"_s
                                        << "SdkCodeMsg.RequestTimeout"_s;
        QTest::newRow("parse error") << 9 << "http response parse error: body"_s
                                     << "SdkCodeMsg.HttpResponse"_s;
        QTest::newRow("unmapped message kept") << 8 << "proxy refused"_s
                                               << "proxy refused"_s;
        QTest::newRow("platform code with text")
            << 113 + 410 << QString() << ApiCollection::errorCodeString(410);
        QTest::newRow("platform code without text, empty message")
            << 113 + 9999 << QString() << "ErrorCodeString.OtherError, code:9999"_s;
        QTest::newRow("platform code without text, message") << 113 + 9999 << "refused"_s
                                                             << "refused"_s;
    }

    // The text of a library result code and message (pure, no upload).
    void resultText()
    {
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(QString, expected);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(SDKUploadTask::ResultText(code, message), expected);
    }

private:
    QString MakeFile(const QString& name, int size)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return QString();
        }
        QByteArray data(size, 'k');
        // Distinct content per file, so that no two files are one video to the platform.
        data.replace(0, name.size(), name.toUtf8());
        file.write(data);
        return path;
    }

    QStringList AddFiles(int count, int size)
    {
        QStringList vids;
        QSignalSpy appended(manager, &SDKManager::SignalAppendUpload);
        for (int i = 0; i < count; ++i) {
            const QString path = MakeFile("video-%1.mp4"_s.arg(++fileCounter), size);
            if (!manager->AddUpload(1, path, QString(), "desc"_s, "tag"_s, "Root"_s, 0, 0)) {
                return {};
            }
        }
        for (const QList<QVariant>& call : qAsConst(appended)) {
            vids << call.at(1).value<DBManager::Upload>().vid;
        }
        return vids;
    }

    QStringList VidsWithStatus(int status) const
    {
        QStringList vids;
        for (const DBManager::Upload& upload : DBManager::instance()->GetUploads()) {
            const SharedUploadTaskPtr task = manager->Task(upload.vid);
            if (task && task->Status() == status) {
                vids << upload.vid;
            }
        }
        vids.sort();
        return vids;
    }

    QTemporaryDir dir;
    SDKManager* manager = nullptr;
    int fileCounter = 0;
};

QTEST_GUILESS_MAIN(TestUploadQueue)
#include "tst_upload_queue.moc"
