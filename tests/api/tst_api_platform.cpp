// Every endpoint of the web API client against a running devplatform over HTTPS, verified by
// the platform's own test CA: the login with its refusals and lock, the category and video
// requests with a success and a refusal each, the cover upload with a non-ASCII file name,
// thumbnail downloads, the update check and TLS with a CA that does not match.
#include <curl/curl.h>

#include <QDir>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QImage>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

#include "api/Api.h"
#include "api/ApiProbe.h"
#include "app/Config.h"
#include "common/OffGuiThread.h"

using namespace ApiCollection;

namespace {

const QString kDemoEmail = QStringLiteral("demo@kavro.example");
const QString kDemoPassword = QStringLiteral("demo1234");

RequestError Login(const QString& email, const QString& password, LoginResult* result)
{
    QByteArray response;
    const RequestError sent = OffGuiThread([&] {
        return LoginClientRequest(QUuid::createUuid(), email, password, &response, nullptr,
                                  nullptr);
    });
    if (sent != NoError) {
        return sent;
    }
    return ParseLoginClientResponse(response, result);
}

// Runs request (with a fresh identifier, no abort flag) off the GUI thread and, when it got an
// answer, parses it with parse.
template <typename Result, typename Request, typename... Args>
RequestError Api(RequestError (*parse)(const QByteArray&, Result*), Result* result, Request request,
                 const Args&... args)
{
    QByteArray response;
    const RequestError sent = OffGuiThread(
        [&] { return request(QUuid::createUuid(), args..., &response, nullptr, nullptr); });
    return sent != NoError ? sent : parse(response, result);
}

// The node of the tree (depth first) with the given name.
QJsonObject FindNode(const QJsonObject& node, const QString& name)
{
    if (node.value(QLatin1String("cateName")).toString() == name) {
        return node;
    }
    for (const QJsonValue& child : node.value(QLatin1String("children")).toArray()) {
        const QJsonObject found = FindNode(child.toObject(), name);
        if (!found.isEmpty()) {
            return found;
        }
    }
    return QJsonObject();
}

// Adds a fault rule through the devplatform's loopback admin endpoint.
bool AddFault(const QByteArray& rule)
{
    CURL* handle = curl_easy_init();
    const QByteArray url = qgetenv("KAVRO_PLATFORM_URL") + "/admin/faults";
    const QByteArray ca = qgetenv("KAVRO_TEST_CACERT");
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_CAINFO, ca.constData());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, rule.constData());
    curl_easy_setopt(
        handle, CURLOPT_WRITEFUNCTION,
        +[](char*, size_t size, size_t count, void*) { return size * count; });
    const CURLcode code = curl_easy_perform(handle);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(handle);
    return code == CURLE_OK && status == 200;
}

}  // namespace

class TestApiPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void loginSucceeds();
    void loginRefusals_data();
    void loginRefusals();
    void categoryTree();
    void categoryRefusals_data();
    void categoryRefusals();
    void videoListAndInfo();
    void videoChanges();
    void videoRefusals_data();
    void videoRefusals();
    void coverUploadNonAsciiName();
    void checkVersionOffered();
    void faultSwitches_data();
    void faultSwitches();
    void untrustedCaRefused();
    void platformProbe_data();
    void platformProbe();

private:
    quint64 CategoryId(const QString& name);

    QTemporaryDir dir;
    Config* config = nullptr;
    quint64 rootCateId = 0;
};

void TestApiPlatform::initTestCase()
{
    const QString url = qEnvironmentVariable("KAVRO_PLATFORM_URL");
    const QString caFile = qEnvironmentVariable("KAVRO_TEST_CACERT");
    QVERIFY2(!url.isEmpty() && !caFile.isEmpty(), "run through with-devplatform");
    QVERIFY(url.startsWith(QLatin1String("https://")));
    QVERIFY(dir.isValid());
    QCOMPARE(curl_global_init(CURL_GLOBAL_ALL), CURLE_OK);
    // The client's own settings, as the preferences and the demo set them.
    config = new Config(dir.filePath(QStringLiteral("global.ini")), this);
    config->RegisterDefaults();
    config->SetValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), caFile);
    config->SetValue(QStringLiteral("Custom"), QStringLiteral("platformUrl"), url);
    config->SetValue(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
                     url + QStringLiteral("/api/app/package/version/check"));
    Config::SetGlobal(config);
    QCOMPARE(platformBaseUrl(), url);

    LoginResult login;
    QCOMPARE(Login(kDemoEmail, kDemoPassword, &login), NoError);
    setCredentials({login.appId, login.appSecret});
    rootCateId = login.cateId;
}

void TestApiPlatform::cleanupTestCase()
{
    Config::SetGlobal(nullptr);
    curl_global_cleanup();
}

quint64 TestApiPlatform::CategoryId(const QString& name)
{
    GetCateTreeResult tree;
    const RequestError result =
        Api(ParseGetCateTreeResponse, &tree, GetCateTreeRequest, rootCateId);
    if (result != NoError) {
        return 0;
    }
    return readUInt64(FindNode(tree.data, name).value(QLatin1String("cateId")));
}

void TestApiPlatform::loginSucceeds()
{
    LoginResult login;
    QCOMPARE(Login(kDemoEmail, kDemoPassword, &login), NoError);
    QCOMPARE(login.appId, QStringLiteral("K1D3E5A7C9"));
    // The secret arrives encrypted and is recovered with the shared login constant.
    QCOMPARE(login.appSecret, QStringLiteral("demo-secret-6f1c2a9e4b7d"));
    QCOMPARE(login.userId, QStringLiteral("1d3e5a7c9b"));
    QCOMPARE(login.childAccountType, int(None));
    QVERIFY(!login.expired);
    QVERIFY(login.cateId > 0);
    QVERIFY(login.space > 0);
    QVERIFY(login.videoUpload && login.cataAdd && login.videoDelete && login.operaCopycode);

    LoginResult sub;
    QCOMPARE(Login(QStringLiteral("uploader@kavro.example"), QStringLiteral("sub12345"), &sub),
             NoError);
    QCOMPARE(sub.childAccountType, int(Uploader));
    QVERIFY(sub.videoUpload);
    QVERIFY(!sub.videoDelete);
}

void TestApiPlatform::loginRefusals_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("errorCode");

    QTest::newRow("main account, wrong password")
        << QStringLiteral("other@kavro.example") << QStringLiteral("nope")
        << int(MAIN_ACCOUNT_PWD_ERR);
    QTest::newRow("sub-account, wrong password")
        << QStringLiteral("viewer@kavro.example") << QStringLiteral("nope")
        << int(SUB_ACCOUNT_PWD_ERR);
    QTest::newRow("expired sub-account") << QStringLiteral("expired@kavro.example")
                                         << QStringLiteral("sub12345") << int(SUB_USER_EXPIRED);
    QTest::newRow("unknown account")
        << QStringLiteral("nobody+x@kavro.example") << QStringLiteral("x") << int(USER_NOT_EXIST);
}

void TestApiPlatform::loginRefusals()
{
    QFETCH(QString, email);
    QFETCH(QString, password);
    QFETCH(int, errorCode);

    LoginResult result;
    QCOMPARE(Login(email, password, &result), ApiReturnFailed);
    QCOMPARE(result.errorCode, errorCode);
    if (errorCode == MAIN_ACCOUNT_PWD_ERR || errorCode == SUB_ACCOUNT_PWD_ERR) {
        QVERIFY(result.remainLoginChange > 0);
    }
}

void TestApiPlatform::categoryTree()
{
    GetCateTreeResult tree;
    QCOMPARE(Api(ParseGetCateTreeResponse, &tree, GetCateTreeRequest, rootCateId), NoError);
    QCOMPARE(readUInt64(tree.data.value(QLatin1String("cateId"))), rootCateId);
    const QJsonObject algebra = FindNode(tree.data, QStringLiteral("Algebra"));
    QVERIFY(!algebra.isEmpty());
    QVERIFY(readUInt64(algebra.value(QLatin1String("parentId"))) > 0);
    QVERIFY(!FindNode(tree.data, QStringLiteral("中文")).isEmpty());
}

void TestApiPlatform::categoryRefusals_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("errorCode");

    QTest::newRow("tree of a missing category") << "tree" << int(CATEGORY_NOT_EXIST);
    QTest::newRow("add: existing name") << "add-duplicate" << int(CATANAME_ALREADY_EXIST);
    QTest::newRow("add: blank name") << "add-blank" << int(CATANAME_BLANK);
    QTest::newRow("rename a missing category") << "rename" << int(CATEGORY_NOT_EXIST);
    QTest::newRow("move under a missing category") << "move" << int(CATEGORY_NOT_EXIST);
}

void TestApiPlatform::categoryRefusals()
{
    QFETCH(QString, request);
    QFETCH(int, errorCode);

    const quint64 missing = Q_UINT64_C(9000000000000000001);
    const quint64 courses = CategoryId(QStringLiteral("Courses"));
    QVERIFY(courses > 0);
    ApiResult result;
    RequestError outcome = NoError;
    if (request == QLatin1String("tree")) {
        GetCateTreeResult tree;
        outcome = Api(ParseGetCateTreeResponse, &tree, GetCateTreeRequest, missing);
        result = tree;
    } else if (request.startsWith(QLatin1String("add"))) {
        const QString name = request == QLatin1String("add-blank") ? QStringLiteral("   ")
                                                                   : QStringLiteral("Physics");
        AddCategoryResult added;
        outcome = Api(ParseAddCategoryResponse, &added, AddCategoryRequest, courses, name);
        result = added;
    } else if (request == QLatin1String("rename")) {
        outcome = Api(ParseRenameCategoryResponse, &result, RenameCategoryRequest, missing,
                      QStringLiteral("x"));
    } else {
        outcome = Api(ParseMoveCategoryResponse, &result, MoveCategoryRequest, courses, missing);
    }
    QCOMPARE(outcome, ApiReturnFailed);
    QCOMPARE(result.errorCode, errorCode);
    QVERIFY(!errorCodeString(result.errorCode).isEmpty());
}

void TestApiPlatform::videoListAndInfo()
{
    ListVideoResult list;
    QCOMPARE(Api(ParseListVideoResponse, &list, ListVideoRequest, rootCateId, QString(), true, 1,
                 10, CreationTimeDesc),
             NoError);
    QCOMPARE(list.pageSize, quint64(10));
    QCOMPARE(list.pageNumber, quint64(1));
    QVERIFY(list.totalItems >= 40);
    QCOMPARE(list.contents.size(), 10);

    ListVideoResult filtered;
    QCOMPARE(Api(ParseListVideoResponse, &filtered, ListVideoRequest, rootCateId,
                 QStringLiteral("Demo video 07"), true, 1, 10, NoSort),
             NoError);
    QCOMPARE(filtered.contents.size(), 1);

    QStringList vids;
    for (int i = 0; i < 3; ++i) {
        vids << list.contents.at(i).toObject().value(QLatin1String("vid")).toString();
    }
    VideoInfosResult infos;
    QCOMPARE(Api(ParseGetVideoInfoResponse, &infos, GetVideoInfoRequest, vids,
                 Basic | Snapshot | Transcode | Metadata),
             NoError);
    QCOMPARE(infos.videos.size(), 3);
    QVERIFY(infos.infoTypes.testFlag(Basic));
    QCOMPARE(infos.videos.at(0).vid, vids.at(0));
    QVERIFY(!infos.videos.at(0).title.isEmpty());
}

void TestApiPlatform::videoChanges()
{
    ListVideoResult list;
    QCOMPARE(Api(ParseListVideoResponse, &list, ListVideoRequest, rootCateId, QString(), true, 1, 5,
                 CreationTimeAsc),
             NoError);
    QVERIFY(list.contents.size() >= 3);
    const QString vid = list.contents.at(0).toObject().value(QLatin1String("vid")).toString();
    const QString other = list.contents.at(1).toObject().value(QLatin1String("vid")).toString();

    ApiResult result;
    QCOMPARE(Api(ParseUpdateVideoInfoResponse, &result, UpdateVideoInfoRequest, vid,
                 QStringLiteral("新标题 & more"), QStringLiteral("a,b"), QString()),
             NoError);
    VideoInfosResult infos;
    QCOMPARE(Api(ParseGetVideoInfoResponse, &infos, GetVideoInfoRequest, QStringList{vid}, Basic),
             NoError);
    QCOMPARE(infos.videos.value(0).title, QStringLiteral("新标题 & more"));

    const quint64 archive = CategoryId(QStringLiteral("Archive"));
    QCOMPARE(
        Api(ParseMoveVideoResponse, &result, MoveVideoRequest, QStringList{vid, other}, archive),
        NoError);
    infos = VideoInfosResult();
    QCOMPARE(
        Api(ParseGetVideoInfoResponse, &infos, GetVideoInfoRequest, QStringList{vid, other}, Basic),
        NoError);
    QCOMPARE(infos.videos.value(0).cateId, archive);
    QCOMPARE(infos.videos.value(1).cateId, archive);

    // A cover set from a URL must be one of the video's own snapshots.
    QStringList listed;
    for (const QJsonValue& item : qAsConst(list.contents)) {
        listed << item.toObject().value(QLatin1String("vid")).toString();
    }
    VideoInfosResult snapshots;
    QCOMPARE(Api(ParseGetVideoInfoResponse, &snapshots, GetVideoInfoRequest, listed, Snapshot),
             NoError);
    QCOMPARE(snapshots.infoTypes, VideoInfoTypeFlags(Snapshot));
    VideoInfo withSnapshots;
    for (const VideoInfo& info : qAsConst(snapshots.videos)) {
        if (!info.bigImageUrl.isEmpty()) {
            withSnapshots = info;
        }
    }
    QVERIFY(!withSnapshots.vid.isEmpty());
    CoverResult cover;
    QCOMPARE(Api(ParseChangeVideoCoverResponse, &cover, ChangeVideoCoverRequest, withSnapshots.vid,
                 withSnapshots.bigImageUrl.last()),
             NoError);
    QCOMPARE(QUrl(cover.imageUrlBig), withSnapshots.bigImageUrl.last());

    QCOMPARE(Api(ParseDeleteVideoResponse, &result, DeleteVideoRequest, other), NoError);
    QCOMPARE(Api(ParseDeleteVideoResponse, &result, DeleteVideoRequest, other), ApiReturnFailed);
    QCOMPARE(result.errorCode, int(VIDEO_NOT_EXIST));
}

void TestApiPlatform::videoRefusals_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("errorCode");

    QTest::newRow("list a missing category") << "list" << int(CATEGORY_NOT_EXIST);
    QTest::newRow("edit with an empty title") << "edit" << int(TITLE_CAN_NOT_BE_EMPTY);
    QTest::newRow("move to a missing category") << "move" << int(CATEGORY_NOT_EXIST);
    QTest::newRow("change cover of a missing video") << "cover" << int(VIDEO_NOT_EXIST);
    QTest::newRow("upload cover of a missing video") << "upload" << int(VIDEO_NOT_EXIST);
}

void TestApiPlatform::videoRefusals()
{
    QFETCH(QString, request);
    QFETCH(int, errorCode);

    const quint64 missingCate = Q_UINT64_C(9000000000000000001);
    const QString missingVid = QStringLiteral("00000000000000000000000000000000_1");
    ListVideoResult list;
    QCOMPARE(Api(ParseListVideoResponse, &list, ListVideoRequest, rootCateId, QString(), true, 1, 1,
                 NoSort),
             NoError);
    const QString vid = list.contents.at(0).toObject().value(QLatin1String("vid")).toString();
    const QString image = dir.filePath(QStringLiteral("cover.png"));
    QImage(32, 32, QImage::Format_RGB32).save(image);

    ApiResult result;
    RequestError outcome = NoError;
    if (request == QLatin1String("list")) {
        ListVideoResult refused;
        outcome = Api(ParseListVideoResponse, &refused, ListVideoRequest, missingCate, QString(),
                      false, 1, 10, NoSort);
        result = refused;
    } else if (request == QLatin1String("edit")) {
        outcome = Api(ParseUpdateVideoInfoResponse, &result, UpdateVideoInfoRequest, vid, QString(),
                      QString(), QString());
    } else if (request == QLatin1String("move")) {
        outcome =
            Api(ParseMoveVideoResponse, &result, MoveVideoRequest, QStringList{vid}, missingCate);
    } else if (request == QLatin1String("cover")) {
        CoverResult cover;
        outcome = Api(ParseChangeVideoCoverResponse, &cover, ChangeVideoCoverRequest, missingVid,
                      QUrl(QStringLiteral("https://x/y.png")));
        result = cover;
    } else {
        CoverResult cover;
        outcome = Api(ParseUploadVideoCoverResponse, &cover, UploadVideoCoverRequest,
                      QStringList{missingVid}, image, nullptr);
        result = cover;
    }
    QCOMPARE(outcome, ApiReturnFailed);
    QCOMPARE(result.errorCode, errorCode);
}

void TestApiPlatform::coverUploadNonAsciiName()
{
    ListVideoResult list;
    QCOMPARE(Api(ParseListVideoResponse, &list, ListVideoRequest, rootCateId, QString(), true, 1, 2,
                 NoSort),
             NoError);
    const QString vid = list.contents.at(0).toObject().value(QLatin1String("vid")).toString();
    const QString folder = dir.filePath(QStringLiteral("封面 folder"));
    QVERIFY(QDir().mkpath(folder));
    const QString image = folder + QStringLiteral("/新封面 图.png");
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QVERIFY(picture.save(image));

    qint64 uploaded = 0;
    CoverResult cover;
    QCOMPARE(Api(ParseUploadVideoCoverResponse, &cover, UploadVideoCoverRequest, QStringList{vid},
                 image, [&uploaded](qint64, qint64, qint64, qint64 now) { uploaded = now; }),
             NoError);
    QVERIFY(!cover.imageUrlBig.isEmpty());
    QVERIFY(uploaded > QFileInfo(image).size());

    // The new cover is served where the answer says.
    _DownloadInfo download;
    download.url = QUrl(cover.imageUrlBig);
    download.fileInfo = QFileInfo(dir.filePath(QStringLiteral("fetched/cover.png")));
    QCOMPARE(OffGuiThread([&] {
                 return MultiDownloadRequest(QUuid::createUuid(), {&download}, nullptr, nullptr);
             }),
             NoError);
    const QImage fetched(download.fileInfo.absoluteFilePath());
    QVERIFY(!fetched.isNull());

    CoverResult missing;
    QCOMPARE(Api(ParseUploadVideoCoverResponse, &missing, UploadVideoCoverRequest, QStringList{vid},
                 folder + QStringLiteral("/none.png"), nullptr),
             FileIsNotExist);
}

void TestApiPlatform::checkVersionOffered()
{
    // The offered version is a server option: ctest runs this function once per offer with
    // KAVRO_TEST_OFFERED_VERSION and the expected CheckVersionResult key.
    const QByteArray expected = qgetenv("KAVRO_TEST_EXPECTED_CHECK");
    if (expected.isEmpty()) {
        QCOMPARE(OffGuiThread([] { return checkVersion(nullptr); }), AlreadyUpToDate);
        QCOMPARE(lastCheckUpdateResult().projectVersion, QStringLiteral("2.4.2"));
        return;
    }
    bool known = false;
    const int value = QMetaEnum::fromType<CheckVersionResult>().keyToValue(expected, &known);
    QVERIFY(known);
    QCOMPARE(int(OffGuiThread([] { return checkVersion(nullptr); })), value);
    QCOMPARE(lastCheckUpdateResult().projectVersion,
             qEnvironmentVariable("KAVRO_TEST_OFFERED_VERSION"));
}

void TestApiPlatform::faultSwitches_data()
{
    QTest::addColumn<QByteArray>("rule");
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("abortAfterMs");
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("parsed");

    QTest::newRow("HTTP 500 judged by its envelope")
        << QByteArray("path=/v3/category/get-cate-tree,status=500,code=105,times=1") << "tree" << -1
        << int(NoError) << int(ApiReturnFailed);
    QTest::newRow("malformed answer")
        << QByteArray("path=/v3/category/get-cate-tree,body=malformed,times=1") << "tree" << -1
        << int(NoError) << int(ParseJsonFailed);
    QTest::newRow("truncated answer")
        << QByteArray("path=/v3/category/get-cate-tree,body=truncated,times=1") << "tree" << -1
        << int(NoError) << int(ParseJsonFailed);
    QTest::newRow("abort while the answer is late")
        << QByteArray("path=/v3/category/get-cate-tree,delay=1500,times=1") << "tree" << 300
        << int(CurlPerformAbort) << int(NoError);
    QTest::newRow("update check past its 5 s")
        << QByteArray("path=/api/app/package/version/check,delay=6500,times=1") << "update" << -1
        << int(CurlPerformTimeout) << int(NoError);
}

void TestApiPlatform::faultSwitches()
{
    QFETCH(QByteArray, rule);
    QFETCH(QString, request);
    QFETCH(int, abortAfterMs);
    QFETCH(int, sent);
    QFETCH(int, parsed);

    QVERIFY(AddFault(rule));
    bool abort = false;
    QByteArray response;
    QFuture<RequestError> future = QtConcurrent::run([&] {
        if (request == QLatin1String("update")) {
            return CheckClientUpdateRequest(QUuid::createUuid(), &response, &abort, nullptr);
        }
        return GetCateTreeRequest(QUuid::createUuid(), rootCateId, &response, &abort, nullptr);
    });
    if (abortAfterMs >= 0) {
        QTest::qWait(abortAfterMs);
        abort = true;
    }
    while (!future.isFinished()) {
        QTest::qWait(20);
    }
    QCOMPARE(int(future.result()), sent);
    if (sent == NoError) {
        GetCateTreeResult tree;
        QCOMPARE(int(ParseGetCateTreeResponse(response, &tree)), parsed);
        if (parsed == ApiReturnFailed) {
            QCOMPARE(tree.errorCode, int(PERMISSION_LIMITED));
        }
    }
}

void TestApiPlatform::untrustedCaRefused()
{
    // A CA bundle that does not hold the platform's CA: TLS verification refuses the server.
    const QString otherCa = dir.filePath(QStringLiteral("other-ca.pem"));
    QFile::copy(QStringLiteral("/etc/ssl/certs/ca-certificates.crt"), otherCa);
    config->SetValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), otherCa);
    LoginResult login;
    QString error;
    QByteArray response;
    const RequestError result = OffGuiThread([&] {
        return LoginClientRequest(QUuid::createUuid(), kDemoEmail, kDemoPassword, &response,
                                  nullptr, &error);
    });
    config->SetValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                     qEnvironmentVariable("KAVRO_TEST_CACERT"));
    QCOMPARE(result, CurlPerformFailed);
    QVERIFY(response.isEmpty());
    QVERIFY2(error.contains(QLatin1String("certificate"), Qt::CaseInsensitive) ||
                 error.contains(QLatin1String("SSL"), Qt::CaseInsensitive),
             qPrintable(error));
}

void TestApiPlatform::platformProbe_data()
{
    QTest::addColumn<QString>("address");  // "%1" stands for the devplatform's base URL
    QTest::addColumn<bool>("answers");
    QTest::newRow("the platform") << QStringLiteral("%1") << true;
    QTest::newRow("trailing slash") << QStringLiteral("%1/") << true;
    QTest::newRow("not a platform") << QStringLiteral("%1/files") << false;
    QTest::newRow("nothing listens") << QStringLiteral("https://127.0.0.1:9") << false;
    QTest::newRow("plain http") << QStringLiteral("http://127.0.0.1:9") << false;
    QTest::newRow("not an address") << QStringLiteral("platform.example") << false;
}

// The check a new platform address must pass before the network settings save it.
void TestApiPlatform::platformProbe()
{
    QFETCH(QString, address);
    QFETCH(bool, answers);
    const QString url = address.arg(qEnvironmentVariable("KAVRO_PLATFORM_URL"));
    QString error;
    const RequestError result =
        OffGuiThread([&] { return ApiCollection::ProbePlatform(url, nullptr, &error); });
    QCOMPARE(result == NoError, answers);
    QCOMPARE(error.isEmpty(), answers);
    QCOMPARE(ApiCollection::IsPlatformAddress(url), url.startsWith(QLatin1String("https://")));
}

QTEST_MAIN(TestApiPlatform)
#include "tst_api_platform.moc"
