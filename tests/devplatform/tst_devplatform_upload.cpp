// The devplatform's upload endpoint against a running server: tus statuses, signing, offsets
// after interrupted bodies, termination, integrity and the platform's refusals.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include "PlatformClient.h"
#include "common/DemoSeed.h"
#include "common/PlatformFaults.h"
#include "common/TestLiterals.h"

namespace {

QByteArray RandomBytes(int size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    return data;
}

}  // namespace

class TestDevplatformUpload : public QObject
{
    Q_OBJECT

private:
    PlatformClient client_;
    const QString appId_ = demo::kMainAppId;
    const QString secret_ = demo::kMainSecret;

    static QMap<QString, QString> StandardMetadata(const QString& vid)
    {
        return {{"vid"_s, vid}, {"filename"_s, "a.mp4"_s}, {"title"_s, "A title"_s}};
    }

    // Creates an upload in the demo library (by default as the main account) and returns its
    // URL.
    QString CreateUpload(qint64 length, const QString& vid, const QString& appId = demo::kMainAppId,
                         const QString& secret = demo::kMainSecret) const
    {
        const HttpReply reply = client_.TusCreate(length, StandardMetadata(vid), appId, secret);
        if (reply.status != 201) {
            qWarning() << "creation failed:" << reply.status << reply.body;
            return QString();
        }
        return QString::fromUtf8(reply.Header("Location"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(client_.IsConfigured(), "run through with-devplatform");
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }

    // A refused signature changes nothing. A signed request is good once (the same nonce again
    // is a replay), within the time window (a shifted clock: the signature is right, the time is
    // not), and with the account's own secret. (All methods share the check; the library's
    // refused creation is tst_sdk_upload's.)
    void signingRefusals_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<qint64>("clockShift");
        QTest::addColumn<bool>("withNonce");
        QTest::addColumn<bool>("replay");
        QTest::addColumn<int>("code");
        QTest::newRow("wrong secret") << appId_ << "guess"_s << 0LL << true << false << 104;
        QTest::newRow("unknown appId") << "NOSUCHAPP"_s << secret_ << 0LL << true << false << 101;
        QTest::newRow("stale timestamp") << appId_ << secret_ << -1000LL << true << false << 100;
        QTest::newRow("no nonce") << appId_ << secret_ << 0LL << false << false << 104;
        QTest::newRow("replayed request") << appId_ << secret_ << 0LL << true << true << 104;
    }

    void signingRefusals()
    {
        QFETCH(QString, appId);
        QFETCH(QString, secret);
        QFETCH(qint64, clockShift);
        QFETCH(bool, withNonce);
        QFETCH(bool, replay);
        QFETCH(int, code);
        const QString url = CreateUpload(100, PlatformClient::NewVid("signing"));
        HeaderList headers = PlatformClient::TusHeaders("PATCH", PlatformClient::PathOf(url), appId,
                                                        secret, "0", {}, clockShift, withNonce);
        headers.append({"Content-Type", QByteArray("application/offset+octet-stream")});
        if (replay) {
            QCOMPARE(client_.Request("PATCH", url, headers, RandomBytes(40, 9)).status, 204L);
        }
        const HttpReply refused = client_.Request("PATCH", url, headers, RandomBytes(40, 9));
        QCOMPARE(refused.status, 401L);
        QCOMPARE(refused.Header("Kvr-Error-Code").toInt(), code);
        QCOMPARE(refused.Json().value("code"_s).toInt(), code);
        QCOMPARE(client_.TusHead(url).Header("Upload-Offset").toLongLong(), replay ? 40LL : 0LL);
    }

    void tusVersions()
    {
        const HttpReply options = client_.Request("OPTIONS", "/upload/files/"_s);
        QCOMPARE(options.status, 204L);
        QCOMPARE(options.Header("Tus-Version"), QByteArray("1.0.0"));
        const QList<QByteArray> extensions = options.Header("Tus-Extension").split(',');
        QVERIFY(extensions.contains("creation") && extensions.contains("termination"));
        QVERIFY(options.Header("Tus-Max-Size").toLongLong() > 0);
        HeaderList headers =
            PlatformClient::TusHeaders("POST", "/upload/files/"_s, appId_, secret_, {}, "10");
        headers[0].second = "0.2.2";
        const HttpReply reply = client_.Request("POST", "/upload/files/"_s, headers);
        QCOMPARE(reply.status, 412L);
        QCOMPARE(reply.Header("Tus-Version"), QByteArray("1.0.0"));
    }

    // HTTP/1.1: a request with neither Content-Length nor Transfer-Encoding has no body.
    void creationWithoutContentLength()
    {
        HeaderList headers =
            PlatformClient::TusHeaders("POST", "/upload/files/"_s, appId_, secret_, {}, "10");
        headers.append({"Upload-Metadata",
                        PlatformClient::TusMetadata({{"vid"_s, PlatformClient::NewVid("nolen")}})});
        headers.append({"Content-Length", QByteArray()});  // empty: libcurl sends none
        const HttpReply reply = client_.Request("POST", "/upload/files/"_s, headers);
        QCOMPARE(reply.status, 201L);
        QCOMPARE(reply.Header("Upload-Offset"), QByteArray("0"));
        QCOMPARE(client_.TusHead(QString::fromUtf8(reply.Header("Location"))).status, 200L);
    }

    // A POST with X-HTTP-Method-Override stands for that method (signed as that method);
    // a terminated upload is gone.
    void methodOverride_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<long>("status");
        QTest::addColumn<long>("headStatus");
        QTest::addColumn<qint64>("offsetAfter");
        QTest::newRow("PATCH") << QByteArray("PATCH") << 204L << 200L << 40LL;
        QTest::newRow("HEAD") << QByteArray("HEAD") << 200L << 200L << 0LL;
        QTest::newRow("DELETE") << QByteArray("DELETE") << 204L << 410L << -1LL;
        QTest::newRow("GET") << QByteArray("GET") << 405L << 200L << 0LL;
    }

    void methodOverride()
    {
        QFETCH(QByteArray, method);
        QFETCH(long, status);
        QFETCH(long, headStatus);
        QFETCH(qint64, offsetAfter);
        const QString url = CreateUpload(100, PlatformClient::NewVid("override"));
        const bool patch = method == "PATCH";
        HeaderList headers = PlatformClient::TusHeaders(method, PlatformClient::PathOf(url), appId_,
                                                        secret_, patch ? "0" : "");
        headers.append({"X-HTTP-Method-Override", method});
        if (patch) {
            headers.append({"Content-Type", QByteArray("application/offset+octet-stream")});
        }
        const QByteArray body = patch ? RandomBytes(40, 5) : QByteArray();
        const HttpReply reply = client_.Request("POST", url, headers, body);
        QCOMPARE(reply.status, status);
        const HttpReply head = client_.TusHead(url);
        QCOMPARE(head.status, headStatus);
        if (offsetAfter >= 0) {
            QCOMPARE(head.Header("Upload-Offset").toLongLong(), offsetAfter);
        } else {  // terminated: gone for every request (the library's DELETE: tst_sdk_upload)
            QCOMPARE(client_.TusPatch(url, 0, RandomBytes(40, 3)).status, 410L);
        }
    }

    // An upload exists only for the account that created it: other accounts of the library
    // (with or without the upload permission) and other libraries get 404 and change nothing.
    void otherAccountsDoNotSeeTheUpload_data()
    {
        QTest::addColumn<QString>("creatorApp");
        QTest::addColumn<QString>("creatorSecret");
        QTest::addColumn<QString>("otherApp");
        QTest::addColumn<QString>("otherSecret");
        QTest::addColumn<QByteArray>("method");
        using namespace demo;
        for (const QByteArray method : {"HEAD", "PATCH", "DELETE"}) {
            QTest::newRow("viewer sub-account, " + method)
                << appId_ << secret_ << kViewerAppId << kViewerSecret << method;
        }
        QTest::newRow("uploader sub-account, HEAD")
            << appId_ << secret_ << kUploaderAppId << kUploaderSecret << QByteArray("HEAD");
        QTest::newRow("main account, sub-account's upload, PATCH")
            << kUploaderAppId << kUploaderSecret << appId_ << secret_ << QByteArray("PATCH");
        QTest::newRow("another library, HEAD")
            << appId_ << secret_ << demo::kOtherAppId << demo::kOtherSecret << QByteArray("HEAD");
    }

    void otherAccountsDoNotSeeTheUpload()
    {
        QFETCH(QString, creatorApp);
        QFETCH(QString, creatorSecret);
        QFETCH(QString, otherApp);
        QFETCH(QString, otherSecret);
        QFETCH(QByteArray, method);
        const QString url =
            CreateUpload(100, PlatformClient::NewVid("mine"), creatorApp, creatorSecret);
        QVERIFY(!url.isEmpty());
        const QByteArray offset = method == "PATCH" ? "0" : "";
        HeaderList headers = PlatformClient::TusHeaders(method, PlatformClient::PathOf(url),
                                                        otherApp, otherSecret, offset);
        QByteArray body;
        if (method == "PATCH") {
            headers.append({"Content-Type", QByteArray("application/offset+octet-stream")});
            body = RandomBytes(40, 23);
        }
        QCOMPARE(client_.Request(method, url, headers, body).status, 404L);
        const HttpReply own = client_.TusHead(url, creatorApp, creatorSecret);
        QCOMPARE(own.status, 200L);
        QCOMPARE(own.Header("Upload-Offset"), QByteArray("0"));
    }

    // Each open connection holds one of the server's workers. Connections that send nothing
    // hold theirs for the read time-out (30 s; an idle kept-alive one for the keep-alive
    // time-out), so a fixed pool smaller than the open connections answers a new request only
    // after that. bench/upload/tus-probe measures the delay.
    void idleConnectionsDoNotHoldUpRequests()
    {
        const QUrl base(client_.BaseUrl());
        std::vector<int> idle;
        for (int i = 0; i < 100; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<quint16>(base.port()));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd >= 0 &&
                ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
                idle.push_back(fd);
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
        QThread::msleep(300);  // the server accepts them all
        QElapsedTimer timer;
        timer.start();
        const HttpReply reply = client_.Request("OPTIONS", "/upload/files/"_s);
        const qint64 ms = timer.elapsed();
        for (const int fd : idle) {
            ::close(fd);
        }
        QCOMPARE(int(idle.size()), 100);
        QCOMPARE(reply.status, 204L);
        QVERIFY2(ms < 5000, qPrintable("answered after %1 ms"_s.arg(ms)));
    }

    void patchRules()
    {
        const QString url = CreateUpload(1000, PlatformClient::NewVid("rules"));
        QVERIFY(!url.isEmpty());
        const QByteArray data = RandomBytes(1000, 7);
        QCOMPARE(client_.TusPatch(url, 0, data.left(10), "application/octet-stream").status, 415L);
        const HttpReply mismatch = client_.TusPatch(url, 5, data.left(10));
        QCOMPARE(mismatch.status, 409L);
        QCOMPARE(mismatch.Header("Upload-Offset"), QByteArray("0"));
        // More than the announced length is refused and nothing is stored.
        QCOMPARE(client_.TusPatch(url, 0, data + "x").status, 413L);
        QCOMPARE(client_.TusHead(url).Header("Upload-Offset"), QByteArray("0"));
        const QString unknown =
            url.left(url.lastIndexOf(QLatin1Char('/')) + 1) + "0123456789abcdef0123456789abcdef"_s;
        QCOMPARE(client_.TusHead(unknown).status, 404L);
    }

    // A connection dropped inside a PATCH keeps what arrived, HEAD tells where to go on, and
    // the rest completes the upload. (The file byte for byte after such drops, and the library's
    // uploads, their resumes after aborts and their second passes are tst_sdk_upload's.)
    void droppedConnectionKeepsArrivedBytes()
    {
        const QByteArray data = RandomBytes(600000, 17);
        const QString vid = PlatformClient::NewVid("drop");
        const QString url = CreateUpload(data.size(), vid);
        QVERIFY(SetPlatformFault("path=" + PlatformClient::PathOf(url).toUtf8() +
                                 ",method=PATCH,drop=250001,times=1"));
        const HttpReply cut = client_.TusPatch(url, 0, data);
        QVERIFY(cut.curlCode != 0 || cut.status == 0);
        const HttpReply head = client_.TusHead(url);
        QCOMPARE(head.status, 200L);
        QCOMPARE(head.Header("Upload-Offset").toLongLong(), 250001LL);
        QCOMPARE(head.Header("Upload-Length").toLongLong(), qint64(data.size()));
        QCOMPARE(head.Header("Cache-Control"), QByteArray("no-store"));
        QCOMPARE(head.Header("Kvr-Crc64").toULongLong(), PlatformClient::Crc64(data.left(250001)));
        QCOMPARE(head.Header("Upload-Metadata"),
                 PlatformClient::TusMetadata(StandardMetadata(vid)));
        const HttpReply rest = client_.TusPatch(url, 250001, data.mid(250001));
        QCOMPARE(rest.status, 204L);
        QCOMPARE(rest.Header("Upload-Offset").toLongLong(), qint64(data.size()));
    }

    void platformRefusals_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<QString>("vid");
        QTest::addColumn<QString>("cataid");
        QTest::addColumn<long>("status");
        QTest::addColumn<int>("code");
        const QString ok = PlatformClient::NewVid("ref");
        QTest::newRow("may not upload")
            << demo::kViewerAppId << demo::kViewerSecret << 100LL << ok << QString() << 403L << 410;
        QTest::newRow("no vid") << appId_ << secret_ << 100LL << QString() << QString() << 400L
                                << 401;
        QTest::newRow("malformed vid")
            << appId_ << secret_ << 100LL << "abc_1"_s << QString() << 400L << 409;
        QTest::newRow("empty file") << appId_ << secret_ << 0LL << ok << QString() << 400L << 406;
        QTest::newRow("unknown category")
            << appId_ << secret_ << 100LL << ok << "999999"_s << 400L << 3001;
        QTest::newRow("no storage left")
            << demo::kOtherAppId << demo::kOtherSecret << 100LL * 1024 * 1024
            << QString(PlatformClient::NewVid("full").left(33) + QLatin1Char('7')) << QString()
            << 413L << 0;
    }

    void platformRefusals()
    {
        QFETCH(QString, appId);
        QFETCH(QString, secret);
        QFETCH(qint64, length);
        QFETCH(QString, vid);
        QFETCH(QString, cataid);
        QFETCH(long, status);
        QFETCH(int, code);
        QMap<QString, QString> metadata;
        if (!vid.isEmpty()) {
            metadata.insert("vid"_s, vid);
        }
        if (!cataid.isEmpty()) {
            metadata.insert("cataid"_s, cataid);
        }
        const HttpReply reply = client_.TusCreate(length, metadata, appId, secret);
        QCOMPARE(reply.status, status);
        QCOMPARE(reply.Header("Kvr-Error-Code").toInt(), code);
    }
};

QTEST_GUILESS_MAIN(TestDevplatformUpload)
#include "tst_devplatform_upload.moc"
