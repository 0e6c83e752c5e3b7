// The transport and the request functions against a local HTTP server: what goes on the wire
// (headers, form bodies, queries, signatures, proxy), how transfer failures map to outcomes,
// what the log may contain, and the parallel downloads.
#include <curl/curl.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtConcurrent>
#include <QtTest>

#include "LocalHttpServer.h"
#include "api/Api.h"
#include "app/Config.h"
#include "common/OffGuiThread.h"

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

// Checks that the sign among pairs is the signature of all the others.
bool SignatureMatches(const QList<QPair<QString, QString>>& pairs, const QString& secret)
{
    ParamMap params;
    QString sign;
    for (const auto& pair : pairs) {
        if (pair.first == QLatin1String("sign")) {
            sign = pair.second;
        } else {
            params.insert(pair.first, pair.second);
        }
    }
    signParams(secret, &params);
    return !sign.isEmpty() && params.value(QStringLiteral("sign")) == sign;
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

}  // namespace

class TestApiTransport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void loginWire();
    void signedPostWire();
    void signedGetWire_data();
    void signedGetWire();
    void httpErrorJudgedByEnvelope();
    void refusedConnection();
    void timeout();
    void abortMidTransfer();
    void proxy_data();
    void proxy();
    void logsCarryNoSecrets();
    void successIsQuiet();
    void downloadTenAtOnce();
    void downloadFailureKeepsTarget();
    void downloadRefusedTargets();
    void downloadCancel();

private:
    QString Target(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    Config* config = nullptr;
    LocalHttpServer server;
    const QString secret = QStringLiteral("secret-1");
};

void TestApiTransport::initTestCase()
{
    QVERIFY(dir.isValid());
    QCOMPARE(curl_global_init(CURL_GLOBAL_ALL), CURLE_OK);
    QVERIFY(server.Listen());
    config = new Config(dir.filePath(QStringLiteral("global.ini")), this);
    config->RegisterDefaults();
    Config::SetGlobal(config);
    setCredentials({QStringLiteral("app-1"), secret});
}

void TestApiTransport::init()
{
    config->SetValue(QStringLiteral("Custom"), QStringLiteral("platformUrl"),
                     QString::fromLatin1(server.BaseUrl()));
    config->SetValue(QStringLiteral("NetWorkManager"), QStringLiteral("proxyType"), 0);
    server.ResetCounters();
}

void TestApiTransport::cleanupTestCase()
{
    Config::SetGlobal(nullptr);
    curl_global_cleanup();
}

void TestApiTransport::loginWire()
{
    server.SetReply("/v3/front/login-client", {200, kSuccess});
    const QUuid id = QUuid::createUuid();
    QByteArray response = "stale";
    const RequestError result = OffGuiThread([&] {
        return LoginClientRequest(id, QStringLiteral("a+b@c.d"), QStringLiteral("密码pass"),
                                  &response, nullptr, nullptr);
    });
    QCOMPARE(result, NoError);
    QCOMPARE(response, kSuccess);
    QCOMPARE(server.Requests().size(), 1);
    const LocalHttpServer::Request request = server.Requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.target, QByteArray("/v3/front/login-client"));
    QCOMPARE(request.body,
             "email=a%2Bb%40c.d&password=" + loginPasswordDigest(QStringLiteral("密码pass")));
    QCOMPARE(request.headers.value("user-agent"), kUserAgent);
    QCOMPARE(request.headers.value("__client_uuid"), id.toString().toLatin1());
    QCOMPARE(request.headers.value("content-type"),
             QByteArray("application/x-www-form-urlencoded"));
}

void TestApiTransport::signedPostWire()
{
    server.SetReply("/v3/category/add", {200, kSuccess});
    QByteArray response;
    const RequestError result = OffGuiThread([&] {
        return AddCategoryRequest(QUuid::createUuid(), Q_UINT64_C(9007199254740993),
                                  QStringLiteral("新 分类&x=😀"), &response, nullptr, nullptr);
    });
    QCOMPARE(result, NoError);
    const LocalHttpServer::Request request = server.Requests().value(0);
    QCOMPARE(request.target, QByteArray("/v3/category/add"));
    const auto pairs = FormPairs(request.body);
    QCOMPARE(Names(pairs), (QStringList{QStringLiteral("appId"), QStringLiteral("name"),
                                        QStringLiteral("parentId"), QStringLiteral("sign"),
                                        QStringLiteral("timestamp")}));
    QCOMPARE(pairs.at(0).second, QStringLiteral("app-1"));
    QCOMPARE(pairs.at(1).second, QStringLiteral("新 分类&x=😀"));
    QCOMPARE(pairs.at(2).second, QStringLiteral("9007199254740993"));
    QVERIFY(SignatureMatches(pairs, secret));
    // Milliseconds since the epoch, within this test's run.
    QVERIFY(qAbs(pairs.at(4).second.toLongLong() - QDateTime::currentMSecsSinceEpoch()) < 60000);
}

void TestApiTransport::signedGetWire_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("sort");
    QTest::addColumn<bool>("sub");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("no title, no sort")
        << QString() << int(NoSort) << false
        << QStringList{QStringLiteral("appId"),          QStringLiteral("cateId"),
                       QStringLiteral("containSubCate"), QStringLiteral("page"),
                       QStringLiteral("pageSize"),       QStringLiteral("sign"),
                       QStringLiteral("timestamp")};
    QTest::newRow("title and sort")
        << QStringLiteral("标题 a") << int(TitleNameAsc) << true
        << QStringList{QStringLiteral("appId"),          QStringLiteral("cateId"),
                       QStringLiteral("containSubCate"), QStringLiteral("page"),
                       QStringLiteral("pageSize"),       QStringLiteral("sign"),
                       QStringLiteral("sort"),           QStringLiteral("timestamp"),
                       QStringLiteral("title")};
}

void TestApiTransport::signedGetWire()
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
    for (const auto& pair : pairs) {
        if (pair.first == QLatin1String("containSubCate")) {
            QCOMPARE(pair.second, sub ? QStringLiteral("Y") : QStringLiteral("N"));
        } else if (pair.first == QLatin1String("title")) {
            QCOMPARE(pair.second, title);
        } else if (pair.first == QLatin1String("sort")) {
            QCOMPARE(pair.second, QStringLiteral("titleAsc"));
        }
    }
}

void TestApiTransport::httpErrorJudgedByEnvelope()
{
    const QByteArray refusal =
        "{\"requestId\":\"r\",\"code\":400,\"status\":\"error\","
        "\"error\":{\"code\":3001,\"desc\":\"no such category\"}}";
    server.SetReply("/v3/category/update-cate", {500, refusal});
    QByteArray response;
    QCOMPARE(OffGuiThread([&] {
                 return MoveCategoryRequest(QUuid::createUuid(), 5, 6, &response, nullptr, nullptr);
             }),
             NoError);
    ApiResult result;
    QCOMPARE(ParseMoveCategoryResponse(response, &result), ApiReturnFailed);
    QCOMPARE(result.errorCode, int(CATEGORY_NOT_EXIST));
}

void TestApiTransport::refusedConnection()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    config->SetValue(QStringLiteral("Custom"), QStringLiteral("platformUrl"),
                     QStringLiteral("http://127.0.0.1:%1").arg(closedPort));
    QByteArray response;
    QString error;
    QCOMPARE(OffGuiThread([&] {
                 return DeleteVideoRequest(QUuid::createUuid(), QStringLiteral("v"), &response,
                                           nullptr, &error);
             }),
             CurlPerformFailed);
    QVERIFY(!error.isEmpty());
    ApiResult result;
    QCOMPARE(ParseDeleteVideoResponse(response, &result), ParseJsonFailed);
}

void TestApiTransport::timeout()
{
    // The update check has the shortest time-out (5 s).
    LocalHttpServer::Reply silent;
    silent.never = true;
    server.SetReply("/silent", silent);
    config->SetValue(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
                     QString::fromLatin1(server.BaseUrl() + "/silent"));
    QElapsedTimer timer;
    timer.start();
    QByteArray response;
    QCOMPARE(OffGuiThread([&] {
                 return CheckClientUpdateRequest(QUuid::createUuid(), &response, nullptr, nullptr);
             }),
             CurlPerformTimeout);
    QVERIFY2(timer.elapsed() >= 4500, qPrintable(QString::number(timer.elapsed())));
}

void TestApiTransport::abortMidTransfer()
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

void TestApiTransport::proxy_data()
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
        << 2 << QStringLiteral("u") << QStringLiteral("p") << true << QByteArray("Basic dTpw");
}

void TestApiTransport::proxy()
{
    QFETCH(int, type);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, viaProxy);
    QFETCH(QByteArray, authorization);

    const QString group = QStringLiteral("NetWorkManager");
    config->SetValue(group, QStringLiteral("proxyType"), type);
    config->SetValue(group, QStringLiteral("proxyHostName"), QStringLiteral("127.0.0.1"));
    config->SetValue(group, QStringLiteral("proxyPort"), server.Port());
    config->SetValue(group, QStringLiteral("proxyUser"), user);
    config->SetValue(group, QStringLiteral("proxyPassword"), password);
    if (viaProxy) {
        // Only the proxy can reach this host.
        config->SetValue(QStringLiteral("Custom"), QStringLiteral("platformUrl"),
                         QStringLiteral("http://platform.invalid"));
    }
    server.SetReply("/v3/video/delete-video", {200, kSuccess});
    QByteArray response;
    QCOMPARE(OffGuiThread([&] {
                 return DeleteVideoRequest(QUuid::createUuid(), QStringLiteral("v"), &response,
                                           nullptr, nullptr);
             }),
             NoError);
    const LocalHttpServer::Request request = server.Requests().value(0);
    QCOMPARE(request.target, viaProxy ? QByteArray("http://platform.invalid/v3/video/delete-video")
                                      : QByteArray("/v3/video/delete-video"));
    QCOMPARE(request.headers.value("proxy-authorization"), authorization);
    config->SetValue(group, QStringLiteral("proxyType"), 0);
}

void TestApiTransport::logsCarryNoSecrets()
{
    const QString password = QStringLiteral("Pa55-word");
    const QByteArray refusal =
        "{\"requestId\":\"r\",\"code\":400,\"status\":\"error\","
        "\"error\":{\"code\":23,\"desc\":\"wrong\"},\"data\":[]}";
    server.SetReply("/v3/front/login-client", {500, refusal});
    server.SetReply("/v3/video/update-info", {200, "<html>oops</html>"});
    {
        QMutexLocker locker(&g_logMutex);
        g_log.clear();
    }
    g_previousHandler = qInstallMessageHandler(CapturingHandler);
    QByteArray response;
    OffGuiThread([&] {
        LoginResult login;
        LoginClientRequest(QUuid::createUuid(), QStringLiteral("me@x.y"), password, &response,
                           nullptr, nullptr);
        ParseLoginClientResponse(response, &login);
        ApiResult edit;
        UpdateVideoInfoRequest(QUuid::createUuid(), QStringLiteral("v"), QStringLiteral("t"),
                               QString(), QString(), &response, nullptr, nullptr);
        ParseUpdateVideoInfoResponse(response, &edit);
        return 0;
    });
    qInstallMessageHandler(g_previousHandler);

    const auto pairs = FormPairs(server.Requests().value(1).body);
    QString sign;
    for (const auto& pair : pairs) {
        if (pair.first == QLatin1String("sign")) {
            sign = pair.second;
        }
    }
    QCOMPARE(sign.size(), 32);
    const QStringList forbidden{password, QString::fromLatin1(loginPasswordDigest(password)),
                                secret, sign};
    QMutexLocker locker(&g_logMutex);
    QVERIFY(!g_log.isEmpty());  // the refusal and the bad answer are logged
    for (const QString& line : qAsConst(g_log)) {
        for (const QString& word : forbidden) {
            QVERIFY2(!line.contains(word), qPrintable(line));
        }
    }
}

void TestApiTransport::successIsQuiet()
{
    // No proxy, the default CA bundle and both diagnostic switches off: nothing to say.
    server.SetReply("/v3/video/delete-video", {200, kSuccess});
    {
        QMutexLocker locker(&g_logMutex);
        g_log.clear();
    }
    g_previousHandler = qInstallMessageHandler(CapturingHandler);
    QByteArray response;
    const RequestError result = OffGuiThread([&] {
        return DeleteVideoRequest(QUuid::createUuid(), QStringLiteral("v"), &response, nullptr,
                                  nullptr);
    });
    qInstallMessageHandler(g_previousHandler);
    QCOMPARE(result, NoError);
    QMutexLocker locker(&g_logMutex);
    QCOMPARE(g_log, QStringList());
}

void TestApiTransport::downloadTenAtOnce()
{
    LocalHttpServer::Reply slow;
    slow.body = "content";
    slow.delayMs = 400;
    server.SetReply("/file", slow);
    QList<_DownloadInfo> infos;
    for (int i = 0; i < 12; ++i) {
        _DownloadInfo info;
        info.url =
            QUrl(QString::fromLatin1(server.BaseUrl()) + QStringLiteral("/file?i=%1").arg(i));
        info.fileInfo = QFileInfo(Target(QStringLiteral("ten/sub/%1.jpg").arg(i)));
        info.userData = quint64(i);
        infos.append(info);
    }
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

void TestApiTransport::downloadFailureKeepsTarget()
{
    server.SetReply("/file", {200, "new content"});
    const QString path = Target(QStringLiteral("keep/cover.jpg"));
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    auto download = [&](const QByteArray& urlPath, bool* completedOk) {
        _DownloadInfo info;
        info.url = QUrl(QString::fromLatin1(server.BaseUrl() + urlPath));
        info.fileInfo = QFileInfo(path);
        qint64 seen = -1;
        info.progress = [&seen](qint64, qint64 now, qint64, qint64) { seen = now; };
        return OffGuiThread([&] {
            return MultiDownloadRequest(
                QUuid::createUuid(), {&info},
                [completedOk](_DownloadInfo*, bool ok) { *completedOk = ok; }, nullptr);
        });
    };
    auto contents = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    bool ok = true;
    QCOMPARE(download("/missing", &ok), DownloadOccurSomeError);
    QVERIFY(!ok);
    QCOMPARE(contents(), QByteArray("old"));
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files),
             QStringList{QStringLiteral("cover.jpg")});

    QCOMPARE(download("/file", &ok), NoError);
    QVERIFY(ok);
    QCOMPARE(contents(), QByteArray("new content"));
}

void TestApiTransport::downloadRefusedTargets()
{
    QVERIFY(QDir().mkpath(Target(QStringLiteral("adir"))));
    _DownloadInfo info;
    info.url = QUrl(QString::fromLatin1(server.BaseUrl() + "/file"));
    info.fileInfo = QFileInfo(Target(QStringLiteral("adir")));
    int calls = 0;
    auto count = [&calls](_DownloadInfo*, bool) { ++calls; };
    QCOMPARE(OffGuiThread([&] {
                 return MultiDownloadRequest(QUuid::createUuid(), {&info}, count, nullptr);
             }),
             DownloadOccurSomeError);
    QCOMPARE(
        OffGuiThread([&] { return MultiDownloadRequest(QUuid::createUuid(), {}, count, nullptr); }),
        NoError);
    QCOMPARE(calls, 0);
    QVERIFY(server.Requests().isEmpty());
}

void TestApiTransport::downloadCancel()
{
    LocalHttpServer::Reply trickle;
    trickle.body = QByteArray(50 * 1024, 'y');
    trickle.pieces = 50;
    trickle.pieceIntervalMs = 100;
    server.SetReply("/trickle", trickle);
    QList<_DownloadInfo> infos;
    for (int i = 0; i < 12; ++i) {
        _DownloadInfo info;
        info.url =
            QUrl(QString::fromLatin1(server.BaseUrl()) + QStringLiteral("/trickle?i=%1").arg(i));
        info.fileInfo = QFileInfo(Target(QStringLiteral("cancel/%1.bin").arg(i)));
        if (i % 2 == 0) {
            info.progress = [](qint64, qint64, qint64, qint64) {};
        }
        infos.append(info);
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
    QCOMPARE(outcomes, QList<bool>() << false << false << false << false << false << false << false
                                     << false << false << false);
    QCOMPARE(server.Requests().size(), kMaxParallelDownloads);
    QVERIFY(QDir(Target(QStringLiteral("cancel"))).entryList(QDir::Files).isEmpty());
}

QTEST_GUILESS_MAIN(TestApiTransport)
#include "tst_api_transport.moc"
