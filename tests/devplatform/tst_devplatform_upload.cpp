// The devplatform's upload endpoint against a running server: tus statuses, signing, offsets
// after interrupted bodies, termination, integrity and the platform's refusals.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QtTest>

#include "DemoSeed.h"
#include "PlatformClient.h"
#include "common/TestLiterals.h"

namespace {

QByteArray RandomBytes(int size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    generator.fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
    return data;
}

QString NewVid(const char* tag)
{
    return QString::fromLatin1(
               QCryptographicHash::hash(
                   QByteArray(tag) + QByteArray::number(QRandomGenerator::global()->generate64()),
                   QCryptographicHash::Md5)
                   .toHex()) +
           "_1"_s;
}

QByteArray Metadata(const QMap<QString, QString>& values)
{
    QList<QByteArray> pairs;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        pairs.append(it.key().toUtf8() + ' ' + it.value().toUtf8().toBase64());
    }
    return pairs.join(',');
}

}  // namespace

class TestDevplatformUpload : public QObject
{
    Q_OBJECT

private:
    PlatformClient client_;
    const QString appId_ = QString::fromLatin1(demo::kMainAppId);
    const QString secret_ = QString::fromLatin1(demo::kMainSecret);

    HttpReply Create(qint64 length, const QMap<QString, QString>& metadata, const QString& appId,
                     const QString& secret) const
    {
        HeaderList headers = PlatformClient::TusHeaders("POST", "/upload/files/"_s, appId, secret,
                                                        {}, QByteArray::number(length));
        headers.append({"Upload-Metadata", Metadata(metadata)});
        return client_.Request("POST", "/upload/files/"_s, headers);
    }

    static QMap<QString, QString> StandardMetadata(const QString& vid)
    {
        return {{"vid"_s, vid}, {"filename"_s, "a.mp4"_s}, {"title"_s, "A title"_s}};
    }

    // Creates an upload in the demo library (by default as the main account) and returns its
    // URL.
    QString CreateUpload(qint64 length, const QString& vid, const QString& appId = {},
                         const QString& secret = {}) const
    {
        const HttpReply reply =
            Create(length, StandardMetadata(vid), appId.isEmpty() ? appId_ : appId,
                   secret.isEmpty() ? secret_ : secret);
        if (reply.status != 201) {
            qWarning() << "creation failed:" << reply.status << reply.body;
            return QString();
        }
        return QString::fromUtf8(reply.Header("Location"));
    }

    HttpReply Patch(const QString& url, qint64 offset, const QByteArray& data,
                    qint64 abortAfter = -1,
                    const QByteArray& contentType = "application/offset+octet-stream") const
    {
        HeaderList headers = PlatformClient::TusHeaders(
            "PATCH", PlatformClient::PathOf(url), appId_, secret_, QByteArray::number(offset));
        headers.append({"Content-Type", contentType});
        return client_.Request("PATCH", url, headers, data, abortAfter);
    }

    HttpReply Head(const QString& url, const QString& appId = {}, const QString& secret = {}) const
    {
        return client_.Request("HEAD", url,
                               PlatformClient::TusHeaders("HEAD", PlatformClient::PathOf(url),
                                                          appId.isEmpty() ? appId_ : appId,
                                                          secret.isEmpty() ? secret_ : secret));
    }

    void AddFault(const QByteArray& rule) const
    {
        const HttpReply reply =
            client_.Request("POST", "/admin/faults"_s, {{"Content-Type", "text/plain"}}, rule);
        QCOMPARE(reply.status, 200L);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(client_.IsConfigured(), "run through with-devplatform");
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }

    void optionsAdvertisesTus()
    {
        const HttpReply reply = client_.Request("OPTIONS", "/upload/files/"_s);
        QCOMPARE(reply.status, 204L);
        QCOMPARE(reply.Header("Tus-Version"), QByteArray("1.0.0"));
        const QList<QByteArray> extensions = reply.Header("Tus-Extension").split(',');
        QVERIFY(extensions.contains("creation"));
        QVERIFY(extensions.contains("termination"));
        QVERIFY(reply.Header("Tus-Max-Size").toLongLong() > 0);
    }

    void signingRefusals_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<qint64>("timeShift");
        QTest::addColumn<int>("code");
        QTest::newRow("wrong secret") << appId_ << "not-the-secret"_s << 0LL << 104;
        QTest::newRow("unknown appId") << "NOSUCHAPP"_s << secret_ << 0LL << 101;
        QTest::newRow("stale timestamp") << appId_ << secret_ << -1000LL << 100;
    }

    void signingRefusals()
    {
        QFETCH(QString, appId);
        QFETCH(QString, secret);
        QFETCH(qint64, timeShift);
        QFETCH(int, code);
        HeaderList headers =
            PlatformClient::TusHeaders("POST", "/upload/files/"_s, appId, secret, {}, "10");
        if (timeShift != 0) {
            // Re-sign with a shifted clock: the signature is right, the time is not.
            for (auto& header : headers) {
                if (header.first == "Kvr-Timestamp") {
                    header.second = QByteArray::number(header.second.toLongLong() + timeShift);
                }
            }
            const QByteArray text =
                "POST\n/upload/files/\n" + headers[2].second + '\n' + headers[3].second + "\n\n10";
            headers[4].second =
                QMessageAuthenticationCode::hash(text, secret.toUtf8(), QCryptographicHash::Sha256)
                    .toHex();
        }
        headers.append({"Upload-Metadata", Metadata({{"vid"_s, NewVid("s")}})});
        const HttpReply reply = client_.Request("POST", "/upload/files/"_s, headers);
        QCOMPARE(reply.status, 401L);
        QCOMPARE(reply.Header("Kvr-Error-Code").toInt(), code);
        QCOMPARE(reply.Json().value("code"_s).toInt(), code);
    }

    void otherTusVersionIs412()
    {
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
        headers.append({"Upload-Metadata", Metadata({{"vid"_s, NewVid("nolen")}})});
        headers.append({"Content-Length", QByteArray()});  // empty: libcurl sends none
        const HttpReply reply = client_.Request("POST", "/upload/files/"_s, headers);
        QCOMPARE(reply.status, 201L);
        QCOMPARE(reply.Header("Upload-Offset"), QByteArray("0"));
        QCOMPARE(Head(QString::fromUtf8(reply.Header("Location"))).status, 200L);
    }

    // A POST with X-HTTP-Method-Override stands for that method (signed as that method).
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
        const QString url = CreateUpload(100, NewVid("override"));
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
        const HttpReply head = Head(url);
        QCOMPARE(head.status, headStatus);
        if (offsetAfter >= 0) {
            QCOMPARE(head.Header("Upload-Offset").toLongLong(), offsetAfter);
        }
    }

    // A signed request is good once: the same nonce again within the window is a replay.
    void nonceRefusals_data()
    {
        QTest::addColumn<bool>("replay");
        QTest::newRow("replayed request") << true;
        QTest::newRow("no nonce") << false;
    }

    void nonceRefusals()
    {
        QFETCH(bool, replay);
        const QString url = CreateUpload(100, NewVid("nonce"));
        const QString path = PlatformClient::PathOf(url);
        HeaderList headers = PlatformClient::TusHeaders("PATCH", path, appId_, secret_, "0");
        headers.append({"Content-Type", QByteArray("application/offset+octet-stream")});
        if (replay) {
            QCOMPARE(client_.Request("PATCH", url, headers, RandomBytes(40, 9)).status, 204L);
        } else {
            headers.removeAt(3);  // Kvr-Nonce, and a signature over an empty one
            const QByteArray text =
                "PATCH\n" + path.toUtf8() + '\n' + headers[2].second + "\n\n0\n";
            headers[3].second =
                QMessageAuthenticationCode::hash(text, secret_.toUtf8(), QCryptographicHash::Sha256)
                    .toHex();
        }
        const HttpReply refused = client_.Request("PATCH", url, headers, RandomBytes(40, 9));
        QCOMPARE(refused.status, 401L);
        QCOMPARE(refused.Header("Kvr-Error-Code").toInt(), 104);
        QCOMPARE(Head(url).Header("Upload-Offset").toLongLong(), replay ? 40LL : 0LL);
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
        const QString viewer = QString::fromLatin1(demo::kViewerAppId);
        const QString viewerSecret = QString::fromLatin1(demo::kViewerSecret);
        const QString uploader = QString::fromLatin1(demo::kUploaderAppId);
        const QString uploaderSecret = QString::fromLatin1(demo::kUploaderSecret);
        for (const QByteArray method : {"HEAD", "PATCH", "DELETE"}) {
            QTest::newRow("viewer sub-account, " + method)
                << appId_ << secret_ << viewer << viewerSecret << method;
        }
        QTest::newRow("uploader sub-account, HEAD")
            << appId_ << secret_ << uploader << uploaderSecret << QByteArray("HEAD");
        QTest::newRow("main account, sub-account's upload, PATCH")
            << uploader << uploaderSecret << appId_ << secret_ << QByteArray("PATCH");
        QTest::newRow("another library, HEAD")
            << appId_ << secret_ << QString::fromLatin1(demo::kOtherAppId)
            << QString::fromLatin1(demo::kOtherSecret) << QByteArray("HEAD");
    }

    void otherAccountsDoNotSeeTheUpload()
    {
        QFETCH(QString, creatorApp);
        QFETCH(QString, creatorSecret);
        QFETCH(QString, otherApp);
        QFETCH(QString, otherSecret);
        QFETCH(QByteArray, method);
        const QString url = CreateUpload(100, NewVid("mine"), creatorApp, creatorSecret);
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
        const HttpReply own = Head(url, creatorApp, creatorSecret);
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
        const QString url = CreateUpload(1000, NewVid("rules"));
        QVERIFY(!url.isEmpty());
        const QByteArray data = RandomBytes(1000, 7);
        QCOMPARE(Patch(url, 0, data.left(10), -1, "application/octet-stream").status, 415L);
        const HttpReply mismatch = Patch(url, 5, data.left(10));
        QCOMPARE(mismatch.status, 409L);
        QCOMPARE(mismatch.Header("Upload-Offset"), QByteArray("0"));
        // More than the announced length is refused and nothing is stored.
        QCOMPARE(Patch(url, 0, data + "x").status, 413L);
        QCOMPARE(Head(url).Header("Upload-Offset"), QByteArray("0"));
        const QString unknown =
            url.left(url.lastIndexOf(QLatin1Char('/')) + 1) + "0123456789abcdef0123456789abcdef"_s;
        QCOMPARE(Head(unknown).status, 404L);
    }

    void uploadInTwoPartsArrivesIdentical()
    {
        const QByteArray data = RandomBytes(3 * 1024 * 1024 + 17, 11);
        const QString vid = NewVid("two");
        const QString url = CreateUpload(data.size(), vid);
        QVERIFY(!url.isEmpty());
        const int half = data.size() / 2;
        const HttpReply first = Patch(url, 0, data.left(half));
        QCOMPARE(first.status, 204L);
        QCOMPARE(first.Header("Upload-Offset").toLongLong(), qint64(half));

        const HttpReply head = Head(url);
        QCOMPARE(head.status, 200L);
        QCOMPARE(head.Header("Upload-Offset").toLongLong(), qint64(half));
        QCOMPARE(head.Header("Upload-Length").toLongLong(), qint64(data.size()));
        QCOMPARE(head.Header("Cache-Control"), QByteArray("no-store"));
        QCOMPARE(head.Header("Kvr-Crc64").toULongLong(), PlatformClient::Crc64(data.left(half)));
        QCOMPARE(head.Header("Upload-Metadata"), Metadata(StandardMetadata(vid)));

        const HttpReply last = Patch(url, half, data.mid(half));
        QCOMPARE(last.status, 204L);
        QCOMPARE(last.Header("Upload-Offset").toLongLong(), qint64(data.size()));
        QCOMPARE(last.Header("Kvr-Crc64").toULongLong(), PlatformClient::Crc64(data));

        const QString id = url.section(QLatin1Char('/'), -1);
        QFile stored(qEnvironmentVariable("KAVRO_DEVPLATFORM_DATA") + "/uploads/"_s + id +
                     ".bin"_s);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QVERIFY(stored.readAll() == data);
    }

    void completeVidFinishesAtCreation()
    {
        const QByteArray data = RandomBytes(4096, 13);
        const QString vid = NewVid("done");
        const QString url = CreateUpload(data.size(), vid);
        QCOMPARE(Patch(url, 0, data).status, 204L);
        const HttpReply again = Create(data.size(), {{"vid"_s, vid}}, appId_, secret_);
        QCOMPARE(again.status, 201L);
        QCOMPARE(again.Header("Upload-Offset").toLongLong(), qint64(data.size()));
    }

    void droppedConnectionKeepsArrivedBytes()
    {
        const QByteArray data = RandomBytes(600000, 17);
        const QString url = CreateUpload(data.size(), NewVid("drop"));
        AddFault("path=" + PlatformClient::PathOf(url).toUtf8() +
                 ",method=PATCH,drop=250001,times=1");
        const HttpReply cut = Patch(url, 0, data);
        QVERIFY(cut.curlCode != 0 || cut.status == 0);
        const HttpReply head = Head(url);
        QCOMPARE(head.Header("Upload-Offset").toLongLong(), 250001LL);
        QCOMPARE(head.Header("Kvr-Crc64").toULongLong(), PlatformClient::Crc64(data.left(250001)));
        const HttpReply rest = Patch(url, 250001, data.mid(250001));
        QCOMPARE(rest.status, 204L);
        QCOMPARE(rest.Header("Kvr-Crc64").toULongLong(), PlatformClient::Crc64(data));
    }

    void clientAbortKeepsArrivedBytes()
    {
        const QByteArray data = RandomBytes(2 * 1024 * 1024, 19);
        const QString url = CreateUpload(data.size(), NewVid("abort"));
        const HttpReply cut = Patch(url, 0, data, 700000);
        QVERIFY(cut.curlCode != 0);
        // The server may still be reading what the broken connection delivered; a client
        // resumes as tus says: HEAD, PATCH from there, and on 409 HEAD again.
        long status = 0;
        for (int attempt = 0; attempt < 5 && status != 204; ++attempt) {
            const HttpReply head = Head(url);
            const qint64 offset = head.Header("Upload-Offset").toLongLong();
            QVERIFY2(offset <= 700000, head.Header("Upload-Offset"));
            QCOMPARE(head.Header("Kvr-Crc64").toULongLong(),
                     PlatformClient::Crc64(data.left(offset)));
            const HttpReply rest = Patch(url, offset, data.mid(offset));
            status = rest.status;
            QVERIFY2(status == 204 || status == 409, rest.body);
            if (status == 204) {
                QCOMPARE(rest.Header("Kvr-Crc64").toULongLong(), PlatformClient::Crc64(data));
            }
        }
        QCOMPARE(status, 204L);
    }

    void terminatedUploadIsGone()
    {
        const QString url = CreateUpload(100, NewVid("del"));
        QCOMPARE(Patch(url, 0, RandomBytes(40, 3)).status, 204L);
        const HttpReply del = client_.Request(
            "DELETE", url,
            PlatformClient::TusHeaders("DELETE", PlatformClient::PathOf(url), appId_, secret_));
        QCOMPARE(del.status, 204L);
        QCOMPARE(Head(url).status, 410L);
        QCOMPARE(Patch(url, 40, RandomBytes(60, 3)).status, 410L);
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
        const QString ok = NewVid("ref");
        QTest::newRow("may not upload")
            << QString::fromLatin1(demo::kViewerAppId) << QString::fromLatin1(demo::kViewerSecret)
            << 100LL << ok << QString() << 403L << 410;
        QTest::newRow("no vid") << appId_ << secret_ << 100LL << QString() << QString() << 400L
                                << 401;
        QTest::newRow("malformed vid")
            << appId_ << secret_ << 100LL << "abc_1"_s << QString() << 400L << 409;
        QTest::newRow("empty file") << appId_ << secret_ << 0LL << ok << QString() << 400L << 406;
        QTest::newRow("unknown category")
            << appId_ << secret_ << 100LL << ok << "999999"_s << 400L << 3001;
        QTest::newRow("no storage left")
            << QString::fromLatin1(demo::kOtherAppId) << QString::fromLatin1(demo::kOtherSecret)
            << 100LL * 1024 * 1024 << QString(NewVid("full").left(33) + QLatin1Char('7'))
            << QString() << 413L << 0;
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
        const HttpReply reply = Create(length, metadata, appId, secret);
        QCOMPARE(reply.status, status);
        QCOMPARE(reply.Header("Kvr-Error-Code").toInt(), code);
    }
};

QTEST_GUILESS_MAIN(TestDevplatformUpload)
#include "tst_devplatform_upload.moc"
