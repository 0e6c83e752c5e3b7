// An upload survives the death of the client: a client process is killed with SIGKILL a
// third of the way through, a new one restores the task from the database, continues from the
// platform's offset and the platform ends up with a byte-identical file.
#include <signal.h>

#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/Config.h"
#include "common/DemoSeed.h"
#include "common/PlatformTestConfig.h"
#include "common/TestLiterals.h"
#include "store/DBManager.h"
#include "upload/SDKManager.h"
#include "upload/SDKUploadTask.h"

namespace {

// The stored upload on the platform whose content equals the local file, if any.
bool PlatformHoldsCopy(const QByteArray& content)
{
    const QString dataDir = qEnvironmentVariable("KAVRO_DEVPLATFORM_DATA");
    QDirIterator it(dataDir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).size() != content.size()) {
            continue;
        }
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.readAll() == content) {
            return true;
        }
    }
    return false;
}

}  // namespace

class TestUploadRestart : public QObject
{
    Q_OBJECT

private slots:
    void continuesAfterKill();
};

void TestUploadRestart::continuesAfterKill()
{
    QTemporaryDir dir;
    // The killed client reads the same settings file: it verifies the platform the same way.
    QScopedPointer<Config> config(MakePlatformTestConfig(dir.filePath("global.ini"_s)));

    const int size = 3 * 1024 * 1024 + 4321;
    QByteArray content(size, '\0');
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32*>(content.data()), size / 4);
    const QString path = dir.filePath("lecture.mp4"_s);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(size));
    }

    QProcess driver;
    driver.setProcessChannelMode(QProcess::ForwardedChannels);
    driver.start(QStringLiteral(KAVRO_UPLOAD_DRIVER), {dir.path(), path, "512"_s});
    QVERIFY(driver.waitForStarted());

    QVERIFY(DBManager::instance()->Open(dir.filePath("kvr-upload-client.db"_s)));
    DBManager::instance()->SetAccount(demo::kMainEmail);
    auto savedBytes = [] {
        const QVector<DBManager::Upload> uploads = DBManager::instance()->GetUploads();
        return uploads.isEmpty() ? quint64(0) : uploads.first().uploadBytes;
    };
    QTRY_VERIFY_WITH_TIMEOUT(savedBytes() >= quint64(size / 3), 30000);
    QCOMPARE(driver.state(), QProcess::Running);
    QCOMPARE(::kill(static_cast<pid_t>(driver.processId()), SIGKILL), 0);
    QVERIFY(driver.waitForFinished());
    const quint64 savedAtKill = savedBytes();
    QVERIFY(savedAtKill < quint64(size));

    // The new process: same database, same cache path, the task comes back from the record.
    SDKManager* manager = SDKManager::instance();
    QVERIFY(manager->Init(demo::kMainUserId, demo::kMainAppId, demo::kMainSecret));
    manager->SetAutoStart(true);
    QSignalSpy appended(manager, &SDKManager::SignalAppendUpload);
    QSignalSpy removed(manager, &SDKManager::SignalRemoveUpload);
    manager->LoadUploads();
    QCOMPARE(appended.size(), 1);
    const SharedUploadTaskPtr task = appended.first().at(0).value<SharedUploadTaskPtr>();
    QVERIFY(task);
    QSignalSpy progress(task.data(), &SDKUploadTask::SignalProgress);

    QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 1, 60000);
    // The first non-zero report of the new process already counts what the platform held: the
    // upload went on from there instead of starting over.
    qlonglong resumedFrom = 0;
    for (const QList<QVariant>& report : qAsConst(progress)) {
        resumedFrom = report.at(1).toLongLong();
        if (resumedFrom > 0) {
            break;
        }
    }
    QVERIFY2(resumedFrom >= qlonglong(savedAtKill) / 2,
             qPrintable("resumed from %1, saved %2"_s.arg(resumedFrom).arg(savedAtKill)));
    QCOMPARE(DBManager::instance()->GetHistories(0, 10).value(0).fileStatus, "UploadSuccess"_s);
    QVERIFY(PlatformHoldsCopy(content));
    manager->Release();
}

QTEST_GUILESS_MAIN(TestUploadRestart)
#include "tst_upload_restart.moc"
