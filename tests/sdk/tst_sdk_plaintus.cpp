// The library against a plain tus 1.0 server (no signing, no checksum header, a relative
// Location): it must upload unchanged.
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "SdkCallbackRecorder.h"
#include "SdkTestPlatform.h"

class TestSdkPlainTus : public QObject
{
    Q_OBJECT

private slots:
    void uploadsToPlainServer();
};

void TestSdkPlainTus::uploadsToPlainServer()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        QSKIP("python3 not found");
    }
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString portFile = dir.filePath(QStringLiteral("port"));
    QVERIFY(QDir().mkpath(data));
    QProcess server;
    server.start(python, {QStringLiteral(KVR_PLAIN_TUS_SERVER), data, portFile});
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(portFile), 10000);
    QFile port(portFile);
    QVERIFY(port.open(QIODevice::ReadOnly));
    const QByteArray url = "http://127.0.0.1:" + port.readAll().trimmed();

    KVRSetSdkCachePath(dir.filePath(QStringLiteral("cache")).toUtf8().constData());
    KVRSetSdkPlatformUrl(url.constData());
    QCOMPARE(KVRInitSdkLibrary("u1", "", ""), 0);  // no appId: nothing is signed
    const QString file = dir.filePath(QStringLiteral("f.bin"));
    QVERIFY(SdkTestPlatform::MakeFile(file, (5 << 20) + 3, 31));
    const QByteArray path = file.toUtf8();
    KVRUploadParam param{path.constData(), "plain", "", "", 1, 0, 0};
    const KVRUploaderHandle h = KVRUploaderCreate();
    SdkCallbackRecorder recorder;
    recorder.Attach(h);
    QCOMPARE(KVRUploaderSetParam(h, &param), 0);
    QCOMPARE(KVRUploaderStart(h), 0);
    SdkCallbackRecorder::Call call;
    QVERIFY(recorder.WaitResult(&call, 60000));
    QCOMPARE(call.code, 0);
    const QStringList stored = QDir(data).entryList(QDir::Files);
    QCOMPARE(stored.size(), 1);
    QVERIFY(SdkTestPlatform::SameContent(QDir(data).filePath(stored.first()), file));
    QCOMPARE(KVRUploaderDestroy(h), 0);
    QCOMPARE(KVRReleaseSdkLibrary(), 0);
    server.kill();
    server.waitForFinished();
}

QTEST_MAIN(TestSdkPlainTus)
#include "tst_sdk_plaintus.moc"
