// The devplatform's video endpoints, covers, file host, update service and the processing of
// a finished upload, against a running server with the demo seed.
#include <curl/curl.h>
#include <kavro/Deployment.h>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QThread>
#include <QtTest>

#include "DemoSeed.h"
#include "PlatformClient.h"

namespace {

QString Text(const QJsonValue& value)
{
    return value.toString();
}

// A minimal valid PNG header is enough for the platform's format check.
const QByteArray kPngBytes("\x89PNG\r\n\x1a\n-cover-bytes-", 22);

}  // namespace

class TestDevplatformVideos : public QObject
{
    Q_OBJECT

private:
    PlatformClient client_;
    const QString appId_ = QString::fromLatin1(demo::kMainAppId);
    const QString secret_ = QString::fromLatin1(demo::kMainSecret);

    QJsonObject List(const QMap<QString, QString>& extra, int* errorCode = nullptr) const
    {
        QMap<QString, QString> params{{QStringLiteral("cateId"), QStringLiteral("1")},
                                      {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                                      {QStringLiteral("page"), QStringLiteral("1")},
                                      {QStringLiteral("pageSize"), QStringLiteral("100")}};
        for (auto it = extra.constBegin(); it != extra.constEnd(); ++it) {
            params.insert(it.key(), it.value());
        }
        const HttpReply reply =
            client_.SignedGet(QStringLiteral("/v3/video/list-video"), params, appId_, secret_);
        if (errorCode) {
            *errorCode = reply.ErrorCode();
        }
        return reply.Json().value(QStringLiteral("data")).toObject();
    }

    QStringList Vids(const QJsonObject& page) const
    {
        QStringList vids;
        for (const QJsonValue& item : page.value(QStringLiteral("contents")).toArray()) {
            vids.append(item.toObject().value(QStringLiteral("vid")).toString());
        }
        return vids;
    }

    QJsonArray Info(const QString& vids, const QString& filter, int* errorCode = nullptr) const
    {
        const HttpReply reply = client_.SignedGet(
            QStringLiteral("/v3/video/get-video-info"),
            {{QStringLiteral("vids"), vids}, {QStringLiteral("filter"), filter}}, appId_, secret_);
        if (errorCode) {
            *errorCode = reply.ErrorCode();
        }
        return reply.Json().value(QStringLiteral("data")).toArray();
    }

    QJsonObject Basic(const QString& vid) const
    {
        const QJsonArray items = Info(vid, QStringLiteral("basicInfo"));
        return items.isEmpty() ? QJsonObject()
                               : items[0].toObject().value(QStringLiteral("basicInfo")).toObject();
    }

    // A released video of the demo library with its snapshots.
    QString ReleasedVid() const
    {
        for (const QJsonValue& item : List({}).value(QStringLiteral("contents")).toArray()) {
            const QJsonObject o = item.toObject();
            if (o.value(QStringLiteral("basicInfo"))
                    .toObject()
                    .value(QStringLiteral("status"))
                    .toInt() == 60) {
                return o.value(QStringLiteral("vid")).toString();
            }
        }
        return QString();
    }

    int Post(const QString& path, const QMap<QString, QString>& params) const
    {
        return client_.SignedPost(path, params, appId_, secret_).ErrorCode();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(client_.IsConfigured(), "run through with-devplatform");
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }

    void paging_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<int>("count");
        QTest::newRow("first") << 1 << 7 << 7;
        QTest::newRow("last, partial") << 6 << 7 << 5;
        QTest::newRow("past the end") << 7 << 7 << 0;
        QTest::newRow("one page") << 1 << 40 << 40;
    }

    void paging()
    {
        QFETCH(int, page);
        QFETCH(int, pageSize);
        QFETCH(int, count);
        const QJsonObject data = List({{QStringLiteral("page"), QString::number(page)},
                                       {QStringLiteral("pageSize"), QString::number(pageSize)}});
        QCOMPARE(data.value(QStringLiteral("totalItems")).toInt(), 40);
        QCOMPARE(data.value(QStringLiteral("totalPages")).toInt(), (40 + pageSize - 1) / pageSize);
        QCOMPARE(data.value(QStringLiteral("pageNumber")).toInt(), page);
        QCOMPARE(data.value(QStringLiteral("pageSize")).toInt(), pageSize);
        QCOMPARE(data.value(QStringLiteral("contents")).toArray().size(), count);
    }

    void pagesDoNotOverlap()
    {
        QStringList all;
        for (int page = 1; page <= 6; ++page) {
            all += Vids(List({{QStringLiteral("page"), QString::number(page)},
                              {QStringLiteral("pageSize"), QStringLiteral("7")}}));
        }
        QCOMPARE(all.size(), 40);
        all.removeDuplicates();
        QCOMPARE(all.size(), 40);
    }

    void sorting_data()
    {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("ascending");
        QTest::newRow("creation desc") << "creationTimeDesc"
                                       << "creationTime" << false;
        QTest::newRow("creation asc") << "creationTimeAsc"
                                      << "creationTime" << true;
        QTest::newRow("title desc") << "titleDesc"
                                    << "title" << false;
        QTest::newRow("title asc") << "titleAsc"
                                   << "title" << true;
    }

    void sorting()
    {
        QFETCH(QString, sort);
        QFETCH(QString, field);
        QFETCH(bool, ascending);
        QStringList values;
        for (const QJsonValue& item :
             List({{QStringLiteral("sort"), sort}}).value(QStringLiteral("contents")).toArray()) {
            values.append(
                Text(item.toObject().value(QStringLiteral("basicInfo")).toObject().value(field)));
        }
        QCOMPARE(values.size(), 40);
        QStringList sorted = values;
        std::sort(sorted.begin(), sorted.end());
        if (!ascending) {
            std::reverse(sorted.begin(), sorted.end());
        }
        QCOMPARE(values, sorted);
        QVERIFY(values.first() != values.last());
    }

    void filters_data()
    {
        QTest::addColumn<QString>("cateId");
        QTest::addColumn<QString>("sub");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("total");
        QTest::newRow("title part") << "1"
                                    << "Y"
                                    << "video 1" << 10;
        QTest::newRow("title is literal") << "1"
                                          << "Y"
                                          << "video %" << 0;
        QTest::newRow("top only") << "1"
                                  << "N"
                                  << "" << 3;
        QTest::newRow("subtree") << "5"
                                 << "Y"
                                 << "" << 9;
        QTest::newRow("category only") << "5"
                                       << "N"
                                       << "" << 3;
    }

    void filters()
    {
        QFETCH(QString, cateId);
        QFETCH(QString, sub);
        QFETCH(QString, title);
        QFETCH(int, total);
        QMap<QString, QString> params{{QStringLiteral("cateId"), cateId},
                                      {QStringLiteral("containSubCate"), sub}};
        if (!title.isEmpty()) {
            params.insert(QStringLiteral("title"), title);
        }
        const QJsonObject data = List(params);
        QCOMPARE(data.value(QStringLiteral("totalItems")).toInt(), total);
        for (const QJsonValue& item : data.value(QStringLiteral("contents")).toArray()) {
            QVERIFY(Text(item.toObject()
                             .value(QStringLiteral("basicInfo"))
                             .toObject()
                             .value(QStringLiteral("title")))
                        .contains(title));
        }
    }

    void listRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("code");
        QTest::newRow("page size 0") << "pageSize"
                                     << "0" << 1114;
        QTest::newRow("page 0") << "page"
                                << "0" << 1114;
        QTest::newRow("containSubCate X") << "containSubCate"
                                          << "X" << 1122;
        QTest::newRow("unknown sort") << "sort"
                                      << "random" << 4001;
        QTest::newRow("missing category") << "cateId"
                                          << "999999" << 3001;
        QTest::newRow("another library's category") << "cateId"
                                                    << "16" << 3001;
        QTest::newRow("NUL in title filter")
            << "title" << QStringLiteral("video") + QChar(0) + QStringLiteral("1") << 1100;
    }

    void listRefusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(int, code);
        int errorCode = 0;
        List({{name, value}}, &errorCode);
        QCOMPARE(errorCode, code);
    }

    void videoInfoParts()
    {
        const QString vid = ReleasedVid();
        QVERIFY(!vid.isEmpty());
        const QJsonArray all =
            Info(vid + QStringLiteral(",0123456789abcdef0123456789abcdef_1"),
                 QStringLiteral("basicInfo,snapshotInfo,transcodeInfo,metaData"));
        QCOMPARE(all.size(), 1);  // the unknown vid is left out
        const QJsonObject item = all[0].toObject();
        QCOMPARE(item.value(QStringLiteral("vid")).toString(), vid);
        QVERIFY(item.value(QStringLiteral("basicInfo")).isObject());
        const QJsonObject snapshots = item.value(QStringLiteral("snapshotInfo")).toObject();
        QCOMPARE(snapshots.value(QStringLiteral("imageUrl")).toArray().size(), 6);
        QCOMPARE(snapshots.value(QStringLiteral("bigImageUrl")).toArray().size(), 6);
        QVERIFY(!item.value(QStringLiteral("transcodeInfos")).toArray().isEmpty());
        QVERIFY(
            item.value(QStringLiteral("metaData")).toObject().contains(QStringLiteral("codec")));

        const QJsonObject basicOnly = Info(vid, QStringLiteral("basicInfo"))[0].toObject();
        QVERIFY(!basicOnly.contains(QStringLiteral("snapshotInfo")));
        int code = 0;
        Info(vid, QStringLiteral("basicInfo,bogus"), &code);
        QCOMPARE(code, 4001);
        Info(QString(), QStringLiteral("basicInfo"), &code);
        QCOMPARE(code, 401);
        QStringList many;
        for (int i = 0; i < 101; ++i) {
            many.append(QStringLiteral("%1_1").arg(i, 32, 10, QLatin1Char('0')));
        }
        Info(many.join(QLatin1Char(',')), QStringLiteral("basicInfo"), &code);
        QCOMPARE(code, 4004);
    }

    void updateInfo()
    {
        const QString vid = ReleasedVid();
        const QString title = QString::fromUtf8("Neuer Titel \xe6\xa0\x87\xe9\xa2\x98");
        QCOMPARE(Post(QStringLiteral("/v3/video/update-info"),
                      {{QStringLiteral("vid"), vid},
                       {QStringLiteral("title"), QStringLiteral("  ")},
                       {QStringLiteral("tag"), QString()},
                       {QStringLiteral("describ"), QString()}}),
                 402);
        QCOMPARE(Post(QStringLiteral("/v3/video/update-info"),
                      {{QStringLiteral("vid"), vid},
                       {QStringLiteral("title"), title},
                       {QStringLiteral("tag"), QStringLiteral("a,b")},
                       {QStringLiteral("describ"), QStringLiteral("d & e = f")}}),
                 0);
        const QJsonObject basic = Basic(vid);
        QCOMPARE(basic.value(QStringLiteral("title")).toString(), title);
        QCOMPARE(basic.value(QStringLiteral("tags")).toString(), QStringLiteral("a,b"));
        QCOMPARE(basic.value(QStringLiteral("description")).toString(),
                 QStringLiteral("d & e = f"));
        QCOMPARE(
            Post(QStringLiteral("/v3/video/update-info"),
                 {{QStringLiteral("vid"), QStringLiteral("0123456789abcdef0123456789abcdef_1")},
                  {QStringLiteral("title"), QStringLiteral("x")}}),
            4000);
    }

    void moveAndDelete()
    {
        const QStringList vids =
            Vids(List({{QStringLiteral("cateId"), QStringLiteral("13")},
                       {QStringLiteral("containSubCate"), QStringLiteral("N")}}));
        QVERIFY(vids.size() >= 2);
        // One unknown vid refuses the whole move.
        QCOMPARE(Post(QStringLiteral("/v3/video/update-category"),
                      {{QStringLiteral("vids"),
                        vids[0] + QStringLiteral(",ffffffffffffffffffffffffffffffff_1")},
                       {QStringLiteral("cateId"), QStringLiteral("4")}}),
                 4000);
        QCOMPARE(Basic(vids[0]).value(QStringLiteral("cateId")).toInt(), 13);
        QCOMPARE(Post(QStringLiteral("/v3/video/update-category"),
                      {{QStringLiteral("vids"), vids.mid(0, 2).join(QLatin1Char(','))},
                       {QStringLiteral("cateId"), QStringLiteral("999999")}}),
                 3001);
        QCOMPARE(Post(QStringLiteral("/v3/video/update-category"),
                      {{QStringLiteral("vids"), vids.mid(0, 2).join(QLatin1Char(','))},
                       {QStringLiteral("cateId"), QStringLiteral("4")}}),
                 0);
        QCOMPARE(Basic(vids[1]).value(QStringLiteral("cateId")).toInt(), 4);
        QCOMPARE(Basic(vids[1]).value(QStringLiteral("cateName")).toString(),
                 QStringLiteral("Archive"));

        QCOMPARE(Post(QStringLiteral("/v3/video/delete-video"), {{QStringLiteral("vid"), vids[0]}}),
                 0);
        QVERIFY(Info(vids[0], QStringLiteral("basicInfo")).isEmpty());
        QCOMPARE(Post(QStringLiteral("/v3/video/delete-video"), {{QStringLiteral("vid"), vids[0]}}),
                 4000);
        QCOMPARE(List({}).value(QStringLiteral("totalItems")).toInt(), 39);
    }

    void changeCoverToSnapshot()
    {
        const QString vid = ReleasedVid();
        const QJsonObject item = Info(vid, QStringLiteral("snapshotInfo"))[0].toObject();
        const QJsonObject snapshots = item.value(QStringLiteral("snapshotInfo")).toObject();
        const QString small = snapshots.value(QStringLiteral("imageUrl")).toArray()[2].toString();
        const QString big = snapshots.value(QStringLiteral("bigImageUrl")).toArray()[2].toString();
        const HttpReply reply = client_.SignedPost(
            QStringLiteral("/v3/video/change-cover-image"),
            {{QStringLiteral("vid"), vid}, {QStringLiteral("imgUrl"), small}}, appId_, secret_);
        QCOMPARE(reply.ErrorCode(), 0);
        const QJsonObject data = reply.Json().value(QStringLiteral("data")).toObject();
        QCOMPARE(data.value(QStringLiteral("imageUrlBig")).toString(), big);
        QCOMPARE(data.value(QStringLiteral("imageUrlSmall")).toString(), small);
        QCOMPARE(Basic(vid).value(QStringLiteral("coverURL")).toString(), big);
        QCOMPARE(
            Post(QStringLiteral("/v3/video/change-cover-image"),
                 {{QStringLiteral("vid"), vid},
                  {QStringLiteral("imgUrl"), QStringLiteral("https://elsewhere.example/a.png")}}),
            1100);
        // The picture behind the URL is served.
        const HttpReply picture = client_.Request("GET", big);
        QCOMPARE(picture.status, 200L);
        QVERIFY(picture.body.startsWith("\x89PNG"));
    }

    void uploadCover_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("code");
        QTest::newRow("png") << kPngBytes << 0;
        QTest::newRow("jpeg") << QByteArray("\xff\xd8\xff\xe0 jpeg body") << 0;
        QTest::newRow("text") << QByteArray("just some text") << 1100;
        QTest::newRow("over 5 MB") << (kPngBytes + QByteArray(5 * 1024 * 1024, 'x')) << 415;
    }

    void uploadCover()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, code);
        const QString vid = ReleasedVid();
        const HttpReply reply = client_.SignedMultipart(
            QStringLiteral("/v3/video/upload-cover-image"), {{QStringLiteral("vids"), vid}}, appId_,
            secret_, "imageFile", QStringLiteral("cover.bin"), content);
        QCOMPARE(reply.ErrorCode(), code);
        if (code == 0) {
            const QString url = reply.Json()
                                    .value(QStringLiteral("data"))
                                    .toObject()
                                    .value(QStringLiteral("imageUrlBig"))
                                    .toString();
            QCOMPARE(Basic(vid).value(QStringLiteral("coverURL")).toString(), url);
            QCOMPARE(client_.Request("GET", url).body, content);
        }
    }

    void fileHostRefusesMissingFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("unknown") << "/files/nothing/here.png";
        QTest::newRow("escape") << "/files/../devplatform.db";
        QTest::newRow("picture of unknown video")
            << "/files/1d3e5a7c9b/ffffffffffffffffffffffffffffffff_1/cover.png";
        QTest::newRow("seventh snapshot") << "";
    }

    void fileHostRefusesMissingFiles()
    {
        QFETCH(QString, path);
        if (path.isEmpty()) {
            const QString vid = ReleasedVid();
            path = QStringLiteral("/files/%1/%2/snap_6.png")
                       .arg(QLatin1String(demo::kMainUserId), vid);
        }
        QCOMPARE(client_.Request("GET", path).status, 404L);
    }

    void updateServiceChecksItsSignature()
    {
        QMap<QString, QString> params{
            {QStringLiteral("user_id"), QString::fromLatin1(kavro::deployment::kUpdateUserId)},
            {QStringLiteral("appId"), QString()},
            {QStringLiteral("project_name"), QStringLiteral("kavroUploadClient")},
            {QStringLiteral("project_type"), QStringLiteral("pc64")},
            {QStringLiteral("timestamp"), QString::number(QDateTime::currentMSecsSinceEpoch())}};
        const QString salt = QString::fromLatin1(kavro::deployment::kUpdateSaltHead) +
                             QString::fromLatin1(kavro::deployment::kUpdateSaltTail);
        QString text = salt;
        for (auto it = params.constBegin(); it != params.constEnd(); ++it) {
            text += it.key().toLower() + it.value().toLower();
        }
        text += salt;
        auto body = [&](const QString& sign) {
            QMap<QString, QString> signedParams = params;
            signedParams.insert(QStringLiteral("sign"), sign);
            QStringList pairs;
            for (auto it = signedParams.constBegin(); it != signedParams.constEnd(); ++it) {
                pairs.append(QStringLiteral("\"%1\":\"%2\"").arg(it.key(), it.value()));
            }
            return (QLatin1Char('{') + pairs.join(QLatin1Char(',')) + QLatin1Char('}')).toUtf8();
        };
        const QString sign = QString::fromLatin1(
            QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
        const HttpReply good =
            client_.Request("POST", QString::fromLatin1(kavro::deployment::kUpdateCheckPath),
                            {{"Content-Type", "application/json"}}, body(sign));
        const QJsonObject answer = good.Json();
        QCOMPARE(answer.value(QStringLiteral("code")).toInt(), 200);
        QCOMPARE(answer.value(QStringLiteral("message")).toString(), QStringLiteral("success"));
        QCOMPARE(answer.value(QStringLiteral("project_version")).toString(),
                 QStringLiteral("2.4.2"));
        QVERIFY(answer.value(QStringLiteral("project_download"))
                    .toString()
                    .startsWith(client_.BaseUrl()));
        const HttpReply bad =
            client_.Request("POST", QString::fromLatin1(kavro::deployment::kUpdateCheckPath),
                            {{"Content-Type", "application/json"}}, body(QStringLiteral("0BAD")));
        QCOMPARE(bad.Json().value(QStringLiteral("status")).toString(), QStringLiteral("failed"));
        QVERIFY(bad.Json().value(QStringLiteral("code")).toInt() != 200);
    }

    void finishedUploadIsProcessed()
    {
        const QByteArray data(300000, 'k');
        const QString vid =
            QString::fromLatin1(
                QCryptographicHash::hash("processing", QCryptographicHash::Md5).toHex()) +
            QStringLiteral("_1");
        HeaderList create =
            PlatformClient::TusHeaders("POST", QStringLiteral("/upload/files/"), appId_, secret_,
                                       {}, QByteArray::number(data.size()));
        create.append({"Upload-Metadata", "vid " + vid.toUtf8().toBase64() + ",title " +
                                              QByteArray("Processed").toBase64() + ",cataid " +
                                              QByteArray("3").toBase64()});
        const HttpReply created = client_.Request("POST", QStringLiteral("/upload/files/"), create);
        QCOMPARE(created.status, 201L);
        QCOMPARE(Basic(vid).value(QStringLiteral("status")).toInt(), 5);
        const QString url = QString::fromUtf8(created.Header("Location"));
        HeaderList patch =
            PlatformClient::TusHeaders("PATCH", PlatformClient::PathOf(url), appId_, secret_, "0");
        patch.append(
            qMakePair(QByteArray("Content-Type"), QByteArray("application/offset+octet-stream")));
        QCOMPARE(client_.Request("PATCH", url, patch, data).status, 204L);

        QJsonObject basic;
        for (int i = 0; i < 100; ++i) {
            basic = Basic(vid);
            if (basic.value(QStringLiteral("status")).toInt() == 60) {
                break;
            }
            QThread::msleep(100);
        }
        QCOMPARE(basic.value(QStringLiteral("status")).toInt(), 60);
        QCOMPARE(basic.value(QStringLiteral("cateId")).toInt(), 3);
        QCOMPARE(basic.value(QStringLiteral("size")).toInt(), data.size());
        QCOMPARE(
            basic.value(QStringLiteral("md5Checksum")).toString(),
            QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex()));
        const HttpReply thumb =
            client_.Request("GET", basic.value(QStringLiteral("thumbnailURL")).toString());
        QCOMPARE(thumb.status, 200L);
        QVERIFY(thumb.body.startsWith("\x89PNG"));
    }
};

QTEST_GUILESS_MAIN(TestDevplatformVideos)
#include "tst_devplatform_videos.moc"
