// The devplatform's video endpoints, covers, file host, update service and the processing of
// a finished upload, against a running server with the demo seed.
#include <curl/curl.h>
#include <kavro/Deployment.h>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include "PlatformClient.h"
#include "common/DemoSeed.h"
#include "common/TestLiterals.h"

namespace {

const QString kUnknownVid = QStringLiteral("0123456789abcdef0123456789abcdef_1");

// A minimal valid PNG header is enough for the platform's format check.
const QByteArray kPngBytes("\x89PNG\r\n\x1a\n-cover-bytes-", 22);

}  // namespace

class TestDevplatformVideos : public QObject
{
    Q_OBJECT

private:
    PlatformClient client_;

    // The demo library's whole list (one page of 100), with the parameters of extra.
    HttpReply List(const QMap<QString, QString>& extra) const
    {
        QMap<QString, QString> params{{"cateId"_s, "1"_s},
                                      {"containSubCate"_s, "Y"_s},
                                      {"page"_s, "1"_s},
                                      {"pageSize"_s, "100"_s}};
        for (auto it = extra.constBegin(); it != extra.constEnd(); ++it) {
            params.insert(it.key(), it.value());
        }
        return client_.SignedGet("/v3/video/list-video"_s, params);
    }

    QStringList Vids(const QJsonObject& page) const
    {
        QStringList vids;
        for (const QJsonValue& item : page.value("contents"_s).toArray()) {
            vids.append(item.toObject().value("vid"_s).toString());
        }
        return vids;
    }

    QJsonArray Info(const QString& vids, const QString& filter, int* errorCode = nullptr) const
    {
        const HttpReply reply = client_.SignedGet("/v3/video/get-video-info"_s,
                                                  {{"vids"_s, vids}, {"filter"_s, filter}});
        if (errorCode) {
            *errorCode = reply.ErrorCode();
        }
        return reply.Json().value("data"_s).toArray();
    }

    QJsonObject Basic(const QString& vid) const
    {
        const QJsonArray items = Info(vid, "basicInfo"_s);
        return items.isEmpty() ? QJsonObject()
                               : items[0].toObject().value("basicInfo"_s).toObject();
    }

    // A released video of the demo library with its snapshots.
    QString ReleasedVid() const
    {
        for (const QJsonValue& item : List({}).Data().value("contents"_s).toArray()) {
            const QJsonObject o = item.toObject();
            if (o.value("basicInfo"_s).toObject().value("status"_s).toInt() == 60) {
                return o.value("vid"_s).toString();
            }
        }
        return QString();
    }

    int Post(const QString& path, const QMap<QString, QString>& params) const
    {
        return client_.SignedPost(path, params).ErrorCode();
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
        QTest::newRow("middle") << 3 << 7 << 7;
        QTest::newRow("last, partial") << 6 << 7 << 5;
        QTest::newRow("past the end") << 7 << 7 << 0;
        QTest::newRow("one page") << 1 << 40 << 40;
    }

    void paging()
    {
        QFETCH(int, page);
        QFETCH(int, pageSize);
        QFETCH(int, count);
        const QJsonObject data =
            List({{"page"_s, QString::number(page)}, {"pageSize"_s, QString::number(pageSize)}})
                .Data();
        QCOMPARE(data.value("totalItems"_s).toInt(), 40);
        QCOMPARE(data.value("totalPages"_s).toInt(), (40 + pageSize - 1) / pageSize);
        QCOMPARE(data.value("pageNumber"_s).toInt(), page);
        QCOMPARE(data.value("pageSize"_s).toInt(), pageSize);
        // The page is its slice of the whole list: pages neither overlap nor leave gaps.
        QStringList all = Vids(List({}).Data());
        QCOMPARE(all.removeDuplicates(), 0);
        QCOMPARE(all.size(), 40);
        QCOMPARE(Vids(data), all.mid((page - 1) * pageSize, count));
    }

    void sorting_data()
    {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("ascending");
        for (const char* field : {"creationTime", "title"}) {
            const QString name = QString::fromLatin1(field);
            QTest::addRow("%s desc", field) << name + "Desc"_s << name << false;
            QTest::addRow("%s asc", field) << name + "Asc"_s << name << true;
        }
    }

    void sorting()
    {
        QFETCH(QString, sort);
        QFETCH(QString, field);
        QFETCH(bool, ascending);
        QStringList values;
        for (const QJsonValue& item :
             List({{"sort"_s, sort}}).Data().value("contents"_s).toArray()) {
            values.append(item.toObject().value("basicInfo"_s).toObject().value(field).toString());
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
        QTest::addColumn<int>("cateId");
        QTest::addColumn<bool>("sub");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("total");
        QTest::newRow("title part") << 1 << true << "video 1"_s << 10;
        QTest::newRow("title is literal") << 1 << true << "video %"_s << 0;
        QTest::newRow("top only") << 1 << false << QString() << 3;
        QTest::newRow("subtree") << 5 << true << QString() << 9;
        QTest::newRow("category only") << 5 << false << QString() << 3;
    }

    void filters()
    {
        QFETCH(int, cateId);
        QFETCH(bool, sub);
        QFETCH(QString, title);
        QFETCH(int, total);
        QMap<QString, QString> params{{"cateId"_s, QString::number(cateId)},
                                      {"containSubCate"_s, sub ? "Y"_s : "N"_s}};
        if (!title.isEmpty()) {
            params.insert("title"_s, title);
        }
        const QJsonObject data = List(params).Data();
        QCOMPARE(data.value("totalItems"_s).toInt(), total);
        for (const QJsonValue& item : data.value("contents"_s).toArray()) {
            QVERIFY(item.toObject()
                        .value("basicInfo"_s)
                        .toObject()
                        .value("title"_s)
                        .toString()
                        .contains(title));
        }
    }

    void listRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("code");
        const auto row = [](const char* tag, const char* name, const QString& value, int code) {
            QTest::newRow(tag) << QString::fromLatin1(name) << value << code;
        };
        row("page size 0", "pageSize", "0"_s, 1114);
        row("page 0", "page", "0"_s, 1114);
        row("containSubCate X", "containSubCate", "X"_s, 1122);
        row("unknown sort", "sort", "random"_s, 4001);
        row("missing category", "cateId", "999999"_s, 3001);
        row("another library's category", "cateId", "16"_s, 3001);
        row("NUL in title filter", "title", "video"_s + QChar(0) + "1"_s, 1100);
    }

    void listRefusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(int, code);
        QCOMPARE(List({{name, value}}).ErrorCode(), code);
    }

    void videoInfoParts()
    {
        const QString vid = ReleasedVid();
        QVERIFY(!vid.isEmpty());
        const QJsonArray all = Info(vid + ",0123456789abcdef0123456789abcdef_1"_s,
                                    "basicInfo,snapshotInfo,transcodeInfo,metaData"_s);
        QCOMPARE(all.size(), 1);  // the unknown vid is left out
        const QJsonObject item = all[0].toObject();
        QCOMPARE(item.value("vid"_s).toString(), vid);
        QVERIFY(item.value("basicInfo"_s).isObject());
        const QJsonObject snapshots = item.value("snapshotInfo"_s).toObject();
        QCOMPARE(snapshots.value("imageUrl"_s).toArray().size(), 6);
        QCOMPARE(snapshots.value("bigImageUrl"_s).toArray().size(), 6);
        QVERIFY(!item.value("transcodeInfos"_s).toArray().isEmpty());
        QVERIFY(item.value("metaData"_s).toObject().contains("codec"_s));

        const QJsonObject basicOnly = Info(vid, "basicInfo"_s)[0].toObject();
        QVERIFY(!basicOnly.contains("snapshotInfo"_s));
        int code = 0;
        Info(vid, "basicInfo,bogus"_s, &code);
        QCOMPARE(code, 4001);
        Info(QString(), "basicInfo"_s, &code);
        QCOMPARE(code, 401);
        QStringList many;
        for (int i = 0; i < 101; ++i) {
            many.append("%1_1"_s.arg(i, 32, 10, QLatin1Char('0')));
        }
        Info(many.join(QLatin1Char(',')), "basicInfo"_s, &code);
        QCOMPARE(code, 4004);
    }

    void updateInfo()
    {
        const QString vid = ReleasedVid();
        const QString title = QString::fromUtf8("Neuer Titel \xe6\xa0\x87\xe9\xa2\x98");
        QCOMPARE(Post("/v3/video/update-info"_s, {{"vid"_s, vid}, {"title"_s, "  "_s}}), 402);
        QCOMPARE(Post("/v3/video/update-info"_s, {{"vid"_s, vid},
                                                  {"title"_s, title},
                                                  {"tag"_s, "a,b"_s},
                                                  {"describ"_s, "d & e = f"_s}}),
                 0);
        const QJsonObject basic = Basic(vid);
        QCOMPARE(basic.value("title"_s).toString(), title);
        QCOMPARE(basic.value("tags"_s).toString(), "a,b"_s);
        QCOMPARE(basic.value("description"_s).toString(), "d & e = f"_s);
        QCOMPARE(Post("/v3/video/update-info"_s, {{"vid"_s, kUnknownVid}, {"title"_s, "x"_s}}),
                 4000);
    }

    void moveAndDelete()
    {
        const QStringList vids =
            Vids(List({{"cateId"_s, "13"_s}, {"containSubCate"_s, "N"_s}}).Data());
        QVERIFY(vids.size() >= 2);
        // One unknown vid refuses the whole move.
        QCOMPARE(Post("/v3/video/update-category"_s,
                      {{"vids"_s, vids[0] + ",ffffffffffffffffffffffffffffffff_1"_s},
                       {"cateId"_s, "4"_s}}),
                 4000);
        QCOMPARE(Basic(vids[0]).value("cateId"_s).toInt(), 13);
        const QString two = vids.mid(0, 2).join(QLatin1Char(','));
        QCOMPARE(Post("/v3/video/update-category"_s, {{"vids"_s, two}, {"cateId"_s, "999999"_s}}),
                 3001);
        QCOMPARE(Post("/v3/video/update-category"_s, {{"vids"_s, two}, {"cateId"_s, "4"_s}}), 0);
        QCOMPARE(Basic(vids[1]).value("cateId"_s).toInt(), 4);
        QCOMPARE(Basic(vids[1]).value("cateName"_s).toString(), "Archive"_s);

        QCOMPARE(Post("/v3/video/delete-video"_s, {{"vid"_s, vids[0]}}), 0);
        QVERIFY(Info(vids[0], "basicInfo"_s).isEmpty());
        QCOMPARE(Post("/v3/video/delete-video"_s, {{"vid"_s, vids[0]}}), 4000);
        QCOMPARE(List({}).Data().value("totalItems"_s).toInt(), 39);
    }

    void changeCoverToSnapshot()
    {
        const QString vid = ReleasedVid();
        const QJsonObject item = Info(vid, "snapshotInfo"_s)[0].toObject();
        const QJsonObject snapshots = item.value("snapshotInfo"_s).toObject();
        const QString small = snapshots.value("imageUrl"_s).toArray()[2].toString();
        const QString big = snapshots.value("bigImageUrl"_s).toArray()[2].toString();
        const HttpReply reply = client_.SignedPost("/v3/video/change-cover-image"_s,
                                                   {{"vid"_s, vid}, {"imgUrl"_s, small}});
        QCOMPARE(reply.ErrorCode(), 0);
        const QJsonObject data = reply.Data();
        QCOMPARE(data.value("imageUrlBig"_s).toString(), big);
        QCOMPARE(data.value("imageUrlSmall"_s).toString(), small);
        QCOMPARE(Basic(vid).value("coverURL"_s).toString(), big);
        QCOMPARE(Post("/v3/video/change-cover-image"_s,
                      {{"vid"_s, vid}, {"imgUrl"_s, "https://elsewhere.example/a.png"_s}}),
                 1100);
        QCOMPARE(
            Post("/v3/video/change-cover-image"_s, {{"vid"_s, kUnknownVid}, {"imgUrl"_s, small}}),
            4000);
        // The picture behind the URL is served.
        const HttpReply picture = client_.Request("GET", big);
        QCOMPARE(picture.status, 200L);
        QVERIFY(picture.body.startsWith("\x89PNG"));
    }

    void uploadCover_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("known");
        QTest::addColumn<int>("code");
        QTest::newRow("png") << kPngBytes << true << 0;
        QTest::newRow("jpeg") << QByteArray("\xff\xd8\xff\xe0 jpeg body") << true << 0;
        QTest::newRow("text") << QByteArray("just some text") << true << 1100;
        QTest::newRow("over 5 MB") << (kPngBytes + QByteArray(5 * 1024 * 1024, 'x')) << true << 415;
        QTest::newRow("unknown video") << kPngBytes << false << 4000;
    }

    void uploadCover()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, known);
        QFETCH(int, code);
        const QString vid = known ? ReleasedVid() : kUnknownVid;
        const HttpReply reply =
            client_.SignedMultipart("/v3/video/upload-cover-image"_s, {{"vids"_s, vid}},
                                    "imageFile", "cover.bin"_s, content);
        QCOMPARE(reply.ErrorCode(), code);
        if (code == 0) {
            const QString url = reply.Data().value("imageUrlBig"_s).toString();
            QCOMPARE(Basic(vid).value("coverURL"_s).toString(), url);
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
            path = "/files/%1/%2/snap_6.png"_s.arg(demo::kMainUserId, vid);
        }
        QCOMPARE(client_.Request("GET", path).status, 404L);
    }

    // The Linux client's own check is tst_api_platform's: a Windows client is offered the
    // installer, and a wrong signature is refused.
    void updateServiceChecksItsSignature()
    {
        QJsonObject request{
            {"user_id"_s, QString::fromLatin1(kavro::deployment::kUpdateUserId)},
            {"appId"_s, QString()},
            {"project_name"_s, "kavroUploadClient"_s},
            {"project_type"_s, QString::fromLatin1(kavro::deployment::kUpdateProjectTypeWindows)},
            {"timestamp"_s, QString::number(QDateTime::currentMSecsSinceEpoch())}};
        const QString salt = QString::fromLatin1(kavro::deployment::kUpdateSaltHead) +
                             QString::fromLatin1(kavro::deployment::kUpdateSaltTail);
        QString text = salt;
        for (auto it = request.constBegin(); it != request.constEnd(); ++it) {
            text += it.key().toLower() + it.value().toString().toLower();
        }
        text += salt;
        auto check = [&](const QByteArray& sign) {
            request.insert("sign"_s, QString::fromLatin1(sign));
            const QByteArray body = QJsonDocument(request).toJson(QJsonDocument::Compact);
            return client_
                .Request("POST", QString::fromLatin1(kavro::deployment::kUpdateCheckPath),
                         {{"Content-Type", "application/json"}}, body)
                .Json();
        };
        const QJsonObject answer = check(
            QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
        QCOMPARE(answer.value("project_download"_s).toString(),
                 client_.BaseUrl() + "/files/installer/"_s +
                     QLatin1String(kavro::deployment::kInstallerName));
        const QJsonObject refused = check("0BAD");
        QCOMPARE(refused.value("status"_s).toString(), "failed"_s);
        QVERIFY(refused.value("code"_s).toInt() != 200);
    }

    void infoPagesServed_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("agreement") << "/pages/agreement"_s
                                   << "用户服务协议"_s;
        QTest::newRow("help") << "/pages/help"_s
                              << "帮助中心"_s;
        QTest::newRow("feedback") << "/pages/feedback"_s
                                  << "意见反馈"_s;
    }

    // The pages behind the client's user-agreement, Help and Feedback links.
    void infoPagesServed()
    {
        QFETCH(QString, path);
        QFETCH(QString, title);
        const HttpReply reply = client_.Request("GET", path);
        QCOMPARE(reply.status, 200L);
        QVERIFY(reply.Header("Content-Type").startsWith("text/html"));
        QVERIFY(QString::fromUtf8(reply.body).contains("<title>%1</title>"_s.arg(title)));
    }

    void finishedUploadIsProcessed()
    {
        const QByteArray data(300000, 'k');
        const QString vid = PlatformClient::NewVid("processing");
        const HttpReply created = client_.TusCreate(
            data.size(), {{"vid"_s, vid}, {"title"_s, "Processed"_s}, {"cataid"_s, "3"_s}});
        QCOMPARE(created.status, 201L);
        QCOMPARE(Basic(vid).value("status"_s).toInt(), 5);
        const QString url = QString::fromUtf8(created.Header("Location"));
        QCOMPARE(client_.TusPatch(url, 0, data).status, 204L);

        QTRY_COMPARE_WITH_TIMEOUT(Basic(vid).value("status"_s).toInt(), 60, 10000);
        const QJsonObject basic = Basic(vid);
        QCOMPARE(basic.value("cateId"_s).toInt(), 3);
        QCOMPARE(basic.value("size"_s).toInt(), data.size());
        QCOMPARE(
            basic.value("md5Checksum"_s).toString(),
            QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex()));
        const HttpReply thumb = client_.Request("GET", basic.value("thumbnailURL"_s).toString());
        QCOMPARE(thumb.status, 200L);
        QVERIFY(thumb.body.startsWith("\x89PNG"));
    }
};

QTEST_GUILESS_MAIN(TestDevplatformVideos)
#include "tst_devplatform_videos.moc"
