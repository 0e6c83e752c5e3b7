// The transport and the request functions against a local HTTP server: what goes on the wire
// (headers, form bodies, queries, signatures, proxy), how transfer failures map to outcomes,
// what the log may contain, and the parallel downloads.
#include <curl/curl.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

#include "LocalHttpServer.h"
#include "api/Api.h"
#include "app/Config.h"
#include "common/OffGuiThread.h"
#include "common/TestLiterals.h"

using namespace ApiCollection;

namespace {

const QByteArray kUserAgent = "UploadClient/2.4.2.655f4b54";
const QByteArray kSuccess =
    "{\"requestId\":\"r\",\"code\":200,\"status\":\"success\",\"error\":null,"
    "\"data\":{}}";

// name -> decoded value, in the order sent.
QList<QPair<QString, QString>> FormPairs(const QByteArray& encoded)
{
    QList<QPair<QString, QString>> pairs;
    for (const QByteArray& pair : encoded.split('&')) {
        const int equals = pair.indexOf('=');
        pairs.append({QString::fromUtf8(pair.left(equals)),
                      QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(equals + 1)))});
    }
    return pairs;
}

ParamMap ToMap(const QList<QPair<QString, QString>>& pairs)
{
    ParamMap params;
    for (const auto& pair : pairs) {
        params.insert(pair.first, pair.second);
    }
    return params;
}

// Checks that the sign among pairs is the signature of all the others.
bool SignatureMatches(const QList<QPair<QString, QString>>& pairs, const QString& secret)
{
    ParamMap params = ToMap(pairs);
    const QString sign = params.take("sign"_s);
    signParams(secret, &params);
    return !sign.isEmpty() && params.value("sign"_s) == sign;
}

QStringList Names(const QList<QPair<QString, QString>>& pairs)
{
    QStringList names;
    for (const auto& pair : pairs) {
        names << pair.first;
    }
    return names;
}

QMutex g_logMutex;
QStringList g_log;
QtMessageHandler g_previousHandler = nullptr;

void CapturingHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    {
        QMutexLocker locker(&g_logMutex);
        g_log << message;
    }
    g_previousHandler(type, context, message);
}

// The log lines written while run ran (on a thread of its own), and what it returned.
template <typename Run>
QStringList Logged(Run run, decltype(run())* result = nullptr)
{
    g_log.clear();
    g_previousHandler = qInstallMessageHandler(CapturingHandler);
    const auto value = OffGuiThread(run);
    qInstallMessageHandler(g_previousHandler);
    if (result) {
        *result = value;
    }
    QMutexLocker locker(&g_logMutex);
    return g_log;
}

}  // namespace

class TestApiTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QCOMPARE(curl_global_init(CURL_GLOBAL_ALL), CURLE_OK);
        QVERIFY(server.Listen());
        config = new Config(dir.filePath("global.ini"_s), this);
        config->RegisterDefaults();
        Config::SetGlobal(config);
        setCredentials({"app-1"_s, secret});
    }

    void init()
    {
        config->SetValue("Custom"_s, "platformUrl"_s, QString::fromLatin1(server.BaseUrl()));
        config->SetValue("NetWorkManager"_s, "proxyType"_s, 0);
        server.ResetCounters();
    }

    void cleanupTestCase()
    {
        // The pool's threads hold OpenSSL's per-thread state until they end: end them before
        // the process does, or the leak checker of the sanitized suite reports that state.
        QThreadPool::globalInstance()->waitForDone();
        Config::SetGlobal(nullptr);
        curl_global_cleanup();
    }

    void loginWire()
    {
        server.SetReply("/v3/front/login-client", {200, kSuccess});
        const QUuid id = QUuid::createUuid();
        QByteArray response = "stale";
        const RequestError result = OffGuiThread([&] {
            return LoginClientRequest(id, "a+b@c.d"_s, "密码pass"_s, &response, nullptr, nullptr);
        });
        QCOMPARE(result, NoError);
        QCOMPARE(response, kSuccess);
        QCOMPARE(server.Requests().size(), 1);
        const LocalHttpServer::Request request = server.Requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.target, QByteArray("/v3/front/login-client"));
        QCOMPARE(request.body, "email=a%2Bb%40c.d&password=" + loginPasswordDigest("密码pass"_s));
        QCOMPARE(request.headers.value("user-agent"), kUserAgent);
        QCOMPARE(request.headers.value("__client_uuid"), id.toString().toLatin1());
        QCOMPARE(request.headers.value("content-type"),
                 QByteArray("application/x-www-form-urlencoded"));
    }

    void signedPostWire()
    {
        server.SetReply("/v3/category/add", {200, kSuccess});
        QByteArray response;
        const RequestError result = OffGuiThread([&] {
            return AddCategoryRequest(QUuid::createUuid(), Q_UINT64_C(9007199254740993),
                                      "新 分类&x=😀"_s, &response, nullptr, nullptr);
        });
        QCOMPARE(result, NoError);
        const LocalHttpServer::Request request = server.Requests().value(0);
        QCOMPARE(request.target, QByteArray("/v3/category/add"));
        const auto pairs = FormPairs(request.body);
        QCOMPARE(Names(pairs),
                 (QStringList{"appId"_s, "name"_s, "parentId"_s, "sign"_s, "timestamp"_s}));
        QCOMPARE(pairs.at(0).second, "app-1"_s);
        QCOMPARE(pairs.at(1).second, "新 分类&x=😀"_s);
        QCOMPARE(pairs.at(2).second, "9007199254740993"_s);
        QVERIFY(SignatureMatches(pairs, secret));
        // Milliseconds since the epoch, within this test's run.
        QVERIFY(qAbs(pairs.at(4).second.toLongLong() - QDateTime::currentMSecsSinceEpoch()) <
                60000);
    }

    void signedGetWire_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("sort");
        QTest::addColumn<bool>("sub");
        QTest::addColumn<QStringList>("names");

        QTest::newRow("no title, no sort")
            << QString() << int(NoSort) << false
            << QStringList{"appId"_s,    "cateId"_s, "containSubCate"_s, "page"_s,
                           "pageSize"_s, "sign"_s,   "timestamp"_s};
        QTest::newRow("title and sort")
            << "标题 a"_s << int(TitleNameAsc) << true
            << QStringList{"appId"_s, "cateId"_s, "containSubCate"_s, "page"_s, "pageSize"_s,
                           "sign"_s,  "sort"_s,   "timestamp"_s,      "title"_s};
    }

    void signedGetWire()
    {
        QFETCH(QString, title);
        QFETCH(int, sort);
        QFETCH(bool, sub);
        QFETCH(QStringList, names);

        server.SetReply("/v3/video/list-video", {200, kSuccess});
        QByteArray response;
        QCOMPARE(OffGuiThread([&] {
                     return ListVideoRequest(QUuid::createUuid(), 7, title, sub, 2, 20,
                                             SortMethod(sort), &response, nullptr, nullptr);
                 }),
                 NoError);
        const LocalHttpServer::Request request = server.Requests().value(0);
        QCOMPARE(request.method, QByteArray("GET"));
        QVERIFY(request.body.isEmpty());
        QVERIFY(!request.headers.contains("content-type"));
        QVERIFY(request.target.startsWith("/v3/video/list-video?"));
        const auto pairs = FormPairs(request.target.mid(request.target.indexOf('?') + 1));
        QCOMPARE(Names(pairs), names);
        QVERIFY(SignatureMatches(pairs, secret));
        const ParamMap values = ToMap(pairs);
        QCOMPARE(values.value("containSubCate"_s), sub ? "Y"_s : "N"_s);
        QCOMPARE(values.value("title"_s), title);
        QCOMPARE(values.value("sort"_s), sort == NoSort ? QString() : "titleAsc"_s);
    }

    // The cover goes out as a multipart part read from a path outside ASCII, with progress; a
    // missing file is refused before anything is sent.
    void coverUploadWire()
    {
        server.SetReply("/v3/video/upload-cover-image", {200, kSuccess});
        const QString image = Target("封面 folder/新封面 图.png"_s);
        QVERIFY(QDir().mkpath(QFileInfo(image).absolutePath()));
        const QByteArray content = QByteArray("cover-bytes-").repeated(500);
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        qint64 uploaded = 0;
        auto upload = [&](const QString& path) {
            QByteArray response;
            return OffGuiThread([&] {
                return UploadVideoCoverRequest(
                    QUuid::createUuid(), {"v1"_s, "v2"_s}, path,
                    [&uploaded](qint64, qint64, qint64, qint64 now) { uploaded = now; }, &response,
                    nullptr, nullptr);
            });
        };
        QCOMPARE(upload(image), NoError);
        const LocalHttpServer::Request request = server.Requests().value(0);
        QCOMPARE(request.target, QByteArray("/v3/video/upload-cover-image"));
        QVERIFY(request.headers.value("content-type").startsWith("multipart/form-data"));
        QVERIFY(request.body.contains("name=\"imageFile\""));
        QVERIFY(request.body.contains(content));
        QVERIFY(request.body.contains("v1,v2"));
        QVERIFY(uploaded > content.size());
        QCOMPARE(upload(image + "x"_s), FileIsNotExist);
        QCOMPARE(server.Requests().size(), 1);
    }

    void timeout()
    {
        // The update check has the shortest time-out (5 s).
        LocalHttpServer::Reply silent;
        silent.never = true;
        server.SetReply("/silent", silent);
        config->SetValue("Custom"_s, "updateUrl"_s,
                         QString::fromLatin1(server.BaseUrl() + "/silent"));
        QElapsedTimer timer;
        timer.start();
        QByteArray response;
        QCOMPARE(OffGuiThread([&] {
                     return CheckClientUpdateRequest(QUuid::createUuid(), &response, nullptr,
                                                     nullptr);
                 }),
                 CurlPerformTimeout);
        QVERIFY2(timer.elapsed() >= 4500, qPrintable(QString::number(timer.elapsed())));
    }

    void abortMidTransfer()
    {
        LocalHttpServer::Reply trickle;
        trickle.body = QByteArray(50 * 100, 'x');
        trickle.pieces = 50;
        trickle.pieceIntervalMs = 100;
        server.SetReply("/v3/category/get-cate-tree", trickle);
        bool abort = false;
        QByteArray response;
        QFuture<RequestError> future = QtConcurrent::run(
            [&] { return GetCateTreeRequest(QUuid::createUuid(), 1, &response, &abort, nullptr); });
        QTRY_COMPARE(server.Pending(), 1);
        QTest::qWait(300);
        QElapsedTimer timer;
        timer.start();
        abort = true;
        while (!future.isFinished()) {
            QTest::qWait(20);
        }
        QCOMPARE(future.result(), CurlPerformAbort);
        // Stopped at the next piece, not at the end of the answer.
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    }

    void proxy_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("viaProxy");
        QTest::addColumn<QByteArray>("authorization");

        QTest::newRow("type 0 with host: direct")
            << 0 << QString() << QString() << false << QByteArray();
        QTest::newRow("http proxy") << 1 << QString() << QString() << true << QByteArray();
        QTest::newRow("any non-zero type is http, with credentials")
            << 2 << "u"_s
            << "p"_s << true << QByteArray("Basic dTpw");
    }

    void proxy()
    {
        QFETCH(int, type);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, viaProxy);
        QFETCH(QByteArray, authorization);

        const QString group = "NetWorkManager"_s;
        config->SetValue(group, "proxyType"_s, type);
        config->SetValue(group, "proxyHostName"_s, "127.0.0.1"_s);
        config->SetValue(group, "proxyPort"_s, server.Port());
        config->SetValue(group, "proxyUser"_s, user);
        config->SetValue(group, "proxyPassword"_s, password);
        if (viaProxy) {
            // Only the proxy can reach this host.
            config->SetValue("Custom"_s, "platformUrl"_s, "http://platform.invalid"_s);
        }
        server.SetReply("/v3/video/delete-video", {200, kSuccess});
        QByteArray response;
        QCOMPARE(OffGuiThread([&] {
                     return DeleteVideoRequest(QUuid::createUuid(), "v"_s, &response, nullptr,
                                               nullptr);
                 }),
                 NoError);
        const LocalHttpServer::Request request = server.Requests().value(0);
        QCOMPARE(request.target, viaProxy
                                     ? QByteArray("http://platform.invalid/v3/video/delete-video")
                                     : QByteArray("/v3/video/delete-video"));
        QCOMPARE(request.headers.value("proxy-authorization"), authorization);
        config->SetValue(group, "proxyType"_s, 0);
    }

    // A refusal that comes with an HTTP error status is the envelope's to judge; neither it nor a
    // malformed answer puts a secret into the log.
    void refusalsLoggedWithoutSecrets()
    {
        const QString password = "Pa55-word"_s;
        const QByteArray refusal =
            "{\"requestId\":\"r\",\"code\":400,\"status\":\"error\","
            "\"error\":{\"code\":23,\"desc\":\"wrong\"},\"data\":[]}";
        server.SetReply("/v3/front/login-client", {500, refusal});
        server.SetReply("/v3/video/update-info", {200, "<html>oops</html>"});
        QByteArray response;
        RequestError sent = CurlPerformFailed;
        RequestError parsed = NoError;
        LoginResult login;
        const QStringList log = Logged([&] {
            sent = LoginClientRequest(QUuid::createUuid(), "me@x.y"_s, password, &response, nullptr,
                                      nullptr);
            parsed = ParseLoginClientResponse(response, &login);
            ApiResult edit;
            UpdateVideoInfoRequest(QUuid::createUuid(), "v"_s, "t"_s, QString(), QString(),
                                   &response, nullptr, nullptr);
            ParseUpdateVideoInfoResponse(response, &edit);
            return 0;
        });
        QCOMPARE(sent, NoError);
        QCOMPARE(parsed, ApiReturnFailed);
        QCOMPARE(login.errorCode, int(MAIN_ACCOUNT_PWD_ERR));

        const auto pairs = FormPairs(server.Requests().value(1).body);
        // Empty values are sent too (and left out of the signature).
        QCOMPARE(Names(pairs), (QStringList{"appId"_s, "describ"_s, "sign"_s, "tag"_s,
                                            "timestamp"_s, "title"_s, "vid"_s}));
        QVERIFY(SignatureMatches(pairs, secret));
        const QString sign = ToMap(pairs).value("sign"_s);
        QCOMPARE(sign.size(), 32);
        const QStringList forbidden{password, QString::fromLatin1(loginPasswordDigest(password)),
                                    secret, sign};
        QVERIFY(!log.isEmpty());  // the refusal and the bad answer are logged
        for (const QString& line : log) {
            for (const QString& word : forbidden) {
                QVERIFY2(!line.contains(word), qPrintable(line));
            }
        }
    }

    void successIsQuiet()
    {
        // No proxy, the default CA bundle and both diagnostic switches off: nothing to say.
        server.SetReply("/v3/video/delete-video", {200, kSuccess});
        QByteArray response;
        RequestError result = CurlPerformFailed;
        QCOMPARE(Logged(
                     [&] {
                         return DeleteVideoRequest(QUuid::createUuid(), "v"_s, &response, nullptr,
                                                   nullptr);
                     },
                     &result),
                 QStringList());
        QCOMPARE(result, NoError);
    }

    void downloadTenAtOnce()
    {
        LocalHttpServer::Reply slow;
        slow.body = "content";
        slow.delayMs = 400;
        server.SetReply("/file", slow);
        QList<_DownloadInfo> infos = TwelveDownloads("/file"_s, "ten/sub/%1.jpg"_s);
        QList<_DownloadInfo*> files;
        for (auto& info : infos) {
            files.append(&info);
        }
        QList<quint64> completed;
        const RequestError result = OffGuiThread([&] {
            return MultiDownloadRequest(
                QUuid::createUuid(), files,
                [&](_DownloadInfo* info, bool ok) {
                    if (ok) {
                        completed.append(info->userData);
                    }
                },
                nullptr);
        });
        QCOMPARE(result, NoError);
        QCOMPARE(server.MaxPending(), kMaxParallelDownloads);
        QCOMPARE(server.Requests().size(), 12);
        QCOMPARE(completed.size(), 12);
        for (const auto& info : infos) {
            QFile file(info.fileInfo.absoluteFilePath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("content"));
        }
    }

    // A target that is a folder is refused before anything is sent and an empty list is no
    // work; a failed download keeps the file it was to replace, a later one replaces it.
    void downloadFailuresKeepTargets()
    {
        server.SetReply("/file", {200, "new content"});
        const QString path = Target("keep/cover.jpg"_s);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        int calls = 0;
        bool ok = true;
        auto done = [&](_DownloadInfo*, bool success) {
            ++calls;
            ok = success;
        };
        auto download = [&](const QByteArray& urlPath, const QString& target) {
            _DownloadInfo info;
            info.url = QUrl(QString::fromLatin1(server.BaseUrl() + urlPath));
            info.fileInfo = QFileInfo(target);
            qint64 seen = -1;
            info.progress = [&seen](qint64, qint64 now, qint64, qint64) { seen = now; };
            return OffGuiThread(
                [&] { return MultiDownloadRequest(QUuid::createUuid(), {&info}, done, nullptr); });
        };
        auto contents = [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };

        QCOMPARE(download("/file", QFileInfo(path).absolutePath()), DownloadOccurSomeError);
        QCOMPARE(OffGuiThread(
                     [&] { return MultiDownloadRequest(QUuid::createUuid(), {}, done, nullptr); }),
                 NoError);
        QCOMPARE(calls, 0);
        QVERIFY(server.Requests().isEmpty());

        QCOMPARE(download("/missing", path), DownloadOccurSomeError);
        QVERIFY(!ok);
        QCOMPARE(contents(), QByteArray("old"));
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files),
                 QStringList{"cover.jpg"_s});

        QCOMPARE(download("/file", path), NoError);
        QVERIFY(ok);
        QCOMPARE(contents(), QByteArray("new content"));
    }

    void downloadCancel()
    {
        LocalHttpServer::Reply trickle;
        trickle.body = QByteArray(50 * 1024, 'y');
        trickle.pieces = 50;
        trickle.pieceIntervalMs = 100;
        server.SetReply("/trickle", trickle);
        QList<_DownloadInfo> infos = TwelveDownloads("/trickle"_s, "cancel/%1.bin"_s);
        for (int i = 0; i < infos.size(); i += 2) {
            infos[i].progress = [](qint64, qint64, qint64, qint64) {};
        }
        QList<_DownloadInfo*> files;
        for (auto& info : infos) {
            files.append(&info);
        }
        bool cancel = false;
        QList<bool> outcomes;
        QFuture<RequestError> future = QtConcurrent::run([&] {
            return MultiDownloadRequest(
                QUuid::createUuid(), files, [&](_DownloadInfo*, bool ok) { outcomes.append(ok); },
                &cancel);
        });
        QTRY_COMPARE(server.Pending(), kMaxParallelDownloads);
        QElapsedTimer timer;
        timer.start();
        cancel = true;
        while (!future.isFinished()) {
            QTest::qWait(20);
        }
        // Cancelled files are no failures (formerly they ended in a write error, curl's 23).
        QCOMPARE(future.result(), DownloadCancel);
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(outcomes.size(), 10);
        QVERIFY(!outcomes.contains(true));
        QCOMPARE(server.Requests().size(), kMaxParallelDownloads);
        QVERIFY(QDir(Target("cancel"_s)).entryList(QDir::Files).isEmpty());
    }

private:
    QString Target(const QString& name) const { return dir.filePath(name); }
    // Twelve downloads of path?i=<n> into target (with %1 for n), userData n.
    QList<_DownloadInfo> TwelveDownloads(const QString& path, const QString& target) const
    {
        QList<_DownloadInfo> infos;
        for (int i = 0; i < 12; ++i) {
            _DownloadInfo info;
            info.url = QUrl(QString::fromLatin1(server.BaseUrl()) + path + "?i=%1"_s.arg(i));
            info.fileInfo = QFileInfo(Target(target.arg(i)));
            info.userData = quint64(i);
            infos.append(info);
        }
        return infos;
    }

    QTemporaryDir dir;
    Config* config = nullptr;
    LocalHttpServer server;
    const QString secret = "secret-1"_s;
};

QTEST_GUILESS_MAIN(TestApiTransport)
#include "tst_api_transport.moc"
