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
#include "store/DBManager.h"
#include "upload/SDKManager.h"
#include "upload/SDKUploadTask.h"

class TestUploadQueue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void scheduledWithinLimit();
    void startAllStartsUpToLimitAndQueuesRest();
    void startAllRequeuesFailed_data();
    void startAllRequeuesFailed();
    void pauseEndsWithEmptySuccess_data();
    void pauseEndsWithEmptySuccess();
    void queuedVidIsRefused_data();
    void queuedVidIsRefused();
    void finishedUploadMovesToHistory();
    void cancelRemovesTaskAndRecord();
    void restoreAfterRestart_data();
    void restoreAfterRestart();
    void resultText_data();
    void resultText();

private:
    QString MakeFile(const QString& name, int size, char fill = 'k');
    QStringList AddFiles(int count, int size);
    QStringList VidsWithStatus(int status) const;
    void Restart();

    QTemporaryDir dir;
    Config* config = nullptr;
    SDKManager* manager = nullptr;
    int fileCounter = 0;
};

void TestUploadQueue::initTestCase()
{
    QVERIFY(!qEnvironmentVariableIsEmpty("KAVRO_PLATFORM_URL"));
    config = MakePlatformTestConfig(dir.filePath(QStringLiteral("global.ini")), this);
    QVERIFY(DBManager::instance()->Open(dir.filePath(QStringLiteral("kvr-upload-client.db"))));
    DBManager::instance()->SetAccount(demo::kMainEmail);
    manager = SDKManager::instance();
}

void TestUploadQueue::init()
{
    QVERIFY(manager->Init(demo::kMainUserId, demo::kMainAppId, demo::kMainSecret));
    manager->SetAutoStart(true);
    manager->SetMaxTasks(3);
    // 4 uploads share 64 KB/s: each 1 MiB file takes far longer than any check below.
    manager->SetSpeedLimit(64);
}

void TestUploadQueue::cleanup()
{
    manager->Release();
    DBManager::instance()->RemoveAllUploads();
    DBManager::instance()->RemoveAllHistories(false);
}

QString TestUploadQueue::MakeFile(const QString& name, int size, char fill)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return QString();
    }
    QByteArray data(size, fill);
    // Distinct content per file, so that no two files are one video to the platform.
    data.replace(0, name.size(), name.toUtf8());
    file.write(data);
    return path;
}

QStringList TestUploadQueue::AddFiles(int count, int size)
{
    QStringList vids;
    QSignalSpy appended(manager, &SDKManager::SignalAppendUpload);
    for (int i = 0; i < count; ++i) {
        const QString path = MakeFile(QStringLiteral("video-%1.mp4").arg(++fileCounter), size);
        if (!manager->AddUpload(1, path, QString(), QStringLiteral("desc"), QStringLiteral("tag"),
                                QStringLiteral("Root"), 0, 0)) {
            return {};
        }
    }
    for (const QList<QVariant>& call : qAsConst(appended)) {
        vids << call.at(1).value<DBManager::Upload>().vid;
    }
    return vids;
}

QStringList TestUploadQueue::VidsWithStatus(int status) const
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

void TestUploadQueue::Restart()
{
    manager->Release();
    QVERIFY(manager->Init(demo::kMainUserId, demo::kMainAppId, demo::kMainSecret));
    manager->SetSpeedLimit(64);
}

void TestUploadQueue::scheduledWithinLimit()
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
}

void TestUploadQueue::startAllStartsUpToLimitAndQueuesRest()
{
    QStringList added = AddFiles(4, 1 << 20);
    manager->PauseAll();
    QCOMPARE(VidsWithStatus(Paused).size(), 4);
    QSignalSpy overall(manager, &SDKManager::SignalAllUploadStatus);
    manager->SetMaxTasks(2);
    manager->StartAll();
    added.sort();
    QCOMPARE(VidsWithStatus(Uploading), added.mid(0, 2));
    QCOMPARE(VidsWithStatus(Waiting), added.mid(2, 2));
    QVERIFY(!overall.isEmpty());
    QCOMPARE(overall.last().at(0).toBool(), true);

    manager->PauseAll();
    QCOMPARE(overall.last().at(0).toBool(), false);
}

void TestUploadQueue::startAllRequeuesFailed_data()
{
    QTest::addColumn<bool>("limitFull");
    QTest::newRow("free slot: starts") << false;
    QTest::newRow("limit full: waits") << true;
}

// Start-all is retry-all: a failed upload takes a free slot or waits for one
// (docs/upload-engine.md).
void TestUploadQueue::startAllRequeuesFailed()
{
    QFETCH(bool, limitFull);
    manager->SetMaxTasks(1);
    const QStringList added = AddFiles(1, 1 << 20);
    QCOMPARE(added.size(), 1);
    const SharedUploadTaskPtr task = manager->Task(added.first());
    manager->PauseAll();
    const QString path = task->Record().fileName;
    const QString aside = path + QStringLiteral(".aside");
    QVERIFY(QFile::rename(path, aside));

    QSignalSpy results(task.data(), &SDKUploadTask::SignalResult);
    manager->StartTask(task->Vid(), true);
    QTRY_COMPARE_WITH_TIMEOUT(task->Status(), int(Failed), 20000);
    QVERIFY(!results.isEmpty());
    QCOMPARE(results.last().at(0).toBool(), false);
    QCOMPARE(results.last().at(1).toString(), QStringLiteral("SdkCodeMsg.NoFile"));
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

void TestUploadQueue::pauseEndsWithEmptySuccess_data()
{
    QTest::addColumn<bool>("pauseAll");
    QTest::newRow("pause one") << false;
    QTest::newRow("pause all") << true;
}

// A pause ends the running transfer with the library's code 5: the task reports an empty
// success and stays paused; it is neither failed nor given up its place in the queue.
void TestUploadQueue::pauseEndsWithEmptySuccess()
{
    QFETCH(bool, pauseAll);
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
}

void TestUploadQueue::queuedVidIsRefused_data()
{
    QTest::addColumn<QString>("alias");
    QTest::addColumn<bool>("sameString");
    QTest::newRow("same path") << QStringLiteral("%1/%2") << true;
    QTest::newRow("dot segment") << QStringLiteral("%1/./%2") << false;
    QTest::newRow("double slash") << QStringLiteral("%1//%2") << false;
    QTest::newRow("parent segment") << QStringLiteral("%1/sub/../%2") << false;
}

// The same file again while it uploads, by the same or another path string: nothing is added
// and the running upload goes on to its end undisturbed.
void TestUploadQueue::queuedVidIsRefused()
{
    QFETCH(QString, alias);
    QFETCH(bool, sameString);
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub")));
    const QString name = QStringLiteral("twice-%1.mp4").arg(++fileCounter);
    const QString path = MakeFile(name, 1 << 20);
    QVERIFY(
        manager->AddUpload(7, path, QString(), QString(), QString(), QStringLiteral("Root"), 0, 0));
    QCOMPARE(manager->TaskCount(), 1);
    const QString vid = DBManager::instance()->GetUploads().value(0).vid;
    const SharedUploadTaskPtr task = manager->Task(vid);
    QVERIFY(task);
    QSignalSpy progress(task.data(), &SDKUploadTask::SignalProgress);
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty(), 20000);

    QSignalSpy exists(manager, &SDKManager::SignalExistUpload);
    QSignalSpy appended(manager, &SDKManager::SignalAppendUpload);
    const bool added = manager->AddUpload(7, alias.arg(dir.path(), name), QString(), QString(),
                                          QString(), QStringLiteral("Root"), 0, 0);
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
    QCOMPARE(results.first().at(1).toString(), QStringLiteral("UploadSuccess"));
    QCOMPARE(DBManager::instance()->GetHistories(0, 20).value(0).vid, vid);
}

void TestUploadQueue::finishedUploadMovesToHistory()
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
    QCOMPARE(row.fileStatus, QStringLiteral("UploadSuccess"));
    QCOMPARE(row.fileSize, QStringLiteral("300.02 KB"));
    QVERIFY(row.titleName.startsWith(QStringLiteral("video-")));

    // The same file into the same category again: the platform already holds it complete.
    const QString path = dir.filePath(QStringLiteral("video-%1.mp4").arg(fileCounter));
    QVERIFY(manager->AddUpload(1, path, QStringLiteral("again"), QString(), QString(),
                               QStringLiteral("Root"), 0, 0));
    QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 2, 30000);
    QCOMPARE(removed.last().at(0).toString(), added.first());
    const DBManager::History again = DBManager::instance()->GetHistories(0, 20).value(0);
    QCOMPARE(again.vid, added.first());
    QCOMPARE(again.fileStatus, QStringLiteral("SecondPass"));
    QCOMPARE(again.titleName, QStringLiteral("again"));
    QCOMPARE(DBManager::instance()->GetHistoryCount(), 1);
}

void TestUploadQueue::cancelRemovesTaskAndRecord()
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

void TestUploadQueue::restoreAfterRestart_data()
{
    QTest::addColumn<bool>("autoStart");
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("expectedStatus");
    QTest::addColumn<QString>("expectedError");
    QTest::newRow("auto start") << true << QString() << int(Uploading) << QString();
    QTest::newRow("no auto start") << false << QString() << int(Stopped) << QString();
    QTest::newRow("changed file") << true << QStringLiteral("append") << int(Invalid)
                                  << QStringLiteral("FileChanage");
    QTest::newRow("deleted file") << true << QStringLiteral("remove") << int(Invalid)
                                  << QStringLiteral("FileNoExist");
}

void TestUploadQueue::restoreAfterRestart()
{
    QFETCH(bool, autoStart);
    QFETCH(QString, change);
    QFETCH(int, expectedStatus);
    QFETCH(QString, expectedError);

    const QStringList added = AddFiles(1, 1 << 20);
    QCOMPARE(added.size(), 1);
    const QString path = manager->Task(added.first())->Record().fileName;
    Restart();
    QCOMPARE(manager->TaskCount(), 0);

    if (change == QStringLiteral("append")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("more");
    } else if (change == QStringLiteral("remove")) {
        QVERIFY(QFile::remove(path));
    }
    manager->SetAutoStart(autoStart);
    QSignalSpy appended(manager, &SDKManager::SignalAppendUpload);
    manager->LoadUploads();
    QCOMPARE(appended.size(), 1);
    const SharedUploadTaskPtr task = manager->Task(added.first());
    QVERIFY(task);
    QCOMPARE(task->Status(), expectedStatus);
    QCOMPARE(task->ErrorText(), expectedError);
    // Invalid is final: start-all leaves it alone.
    manager->StartAll();
    if (expectedStatus == Invalid) {
        QCOMPARE(task->Status(), int(Invalid));
    }
}

void TestUploadQueue::resultText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");

    QTest::newRow("missing file") << 2 << QStringLiteral("whatever")
                                  << QStringLiteral("SdkCodeMsg.NoFile");
    QTest::newRow("empty file") << 4 << QString() << QStringLiteral("SdkCodeMsg.FileEmpty");
    QTest::newRow("unreadable") << 10 << QString() << QStringLiteral("SdkCodeMsg.OpenFileError");
    QTest::newRow("no space") << 102 << QString() << QStringLiteral("SdkCodeMsg.NoSpace");
    QTest::newRow("crc") << 19 << QStringLiteral("crc differs")
                         << QStringLiteral("CRC64 Check Error");
    QTest::newRow("connect timeout, any case")
        << 8 << QStringLiteral("retries exhausted: connectiontimeout after 30 s")
        << QStringLiteral("SdkCodeMsg.ConnectionTimeout");
    QTest::newRow("first row wins") << 8 << QStringLiteral("SocketTimeout then RequestTimeout")
                                    << QStringLiteral("SdkCodeMsg.RequestTimeout");
    QTest::newRow("parse error") << 9 << QStringLiteral("http response parse error: body")
                                 << QStringLiteral("SdkCodeMsg.HttpResponse");
    QTest::newRow("unmapped message kept")
        << 8 << QStringLiteral("proxy refused") << QStringLiteral("proxy refused");
    QTest::newRow("platform code with text")
        << 113 + 410 << QString() << ApiCollection::errorCodeString(410);
    QTest::newRow("platform code without text, empty message")
        << 113 + 9999 << QString() << QStringLiteral("ErrorCodeString.OtherError, code:9999");
    QTest::newRow("platform code without text, message")
        << 113 + 9999 << QStringLiteral("refused") << QStringLiteral("refused");
}

// The text of a library result code and message (pure, no upload).
void TestUploadQueue::resultText()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(SDKUploadTask::ResultText(code, message), expected);
}

QTEST_GUILESS_MAIN(TestUploadQueue)
#include "tst_upload_queue.moc"
