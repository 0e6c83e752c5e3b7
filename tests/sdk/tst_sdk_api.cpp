// The C interface without the platform: handle checks, refusals, file errors, and an upload to a
// plain tus 1.0 server.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "SdkUpload.h"
#include "common/TestLiterals.h"
#include "kvr_upload_sdk.h"

class TestSdkApi : public QObject
{
    Q_OBJECT

private slots:
    // A handle refuses to work until the library is initialised.
    void setUpLibrary()
    {
        QVERIFY(dir_.isValid());
        const KVRUploaderHandle early = KVRUploaderCreate();
        QVERIFY(early != 0);
        const QByteArray path = WriteFile("early.bin"_s, "x").toUtf8();
        KVRUploadParam param{path.constData(), "t", "", "", 1, 0, 0};
        QCOMPARE(KVRUploaderSetParam(early, &param), int(KVR_ERR_NOT_INITIALISED));
        QCOMPARE(KVRUploaderStart(early), int(KVR_ERR_NOT_INITIALISED));
        QCOMPARE(KVRUploaderDestroy(early), 0);

        QCOMPARE(KVRSetSdkLogFile(dir_.filePath("sdk.log"_s).toUtf8().constData()), 0);
        QCOMPARE(KVRSetSdkLogLevel(3), 0);
        QCOMPARE(KVRSetSdkCachePath(dir_.filePath("cache/nested"_s).toUtf8().constData()), 0);
        QVERIFY(QDir(dir_.filePath("cache/nested"_s)).exists());
        // Nothing listens there: no test below but the plain tus one may reach the network.
        QCOMPARE(KVRSetSdkPlatformUrl("https://127.0.0.1:9"), 0);
        QCOMPARE(KVRInitSdkLibrary("u1", "app", "secret"), 0);
    }

    void invalidHandles_data()
    {
        QTest::addColumn<bool>("stale");
        QTest::newRow("zero") << false;
        QTest::newRow("destroyed") << true;
    }

    void invalidHandles()
    {
        QFETCH(bool, stale);
        KVRUploaderHandle h = 0;
        if (stale) {
            h = KVRUploaderCreate();
            QCOMPARE(KVRUploaderDestroy(h), 0);
        }
        const int invalid = KVR_ERR_INVALID_HANDLE;
        KVRUploadParam param{"/nonexistent", "", "", "", 0, 0, 0};
        QCOMPARE(KVRUploaderSetParam(h, &param), invalid);
        QCOMPARE(QByteArray(KVRUploaderGetVID(h)), QByteArray());
        QCOMPARE(KVRUploaderSetVID(h, "abc_1"), invalid);
        QCOMPARE(KVRUploaderRelease(h), invalid);
        QCOMPARE(KVRUploaderSetResultHandler(h, nullptr, nullptr), invalid);
        QCOMPARE(KVRUploaderStart(h), invalid);
        QCOMPARE(KVRUploaderPause(h), invalid);
        QCOMPARE(KVRUploaderStop(h), invalid);
        QCOMPARE(KVRUploaderDelete(h), invalid);
        QCOMPARE(KVRUploaderDestroy(h), invalid);
        // A made-up value next to a live handle is no handle either.
        const KVRUploaderHandle live = KVRUploaderCreate();
        QCOMPARE(KVRUploaderStart(live + 1000), invalid);
        QCOMPARE(KVRUploaderDestroy(live), 0);
    }

    void setParamRefusals()
    {
        const KVRUploaderHandle h = KVRUploaderCreate();
        QCOMPARE(KVRUploaderSetParam(h, nullptr), int(KVR_ERR_INVALID_ARGUMENT));
        KVRUploadParam missing{"/no/such/file.mp4", "t", "", "", 1, 0, 0};
        QCOMPARE(KVRUploaderSetParam(h, &missing), int(KVR_ERR_FILE_MISSING));
        QCOMPARE(KVRUploaderStart(h), int(KVR_ERR_NO_PARAM));
        QCOMPARE(KVRUploaderSetVID(h, "../../etc/passwd"), int(KVR_ERR_INVALID_ARGUMENT));

        const QByteArray path = WriteFile("a.bin"_s, "hello").toUtf8();
        KVRUploadParam param{path.constData(), "t", "", "", 7, 0, 0};
        QCOMPARE(KVRUploaderSetParam(h, &param), 0);
        // The vid's form: tst_sdk_units::vidDerivation. Same file and category in another handle:
        // same vid; another category: another vid.
        const QByteArray vid = KVRUploaderGetVID(h);
        const KVRUploaderHandle other = KVRUploaderCreate();
        QCOMPARE(KVRUploaderSetParam(other, &param), 0);
        QCOMPARE(QByteArray(KVRUploaderGetVID(other)), vid);
        param.cateId = 8;
        QCOMPARE(KVRUploaderSetParam(other, &param), 0);
        QVERIFY(QByteArray(KVRUploaderGetVID(other)) != vid);
        // Release then SetVID: the handle carries the stored vid.
        QCOMPARE(KVRUploaderRelease(other), 0);
        QCOMPARE(QByteArray(KVRUploaderGetVID(other)), QByteArray());
        QCOMPARE(KVRUploaderSetVID(other, vid.constData()), 0);
        QCOMPARE(QByteArray(KVRUploaderGetVID(other)), vid);
        QCOMPARE(KVRUploaderDestroy(other), 0);
        QCOMPARE(KVRUploaderDestroy(h), 0);
    }

    void fileErrorsReported_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("code");
        QTest::newRow("missing") << "missing"_s << int(KVR_ERR_FILE_MISSING);
        QTest::newRow("empty") << "empty"_s << int(KVR_ERR_FILE_EMPTY);
        QTest::newRow("unreadable") << "unreadable"_s << int(KVR_ERR_FILE_OPEN);
        QTest::newRow("changed") << "changed"_s << int(KVR_ERR_FILE_CHANGED);
    }

    // File problems come back through the result callback, on a library thread.
    void fileErrorsReported()
    {
        QFETCH(QString, kind);
        QFETCH(int, code);
        QString path = WriteFile(
            kind + ".bin"_s, kind == QLatin1String("empty") ? QByteArray() : QByteArray("content"));
        if (kind == QLatin1String("unreadable") && ::geteuid() == 0) {
            // root reads any file: a directory is what cannot be read as one.
            path = dir_.filePath("adir"_s);
            QVERIFY(QDir().mkpath(path));
        }
        SdkUpload up(path);
        QCOMPARE(up.setParamResult, 0);
        if (kind == QLatin1String("missing")) {
            QVERIFY(QFile::remove(path));
        } else if (kind == QLatin1String("unreadable") && ::geteuid() != 0) {
            QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        } else if (kind == QLatin1String("changed")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            file.write("more");
        }
        QCOMPARE(KVRUploaderStart(up.handle), 0);
        SdkCallbackRecorder::Call call;
        QVERIFY(up.recorder.WaitResult(&call, 10000));
        QCOMPARE(call.code, code);
        QVERIFY(!call.message.isEmpty());
        QVERIFY(call.thread != QThread::currentThreadId());
        if (kind == QLatin1String("changed")) {
            QVERIFY(call.message.contains(QLatin1String("fileContentError")));
        }
    }

    void deleteWithoutUpload()
    {
        const QByteArray path = WriteFile("d.bin"_s, "data").toUtf8();
        KVRUploadParam param{path.constData(), "t", "", "", 1, 0, 0};
        const KVRUploaderHandle h = KVRUploaderCreate();
        SdkCallbackRecorder recorder;
        recorder.Attach(h);
        QCOMPARE(KVRUploaderDelete(h), int(KVR_ERR_NO_PARAM));
        QCOMPARE(KVRUploaderSetParam(h, &param), 0);
        QCOMPARE(KVRUploaderPause(h), 0);  // nothing runs: nothing to report
        QCOMPARE(KVRUploaderDelete(h), 0);
        SdkCallbackRecorder::Call call;
        QVERIFY(recorder.WaitDelete(&call, 10000));
        QCOMPARE(call.code, 0);
        QVERIFY(!recorder.WaitResult(&call, 200));
        QCOMPARE(KVRUploaderDestroy(h), 0);
    }

    void settingsRefusalsAndDescriptions()
    {
        QCOMPARE(KVRSetSdkLogLevel(9), int(KVR_ERR_INVALID_ARGUMENT));
        QCOMPARE(KVRSetSdkHttpRequest(7), int(KVR_ERR_INVALID_ARGUMENT));
        QCOMPARE(KVRSetSdkProxy(1, nullptr, 8080, nullptr, nullptr), int(KVR_ERR_INVALID_ARGUMENT));
        QCOMPARE(KVRSetSdkProxy(0, nullptr, 0, nullptr, nullptr), 0);
        QCOMPARE(KVRSetSdkTrafficLimit(-1), int(KVR_ERR_INVALID_ARGUMENT));
        QCOMPARE(KVRSetSdkPlatformUrl("ftp://x"), int(KVR_ERR_INVALID_ARGUMENT));
        QCOMPARE(KVRSetSdkLogFile("/no/such/dir/sdk.log"), int(KVR_ERR_LOG_FILE));
        QCOMPARE(KVRSetSdkCachePath("/proc/no-cache-here"), int(KVR_ERR_CACHE_PATH));
        QCOMPARE(KVRInitSdkLibrary(nullptr, "a", "b"), int(KVR_ERR_INVALID_ARGUMENT));
        QVERIFY(QByteArray(KVRGetSdkVersion()).contains("libcurl/"));
        QVERIFY(QByteArray(KVRGetSdkErrorDescription(KVR_ERR_CRC64)).contains("CRC64"));
        QCOMPARE(QByteArray(KVRGetSdkErrorDescription(113 + 410)),
                 QByteArray("platform error 410"));
    }

    // A plain tus server (no signing, no checksum header, a relative Location): without an
    // appId the library uploads to it unchanged.
    void uploadsToPlainTusServer()
    {
        const QString python = QStandardPaths::findExecutable("python3"_s);
        if (python.isEmpty()) {
            QSKIP("python3 not found");
        }
        const QString data = dir_.filePath("plain"_s);
        const QString portFile = dir_.filePath("port"_s);
        QVERIFY(QDir().mkpath(data));
        QProcess server;
        server.start(python, {QStringLiteral(KVR_PLAIN_TUS_SERVER), data, portFile});
        QVERIFY(server.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(portFile), 10000);
        QFile port(portFile);
        QVERIFY(port.open(QIODevice::ReadOnly));
        const QByteArray url = "http://127.0.0.1:" + port.readAll().trimmed();
        QCOMPARE(KVRSetSdkPlatformUrl(url.constData()), 0);
        QCOMPARE(KVRInitSdkLibrary("u1", "", ""), 0);
        const QByteArray content = QByteArray("plain tus ").repeated(524288) + "end";
        SdkUpload up(WriteFile("plain.bin"_s, content));
        QCOMPARE(up.setParamResult, 0);
        QCOMPARE(KVRUploaderStart(up.handle), 0);
        SdkCallbackRecorder::Call call;
        QVERIFY(up.recorder.WaitResult(&call, 60000));
        QCOMPARE(call.code, 0);
        const QStringList stored = QDir(data).entryList(QDir::Files);
        QCOMPARE(stored.size(), 1);
        QFile copy(QDir(data).filePath(stored.first()));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QVERIFY(copy.readAll() == content);
        server.kill();
        server.waitForFinished();
    }

    void cleanupTestCase() { QCOMPARE(KVRReleaseSdkLibrary(), 0); }

private:
    QTemporaryDir dir_;
    QString WriteFile(const QString& name, const QByteArray& data)
    {
        const QString path = dir_.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(data);
        return path;
    }
};

QTEST_MAIN(TestSdkApi)
#include "tst_sdk_api.moc"
