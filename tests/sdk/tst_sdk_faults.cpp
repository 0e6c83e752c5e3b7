// Transient failures are retried: the server here answers the first two creations with 503
// and drops the first PATCH connection after 5 MiB (fault rules given at its start).
#include <QTemporaryDir>
#include <QtTest>

#include "SdkCallbackRecorder.h"
#include "SdkTestPlatform.h"

using namespace SdkTestPlatform;

class TestSdkFaults : public QObject
{
    Q_OBJECT

private slots:
    void recoversByRetry();
};

void TestSdkFaults::recoversByRetry()
{
    if (!Available()) {
        QSKIP("needs a devplatform (run through ctest)");
    }
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("sdk.log"));
    QCOMPARE(InitLibrary(dir.filePath(QStringLiteral("cache")), log), 0);
    const qint64 size = 24 << 20;
    const QString file = dir.filePath(QStringLiteral("f.bin"));
    QVERIFY(MakeFile(file, size, 21));
    const QByteArray path = file.toUtf8();
    KVRUploadParam param{path.constData(), "faults", "", "", 1, 0, 0};
    const KVRUploaderHandle h = KVRUploaderCreate();
    SdkCallbackRecorder recorder;
    recorder.Attach(h);
    QCOMPARE(KVRUploaderSetParam(h, &param), 0);
    const QString vid = QString::fromUtf8(KVRUploaderGetVID(h));
    QCOMPARE(KVRUploaderStart(h), 0);
    SdkCallbackRecorder::Call call;
    QVERIFY(recorder.WaitResult(&call, 120000));
    QCOMPARE(call.code, 0);
    const ServerUpload server = FindUpload(vid);
    QCOMPARE(server.state, 1);
    QVERIFY(SameContent(server.path, file));

    // The log tells the faults really happened and each was ridden out by one retry: the
    // dropped connection, and every 503 the server answered.
    QFile logFile(log);
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QByteArray text = logFile.readAll();
    QVERIFY(text.contains("SocketTimeout: connection lost"));
    QCOMPARE(text.count(": retry "), 1 + text.count("-> 503"));
    QCOMPARE(KVRUploaderDestroy(h), 0);
    QCOMPARE(KVRReleaseSdkLibrary(), 0);
}

QTEST_MAIN(TestSdkFaults)
#include "tst_sdk_faults.moc"
