// The pure parts of the web API client: signing and encoding, the envelope judgement, the
// parse functions on good and wrong shapes, the secret recovery and the version comparison.
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QtTest>

#include "api/Api.h"
#include "common/TestLiterals.h"

using namespace ApiCollection;

namespace {

QString Md5Upper(const QString& text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex().toUpper());
}

// A success envelope around the given "data" JSON text.
QByteArray Success(const QByteArray& data)
{
    return "{\"requestId\":\"r1\",\"code\":200,\"status\":\"success\",\"error\":null,\"data\":" +
           data + "}";
}

}  // namespace

class TestApi : public QObject
{
    Q_OBJECT

private slots:
    void signature_data()
    {
        QTest::addColumn<QString>("secret");
        QTest::addColumn<ParamMap>("params");
        QTest::addColumn<QString>("expectedText");

        QTest::newRow("sorted by name")
            << "S3"_s
            << ParamMap{{"timestamp"_s, "17"_s}, {"appId"_s, "app"_s}, {"cateId"_s, "5"_s}}
            << "S3appIdappcateId5timestamp17S3"_s;
        QTest::newRow("empty value skipped")
            << "k"_s << ParamMap{{"title"_s, QString()}, {"vid"_s, "v1"_s}} << "kvidv1k"_s;
        QTest::newRow("case-sensitive order: upper before lower")
            << "k"_s << ParamMap{{"b"_s, "1"_s}, {"Z"_s, "2"_s}} << "kZ2b1k"_s;
        QTest::newRow("utf-8 name and value")
            << "k"_s << ParamMap{{"name"_s, "视频 分类"_s}, {"ä"_s, "😀"_s}}
            << "kname视频 分类ä😀k"_s;
    }

    void signature()
    {
        QFETCH(QString, secret);
        QFETCH(ParamMap, params);
        QFETCH(QString, expectedText);

        QCOMPARE(signatureText(secret, params), expectedText);
        ParamMap signedParams = params;
        signParams(secret, &signedParams);
        QCOMPARE(signedParams.value("sign"_s), Md5Upper(expectedText));
        // Empty values are still sent.
        QCOMPARE(signedParams.size(), params.size() + 1);
    }

    // The signature of the check is the platform's to judge (tst_api_platform::updateCheck).
    void updateRequestBody()
    {
        const QByteArray body = ApiCollection::updateRequestBody("4b7e1c09d2"_s, 1700);
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(body, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(body.startsWith("{\"appId\":\"\",\"project_name\":\"kavroUploadClient\","));
        QCOMPARE(object.value(QLatin1String("user_id")).toString(), "4b7e1c09d2"_s);
        QCOMPARE(object.size(), 6);
    }

    void envelope_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("errorCode");
        QTest::addColumn<QString>("errorDesc");

        QTest::newRow("success") << Success("{}") << int(NoError) << 0 << QString();
        QTest::newRow("error object")
            << QByteArray(
                   "{\"requestId\":\"r\",\"code\":400,\"status\":\"error\","
                   "\"error\":{\"code\":3003,\"desc\":\"name exists\"}}")
            << int(ApiReturnFailed) << 3003 << "name exists"_s;
        QTest::newRow("unknown error code kept")
            << QByteArray("{\"code\":400,\"status\":\"error\",\"error\":{\"code\":777}}")
            << int(ApiReturnFailed) << 777 << QString();
        QTest::newRow("success without error member")
            << QByteArray("{\"code\":200,\"status\":\"success\",\"data\":{}}")
            << int(ApiReturnFailed) << 0 << QString();
        QTest::newRow("failed status with null error")
            << QByteArray("{\"code\":200,\"status\":\"failed\",\"error\":null}") << int(ApiError)
            << int(UNDEFINED) << QString();
        QTest::newRow("code as string")
            << QByteArray("{\"code\":\"200\",\"status\":\"success\",\"error\":null}")
            << int(ApiError) << int(UNDEFINED) << QString();
        QTest::newRow("code 201") << QByteArray(
                                         "{\"code\":201,\"status\":\"success\",\"error\":null}")
                                  << int(ApiError) << int(UNDEFINED) << QString();
        QTest::newRow("not json") << QByteArray("<html>502</html>") << int(ParseJsonFailed) << 0
                                  << QString();
        QTest::newRow("empty body") << QByteArray() << int(ParseJsonFailed) << 0 << QString();
        QTest::newRow("array root")
            << QByteArray("[1,2]") << int(ApiReturnFailed) << 0 << QString();
    }

    void envelope()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, expected);
        QFETCH(int, errorCode);
        QFETCH(QString, errorDesc);

        ApiResult result;
        QCOMPARE(int(ParseRenameCategoryResponse(json, &result)), expected);
        QCOMPARE(result.errorCode, errorCode);
        QCOMPARE(result.errorDesc, errorDesc);
    }

    void parseShapes_data()
    {
        QTest::addColumn<QString>("endpoint");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("expected");

        QTest::newRow("tree: object") << "tree" << Success("{\"cateId\":1}") << int(NoError);
        QTest::newRow("tree: array") << "tree" << Success("[]") << int(ApiError);
        QTest::newRow("tree: null") << "tree" << Success("null") << int(ApiError);
        QTest::newRow("tree: missing")
            << "tree" << QByteArray("{\"code\":200,\"status\":\"success\",\"error\":null}")
            << int(ApiError);
        QTest::newRow("list: ok") << "list" << Success("{\"contents\":[]}") << int(NoError);
        QTest::newRow("list: data array") << "list" << Success("[]") << int(ApiError);
        QTest::newRow("list: contents missing") << "list" << Success("{}") << int(ApiError);
        QTest::newRow("list: contents object")
            << "list" << Success("{\"contents\":{}}") << int(ApiError);
        QTest::newRow("info: ok") << "info" << Success("[]") << int(NoError);
        QTest::newRow("info: data object") << "info" << Success("{}") << int(ApiError);
        QTest::newRow("info: data null") << "info" << Success("null") << int(ApiError);
        QTest::newRow("cover: ok") << "cover" << Success("{\"imageUrlBig\":\"b\"}") << int(NoError);
        QTest::newRow("cover: data string") << "cover" << Success("\"x\"") << int(ApiError);
        QTest::newRow("add: data not number") << "add" << Success("\"12\"") << int(NoError);
        QTest::newRow("login: data array") << "login" << Success("[]") << int(ApiError);
        QTest::newRow("login: data null") << "login" << Success("null") << int(ApiError);
        QTest::newRow("login: secret not base64")
            << "login" << Success("{\"appId\":\"a\",\"nonce\":\"n\",\"appSecret\":\"not*base64\"}")
            << int(Base64DecodingFailed);
        // Valid Base64 of bytes that are no cipher text of this key: 15 bytes, not a block.
        QTest::newRow("login: secret not a cipher")
            << "login"
            << Success("{\"appId\":\"a\",\"nonce\":\"n\",\"appSecret\":\"enp6enp6enp6enp6enp6\"}")
            << int(ApiError);
    }

    void parseShapes()
    {
        QFETCH(QString, endpoint);
        QFETCH(QByteArray, json);
        QFETCH(int, expected);

        RequestError result = NoError;
        if (endpoint == QLatin1String("tree")) {
            GetCateTreeResult tree;
            result = ParseGetCateTreeResponse(json, &tree);
        } else if (endpoint == QLatin1String("list")) {
            ListVideoResult list;
            result = ParseListVideoResponse(json, &list);
        } else if (endpoint == QLatin1String("info")) {
            VideoInfosResult infos;
            result = ParseGetVideoInfoResponse(json, &infos);
        } else if (endpoint == QLatin1String("cover")) {
            CoverResult cover;
            result = ParseUploadVideoCoverResponse(json, &cover);
            if (result == NoError) {
                QCOMPARE(cover.imageUrlBig, "b"_s);
            }
        } else if (endpoint == QLatin1String("add")) {
            AddCategoryResult add;
            add.cateId = 99;
            result = ParseAddCategoryResponse(json, &add);
            QCOMPARE(add.cateId, quint64(0));
        } else {
            LoginResult login;
            result = ParseLoginClientResponse(json, &login);
        }
        QCOMPARE(int(result), expected);
    }

    void numbersKeptWhole()
    {
        // 2^53 + 1 and 2^63 - 1: a double would round both.
        AddCategoryResult add;
        QCOMPARE(ParseAddCategoryResponse(Success("9007199254740993"), &add), NoError);
        QCOMPARE(add.cateId, Q_UINT64_C(9007199254740993));

        ListVideoResult list;
        QCOMPARE(
            ParseListVideoResponse(Success("{\"contents\":[],\"totalItems\":9223372036854775807,"
                                           "\"pageNumber\":2}"),
                                   &list),
            NoError);
        QCOMPARE(list.totalItems, Q_UINT64_C(9223372036854775807));
        QCOMPARE(list.pageNumber, quint64(2));

        VideoInfosResult infos;
        QCOMPARE(ParseGetVideoInfoResponse(
                     Success("[{\"vid\":\"v\",\"basicInfo\":{\"size\":9007199254740993,"
                             "\"cateId\":1234567890123456789}}]"),
                     &infos),
                 NoError);
        QCOMPARE(infos.videos.value(0).size, Q_UINT64_C(9007199254740993));
        QCOMPARE(infos.videos.value(0).cateId, Q_UINT64_C(1234567890123456789));
    }

    void loginFields_data()
    {
        QTest::addColumn<QByteArray>("members");
        QTest::addColumn<bool>("expired");
        QTest::addColumn<int>("accountType");
        QTest::addColumn<int>("userLevel");
        QTest::addColumn<quint64>("cateId");

        QTest::newRow("not expired, main account")
            << QByteArray(
                   "\"expired\":\"N\",\"permission\":{\"childAccountType\":-1},"
                   "\"userLevel\":3,\"cateId\":77")
            << false << int(None) << 3 << quint64(77);
        QTest::newRow("expired Y, editor missing")
            << QByteArray("\"expired\":\"Y\",\"permission\":{}") << true << int(Editor) << 4096
            << quint64(1);
        QTest::newRow("expired empty, manager, null cateId")
            << QByteArray(
                   "\"expired\":\"\",\"permission\":{\"childAccountType\":2},\"cateId\":null,"
                   "\"userLevel\":\"high\"")
            << true << int(Manager) << 4096 << quint64(1);
        QTest::newRow("expired missing")
            << QByteArray("\"userLevel\":0") << true << int(Editor) << 0 << quint64(1);
    }

    void loginFields()
    {
        QFETCH(QByteArray, members);
        QFETCH(bool, expired);
        QFETCH(int, accountType);
        QFETCH(int, userLevel);
        QFETCH(quint64, cateId);

        const QByteArray json =
            Success("{" + members + ",\"appId\":\"a\",\"nonce\":\"n\",\"appSecret\":\"\"}");
        LoginResult result;
        QCOMPARE(ParseLoginClientResponse(json, &result), NoError);
        QCOMPARE(result.expired, expired);
        QCOMPARE(result.childAccountType, accountType);
        QCOMPARE(result.userLevel, userLevel);
        QCOMPARE(result.cateId, cateId);
    }

    void loginSecretRecovery()
    {
        const QString appId = "app-42"_s;
        const QString nonce = "n0nce"_s;
        const QByteArray secret = "s3cr3t-签名-😀";
        QByteArray key;
        QByteArray iv;
        secretKeyAndIv(appId, nonce, &key, &iv);
        // Independently: the lower-case MD5 of constant + appId + nonce, split in halves.
        const QByteArray digest =
            QCryptographicHash::hash(QByteArray("9F3A6C1E58D24B07A1C3E5F7092B4D6Eapp-42n0nce"),
                                     QCryptographicHash::Md5)
                .toHex();
        QCOMPARE(key, digest.left(16));
        QCOMPARE(iv, digest.mid(16));

        const QByteArray encrypted = aesEncrypt(secret, key, iv).toBase64();
        const QByteArray json = Success(
            "{\"appId\":\"app-42\",\"nonce\":\"n0nce\",\"appSecret\":\"" + encrypted +
            "\",\"space\":18000000000000000,\"remainBytes\":-5,\"permission\":{\"videoUpload\":1,"
            "\"cataAdd\":0,\"videoDelete\":\"1\",\"operaCopycode\":2}}");
        LoginResult result;
        QCOMPARE(ParseLoginClientResponse(json, &result), NoError);
        QCOMPARE(result.appSecret, QString::fromUtf8(secret));
        QCOMPARE(result.space, Q_UINT64_C(18000000000000000));
        QCOMPARE(result.remainBytes, qint64(-5));
        QVERIFY(result.videoUpload);
        QVERIFY(!result.cataAdd);
        QVERIFY(!result.videoDelete);  // a string is not an integer
        QVERIFY(result.operaCopycode);
    }

    void loginRefusal()
    {
        LoginResult result;
        QCOMPARE(ParseLoginClientResponse(
                     "{\"code\":400,\"status\":\"error\",\"error\":{\"code\":23,\"desc\":\"pwd\"},"
                     "\"data\":{\"remainLoginChange\":3}}",
                     &result),
                 ApiReturnFailed);
        QCOMPARE(result.errorCode, int(MAIN_ACCOUNT_PWD_ERR));
        QCOMPARE(result.remainLoginChange, 3);

        LoginResult noData;
        noData.remainLoginChange = -1;
        QCOMPARE(ParseLoginClientResponse(
                     "{\"code\":400,\"status\":\"error\",\"error\":{\"code\":31},\"data\":null}",
                     &noData),
                 ApiReturnFailed);
        QCOMPARE(noData.remainLoginChange, -1);
    }

    void videoInfoParts()
    {
        VideoInfosResult result;
        QCOMPARE(
            ParseGetVideoInfoResponse(
                Success(
                    "[{\"vid\":\"a\",\"snapshotInfo\":{\"imageUrl\":[\"http://x/1.jpg\",5,"
                    "\"http://x/2.jpg\"]},\"transcodeInfos\":[{\"fps\":25,\"encrypt\":true},"
                    "7]},{\"vid\":\"b\",\"basicInfo\":\"oops\",\"metaData\":{\"codec\":\"h264\"}},"
                    "3]"),
                &result),
            NoError);
        QCOMPARE(result.videos.size(), 3);
        // basicInfo that is not an object does not count as the basic part.
        QCOMPARE(result.infoTypes, VideoInfoTypeFlags(Snapshot | Transcode | Metadata));
        const VideoInfo first = result.videos.at(0);
        QCOMPARE(first.imageUrl, QList<QUrl>{QUrl("http://x/1.jpg"_s)});
        QCOMPARE(first.transcodeInfos.size(), 1);
        QCOMPARE(first.transcodeInfos.at(0).fps, 25);
        QVERIFY(first.transcodeInfos.at(0).encrypt);
        QCOMPARE(result.videos.at(1).metaData.codec, "h264"_s);
        QVERIFY(result.videos.at(2).vid.isEmpty());

        QCOMPARE(videoInfoFilter(Basic | Snapshot | Transcode | Metadata),
                 "snapshotInfo,basicInfo,transcodeInfo,metaData"_s);
        QCOMPARE(videoInfoFilter(Metadata | Basic), "basicInfo,metaData"_s);
        QCOMPARE(sortMethodValue(NoSort), QString());
        QCOMPARE(sortMethodValue(TitleNameDesc), "titleDesc"_s);
    }

    void versionComparison_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("newer");

        QTest::newRow("2.4.3") << "2.4.3"_s << true;
        QTest::newRow("2.5.0") << "2.5.0"_s << true;
        QTest::newRow("3.0.0") << "3.0.0"_s << true;
        QTest::newRow("2.4.10 numeric, not text") << "2.4.10"_s << true;
        QTest::newRow("2.4.2") << "2.4.2"_s << false;
        QTest::newRow("2.4.1") << "2.4.1"_s << false;
        QTest::newRow("1.9.9") << "1.9.9"_s << false;
        QTest::newRow("2.3.99") << "2.3.99"_s << false;
        QTest::newRow("fourth number") << "2.4.3.1"_s << false;
        QTest::newRow("prefix") << "v2.4.3"_s << false;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("garbage") << "latest"_s << false;
    }

    void versionComparison()
    {
        QFETCH(QString, version);
        QFETCH(bool, newer);
        QCOMPARE(isNewerVersion(version), newer);
    }

    void updateEnvelope_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("expected");

        QTest::newRow("success")
            << QByteArray(
                   "{\"code\":200,\"message\":\"success\",\"success\":true,"
                   "\"project_version\":\"2.4.3\",\"project_download\":\"https://d/x.exe\","
                   "\"force_install\":true}")
            << int(NoError);
        QTest::newRow("status failed")
            << QByteArray("{\"code\":200,\"message\":\"success\",\"status\":\"failed\"}")
            << int(ApiReturnFailed);
        QTest::newRow("code as string")
            << QByteArray("{\"code\":\"200\",\"message\":\"success\"}") << int(ApiReturnFailed);
        QTest::newRow("other message")
            << QByteArray("{\"code\":200,\"message\":\"no package\"}") << int(ApiReturnFailed);
        QTest::newRow("array") << QByteArray("[]") << int(ApiError);
        QTest::newRow("not json") << QByteArray("{") << int(ParseJsonFailed);
    }

    void updateEnvelope()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, expected);

        CheckUpdateResult result;
        QCOMPARE(int(ParseCheckClientUpdateResponse(json, &result)), expected);
        QCOMPARE(result.valid, expected == NoError);
        if (expected == NoError) {
            QCOMPARE(result.projectVersion, "2.4.3"_s);
            QCOMPARE(result.projectDownload, "https://d/x.exe"_s);
            QVERIFY(result.forceInstall);
        }
    }

    void errorTexts_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");

        QTest::newRow("no error") << int(NoError) << QString();
        QTest::newRow("timeout") << int(CurlPerformTimeout) << "CurlPerformTimeout"_s;
        QTest::newRow("cancel") << int(DownloadCancel) << "DownloadCancel"_s;
        QTest::newRow("parse: internal") << int(ParseJsonFailed) << "InternalError"_s;
        QTest::newRow("base64: internal") << int(Base64DecodingFailed) << "InternalError"_s;
        QTest::newRow("not dir: internal") << int(DownloadPathIsNotDir) << "InternalError"_s;
        QTest::newRow("out of range") << 99 << "Unknown Error"_s;
    }

    void errorTexts()
    {
        QFETCH(int, error);
        QFETCH(QString, text);
        // No translator is installed here: the source texts come back.
        QCOMPARE(requestErrorString(RequestError(error)), text);
    }

    void codeTexts()
    {
        QCOMPARE(requestErrorKey(CurlPerformAbort), "CurlPerformAbort"_s);

        QCOMPARE(errorCodeString(0), QString());
        QCOMPARE(errorCodeString(UNDEFINED), QString());
        QCOMPARE(errorCodeString(31), "ErrorCodeString.ACCOUNT_LOCKED"_s);
        QCOMPARE(errorCodeString(4004), "ErrorCodeString.OPERATION_COUNT_EXCEED"_s);
        QCOMPARE(errorCodeString(3010), QString());  // no text of its own
        // The platform's category refusals each have a text.
        for (const int code : {CATANAME_BLANK, CATEGORY_NOT_EXIST, CATANAME_ALREADY_EXIST}) {
            QVERIFY2(!errorCodeString(code).isEmpty(), qPrintable(QString::number(code)));
        }
        QCOMPARE(accountTypeString(None), "AccountType.MainAccount"_s);
        QCOMPARE(accountTypeString(AccountType(9)), QString());
    }
};

QTEST_GUILESS_MAIN(TestApi)
#include "tst_api.moc"
