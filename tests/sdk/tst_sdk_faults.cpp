// Transient failures are retried: the server here answers the first two creations with 503,
// holds the first PATCH for 20 s without reading (a stall: libcurl averages the speed over a
// few seconds, so with a stall time of 2 s it ends the request after about 7 s) and drops
// the next PATCH connection after 5 MiB (fault rules given at its start).
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
    qputenv("KVR_SDK_STALL_SECONDS", "2");
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
    const bool finished = recorder.WaitResult(&call, 120000);
    QFile logFile(log);
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QByteArray text = logFile.readAll();
    // The log tells the faults really happened and were ridden out by retries: the stall, the
    // dropped connection, and every 503 the server answered.
    const bool stalled = text.contains("SocketTimeout: no data moved");
    const bool dropped = text.contains("SocketTimeout: connection lost");
    const bool retried = text.count(": retry ") >= 2 + text.count("-> 503");
    if (!finished || call.code != 0 || !stalled || !dropped || !retried) {
        qWarning("%s", text.constData());  // the library's own account of what went wrong
    }
    QVERIFY(finished);
    QCOMPARE(call.code, 0);
    const ServerUpload server = FindUpload(vid);
    QCOMPARE(server.state, 1);
    QVERIFY(SameContent(server.path, file));
    QVERIFY(stalled);
    QVERIFY(dropped);
    QVERIFY(retried);
    QCOMPARE(KVRUploaderDestroy(h), 0);
    QCOMPARE(KVRReleaseSdkLibrary(), 0);
}

QTEST_MAIN(TestSdkFaults)
#include "tst_sdk_faults.moc"
