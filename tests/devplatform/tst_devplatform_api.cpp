// The devplatform's login, request signing and category rules against a running server.
#include <curl/curl.h>
#include <functional>
#include <kavro/Deployment.h>
#include <openssl/evp.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include "DemoSeed.h"
#include "PlatformClient.h"

namespace {

// The client's recovery of the account secret: AES-128-CBC under MD5(constant+appId+nonce).
QString DecryptSecret(const QJsonObject& data)
{
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray(kavro::deployment::kLoginConstant) +
                                     data.value(QStringLiteral("appId")).toString().toUtf8() +
                                     data.value(QStringLiteral("nonce")).toString().toUtf8(),
                                 QCryptographicHash::Md5)
            .toHex();
    const QByteArray cipher =
        QByteArray::fromBase64(data.value(QStringLiteral("appSecret")).toString().toLatin1());
    QByteArray plain(cipher.size() + 16, '\0');
    int n = 0;
    int last = 0;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_DecryptInit_ex(ctx, EVP_aes_128_cbc(), nullptr,
                       reinterpret_cast<const unsigned char*>(digest.constData()),
                       reinterpret_cast<const unsigned char*>(digest.constData() + 16));
    EVP_DecryptUpdate(ctx, reinterpret_cast<unsigned char*>(plain.data()), &n,
                      reinterpret_cast<const unsigned char*>(cipher.constData()), cipher.size());
    const bool ok =
        EVP_DecryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(plain.data()) + n, &last) == 1;
    EVP_CIPHER_CTX_free(ctx);
    return ok ? QString::fromUtf8(plain.left(n + last)) : QString();
}

// Every node of a get-cate-tree answer, depth first.
void Walk(const QJsonObject& node, const std::function<void(const QJsonObject&)>& visit)
{
    visit(node);
    for (const QJsonValue& child : node.value(QStringLiteral("children")).toArray()) {
        Walk(child.toObject(), visit);
    }
}

}  // namespace

class TestDevplatformApi : public QObject
{
    Q_OBJECT

private:
    PlatformClient client_;
    const QString appId_ = QString::fromLatin1(demo::kMainAppId);
    const QString secret_ = QString::fromLatin1(demo::kMainSecret);

    HttpReply Post(const QString& path, const QMap<QString, QString>& params) const
    {
        return client_.SignedPost(path, params, appId_, secret_);
    }

    QJsonObject Tree(qint64 cateId = 1) const
    {
        const HttpReply reply = client_.SignedGet(
            QStringLiteral("/v3/category/get-cate-tree"),
            {{QStringLiteral("cateId"), QString::number(cateId)}}, appId_, secret_);
        return reply.Json().value(QStringLiteral("data")).toObject();
    }

    // Login credentials of a sub-account of the demo library.
    QPair<QString, QString> SubCredentials(const QString& email) const
    {
        const QJsonObject data = client_.Login(email, QString::fromLatin1(demo::kSubPassword))
                                     .Json()
                                     .value(QStringLiteral("data"))
                                     .toObject();
        return {data.value(QStringLiteral("appId")).toString(), DecryptSecret(data)};
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(client_.IsConfigured(), "run through with-devplatform");
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }

    void loginAnswersTheAccountRecord()
    {
        const HttpReply reply = client_.Login(QStringLiteral("Demo@kavro.example"),
                                              QString::fromLatin1(demo::kMainPassword));
        const QJsonObject root = reply.Json();
        QCOMPARE(root.value(QStringLiteral("code")).toInt(), 200);
        QCOMPARE(root.value(QStringLiteral("status")).toString(), QStringLiteral("success"));
        QVERIFY(root.contains(QStringLiteral("error")) &&
                root.value(QStringLiteral("error")).isNull());
        QVERIFY(!root.value(QStringLiteral("requestId")).toString().isEmpty());
        const QJsonObject data = root.value(QStringLiteral("data")).toObject();
        QCOMPARE(data.value(QStringLiteral("appId")).toString(), appId_);
        QCOMPARE(DecryptSecret(data), secret_);
        QCOMPARE(data.value(QStringLiteral("userId")).toString(),
                 QString::fromLatin1(demo::kMainUserId));
        QCOMPARE(data.value(QStringLiteral("expired")).toString(), QStringLiteral("N"));
        QCOMPARE(data.value(QStringLiteral("cateId")).toVariant().toLongLong(), 1);
        QVERIFY(data.value(QStringLiteral("remainBytes")).toDouble() <
                data.value(QStringLiteral("space")).toDouble());
        const QJsonObject permission = data.value(QStringLiteral("permission")).toObject();
        QCOMPARE(permission.value(QStringLiteral("childAccountType")).toInt(), -1);
        QCOMPARE(permission.size(), 15);
        for (auto it = permission.constBegin(); it != permission.constEnd(); ++it) {
            QVERIFY2(it.key() == QLatin1String("childAccountType") || it.value().toInt() == 1,
                     qPrintable(it.key()));
        }
    }

    void subAccountLogin()
    {
        const QJsonObject data = client_
                                     .Login(QStringLiteral("uploader@kavro.example"),
                                            QString::fromLatin1(demo::kSubPassword))
                                     .Json()
                                     .value(QStringLiteral("data"))
                                     .toObject();
        QCOMPARE(data.value(QStringLiteral("userId")).toString(),
                 QString::fromLatin1(demo::kMainUserId));
        QCOMPARE(data.value(QStringLiteral("childUserName")).toString(),
                 QStringLiteral("uploader"));
        const QJsonObject permission = data.value(QStringLiteral("permission")).toObject();
        QCOMPARE(permission.value(QStringLiteral("childAccountType")).toInt(), 3);
        QCOMPARE(permission.value(QStringLiteral("videoUpload")).toInt(), 1);
        QCOMPARE(permission.value(QStringLiteral("videoDelete")).toInt(), 0);
        QCOMPARE(permission.value(QStringLiteral("cataAdd")).toInt(), 0);
    }

    void loginRefusals_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("code");
        QTest::newRow("empty email") << QString() << QStringLiteral("x") << 20;
        QTest::newRow("empty password") << QStringLiteral("demo@kavro.example") << QString() << 21;
        QTest::newRow("unknown user")
            << QStringLiteral("nobody@kavro.example") << QStringLiteral("x") << 22;
        QTest::newRow("expired sub-account") << QStringLiteral("expired@kavro.example")
                                             << QString::fromLatin1(demo::kSubPassword) << 26;
    }

    void loginRefusals()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(int, code);
        const HttpReply reply =
            password.isEmpty()
                ? client_.Request("POST", QStringLiteral("/v3/front/login-client"),
                                  {{"Content-Type", "application/x-www-form-urlencoded"}},
                                  "email=demo%40kavro.example&password=")
                : client_.Login(email, password);
        QCOMPARE(reply.ErrorCode(), code);
        QCOMPARE(reply.Json().value(QStringLiteral("status")).toString(), QStringLiteral("error"));
    }

    void wrongPasswordsLockTheAccount_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("wrongCode");
        QTest::newRow("main account")
            << QStringLiteral("locked@kavro.example") << QStringLiteral("locked1234") << 23;
        QTest::newRow("sub-account") << QStringLiteral("locked-sub@kavro.example")
                                     << QString::fromLatin1(demo::kSubPassword) << 24;
    }

    void wrongPasswordsLockTheAccount()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(int, wrongCode);
        // A right password in between restores the full count.
        QCOMPARE(client_.Login(email, QStringLiteral("wrong")).ErrorCode(), wrongCode);
        QCOMPARE(client_.Login(email, password).ErrorCode(), 0);
        for (int remain = 4; remain >= 0; --remain) {
            const HttpReply reply = client_.Login(email, QStringLiteral("wrong"));
            QCOMPARE(reply.ErrorCode(), wrongCode);
            QCOMPARE(reply.Json()
                         .value(QStringLiteral("data"))
                         .toObject()
                         .value(QStringLiteral("remainLoginChange"))
                         .toInt(),
                     remain);
        }
        QCOMPARE(client_.Login(email, password).ErrorCode(), 31);
        QCOMPARE(client_.Login(email, QStringLiteral("wrong")).ErrorCode(), 31);
    }

    void signatureChecks_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<qint64>("timestamp");
        QTest::addColumn<int>("code");
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QTest::newRow("right") << appId_ << secret_ << now << 0;
        QTest::newRow("wrong secret") << appId_ << QStringLiteral("guess") << now << 104;
        QTest::newRow("unknown appId") << QStringLiteral("NOPE") << secret_ << now << 101;
        QTest::newRow("empty appId") << QString() << secret_ << now << 107;
        QTest::newRow("old timestamp") << appId_ << secret_ << now - 3600 * 1000 << 100;
        QTest::newRow("expired sub-account")
            << QStringLiteral("K1SUB00006") << QStringLiteral("sub-secret-expired-6") << now << 103;
    }

    void signatureChecks()
    {
        QFETCH(QString, appId);
        QFETCH(QString, secret);
        QFETCH(qint64, timestamp);
        QFETCH(int, code);
        // "title" is empty: sent, but not part of the signature.
        QMap<QString, QString> params{{QStringLiteral("cateId"), QStringLiteral("1")},
                                      {QStringLiteral("title"), QString()},
                                      {QStringLiteral("timestamp"), QString::number(timestamp)}};
        const HttpReply reply =
            client_.SignedGet(QStringLiteral("/v3/video/list-video"), params, appId, secret);
        QCOMPARE(reply.status, 200L);
        QCOMPARE(reply.ErrorCode(), code);
    }

    void tamperedParameterFailsTheSignature()
    {
        QMap<QString, QString> params{{QStringLiteral("name"), QStringLiteral("A")},
                                      {QStringLiteral("parentId"), QStringLiteral("1")}};
        PlatformClient::Sign(&params, appId_, secret_);
        params.insert(QStringLiteral("name"), QStringLiteral("B"));
        const HttpReply reply =
            client_.Request("POST", QStringLiteral("/v3/category/add"),
                            {{"Content-Type", "application/x-www-form-urlencoded"}},
                            PlatformClient::Encode(params));
        QCOMPARE(reply.ErrorCode(), 104);
    }

    void permissionBits()
    {
        const auto viewer = SubCredentials(QStringLiteral("viewer@kavro.example"));
        QVERIFY(!viewer.second.isEmpty());
        QCOMPARE(client_
                     .SignedPost(QStringLiteral("/v3/category/add"),
                                 {{QStringLiteral("parentId"), QStringLiteral("1")},
                                  {QStringLiteral("name"), QStringLiteral("Nope")}},
                                 viewer.first, viewer.second)
                     .ErrorCode(),
                 105);
        QCOMPARE(client_
                     .SignedGet(QStringLiteral("/v3/category/get-cate-tree"),
                                {{QStringLiteral("cateId"), QStringLiteral("1")}}, viewer.first,
                                viewer.second)
                     .ErrorCode(),
                 0);
        // The classifier works only below its own top category ("Courses", id 2).
        const auto classifier = SubCredentials(QStringLiteral("classifier@kavro.example"));
        QCOMPARE(client_
                     .SignedGet(QStringLiteral("/v3/category/get-cate-tree"),
                                {{QStringLiteral("cateId"), QStringLiteral("1")}}, classifier.first,
                                classifier.second)
                     .ErrorCode(),
                 106);
        QCOMPARE(client_
                     .SignedGet(QStringLiteral("/v3/category/get-cate-tree"),
                                {{QStringLiteral("cateId"), QStringLiteral("2")}}, classifier.first,
                                classifier.second)
                     .ErrorCode(),
                 0);
    }

    void adminChangesAnAccount()
    {
        auto admin = [&](const QByteArray& query) {
            return client_
                .Request("POST", QStringLiteral("/admin/account?") + QString::fromLatin1(query))
                .status;
        };
        QCOMPARE(admin("email=manager%40kavro.example&permissions=cataRefresh,videoAllSearch"),
                 204L);
        const auto manager = SubCredentials(QStringLiteral("manager@kavro.example"));
        const QJsonObject permission = client_
                                           .Login(QStringLiteral("manager@kavro.example"),
                                                  QString::fromLatin1(demo::kSubPassword))
                                           .Json()
                                           .value(QStringLiteral("data"))
                                           .toObject()
                                           .value(QStringLiteral("permission"))
                                           .toObject();
        QCOMPARE(permission.value(QStringLiteral("cataRefresh")).toInt(), 1);
        QCOMPARE(permission.value(QStringLiteral("cataAdd")).toInt(), 0);
        const QMap<QString, QString> add{{QStringLiteral("parentId"), QStringLiteral("1")},
                                         {QStringLiteral("name"), QStringLiteral("By manager")}};
        QCOMPARE(
            client_
                .SignedPost(QStringLiteral("/v3/category/add"), add, manager.first, manager.second)
                .ErrorCode(),
            105);
        QCOMPARE(admin("email=manager%40kavro.example&permissions=all"), 204L);
        QCOMPARE(
            client_
                .SignedPost(QStringLiteral("/v3/category/add"), add, manager.first, manager.second)
                .ErrorCode(),
            0);
        QCOMPARE(admin("email=manager%40kavro.example&permissions=flyAway"), 400L);
        QCOMPARE(admin("email=nobody%40kavro.example&space=1"), 404L);
    }

    void treeHasPathsAndCounts()
    {
        const QJsonObject top = Tree();
        QCOMPARE(top.value(QStringLiteral("cateId")).toVariant().toLongLong(), 1);
        QCOMPARE(top.value(QStringLiteral("cateTree")).toString(), QStringLiteral("1"));
        QCOMPARE(top.value(QStringLiteral("parentId")).toVariant().toLongLong(), 0);
        int nodes = 0;
        int videos = 0;
        int deepest = 0;
        Walk(top, [&](const QJsonObject& node) {
            ++nodes;
            videos += node.value(QStringLiteral("videoCount")).toInt();
            const QStringList path =
                node.value(QStringLiteral("cateTree")).toString().split(QLatin1Char(','));
            deepest = qMax(deepest, path.size());
            QCOMPARE(path.last().toLongLong(),
                     node.value(QStringLiteral("cateId")).toVariant().toLongLong());
            for (const QJsonValue& child : node.value(QStringLiteral("children")).toArray()) {
                QCOMPARE(
                    child.toObject().value(QStringLiteral("parentId")).toVariant().toLongLong(),
                    node.value(QStringLiteral("cateId")).toVariant().toLongLong());
            }
        });
        QVERIFY(nodes >= 15);
        QCOMPARE(deepest, 4);  // the top and three levels below it
        const HttpReply list =
            client_.SignedGet(QStringLiteral("/v3/video/list-video"),
                              {{QStringLiteral("cateId"), QStringLiteral("1")},
                               {QStringLiteral("containSubCate"), QStringLiteral("Y")},
                               {QStringLiteral("page"), QStringLiteral("1")},
                               {QStringLiteral("pageSize"), QStringLiteral("1")}},
                              appId_, secret_);
        QCOMPARE(list.Json()
                     .value(QStringLiteral("data"))
                     .toObject()
                     .value(QStringLiteral("totalItems"))
                     .toInt(),
                 videos);
        // A subtree is answered with its full path from the library's top.
        const QJsonObject sub = Tree(5);
        QCOMPARE(sub.value(QStringLiteral("cateTree")).toString(), QStringLiteral("1,2,5"));
    }

    void categoryRefusals_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("firstValue");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("secondValue");
        QTest::addColumn<int>("code");
        const QString add = QStringLiteral("/v3/category/add");
        const QString rename = QStringLiteral("/v3/category/update-info");
        const QString move = QStringLiteral("/v3/category/update-cate");
        const QString parent = QStringLiteral("parentId");
        const QString name = QStringLiteral("name");
        QTest::newRow("add blank") << add << parent << "1" << name << "   " << 3000;
        QTest::newRow("add too long")
            << add << parent << "1" << name << QString(31, QLatin1Char('x')) << 3010;
        QTest::newRow("add 30 characters")
            << add << parent << "1" << name << QString(30, QLatin1Char('y')) << 0;
        QTest::newRow("add duplicate sibling") << add << parent << "1" << name << "Courses" << 3003;
        QTest::newRow("add same name elsewhere") << add << parent << "3" << name << "Courses" << 0;
        QTest::newRow("add under missing parent")
            << add << parent << "999999" << name << "X" << 3001;
        QTest::newRow("add in another library") << add << parent << "16" << name << "X" << 3001;
        QTest::newRow("rename to sibling's name") << rename << "cateId"
                                                  << "3"
                                                  << "cateName"
                                                  << "Courses" << 3003;
        QTest::newRow("rename blank") << rename << "cateId"
                                      << "3"
                                      << "cateName"
                                      << "" << 3000;
        QTest::newRow("rename top") << rename << "cateId"
                                    << "1"
                                    << "cateName"
                                    << "Top" << 3005;
        QTest::newRow("rename missing") << rename << "cateId"
                                        << "999999"
                                        << "cateName"
                                        << "Z" << 3001;
        QTest::newRow("move into own child") << move << "cateId"
                                             << "2"
                                             << "destCateId"
                                             << "5" << 3005;
        QTest::newRow("move into itself") << move << "cateId"
                                          << "2"
                                          << "destCateId"
                                          << "2" << 3005;
        QTest::newRow("move into grandchild") << move << "cateId"
                                              << "2"
                                              << "destCateId"
                                              << "10" << 3005;
        QTest::newRow("move top") << move << "cateId"
                                  << "1"
                                  << "destCateId"
                                  << "2" << 3005;
        QTest::newRow("move to missing") << move << "cateId"
                                         << "6"
                                         << "destCateId"
                                         << "999999" << 3001;
    }

    void categoryRefusals()
    {
        QFETCH(QString, path);
        QFETCH(QString, first);
        QFETCH(QString, firstValue);
        QFETCH(QString, second);
        QFETCH(QString, secondValue);
        QFETCH(int, code);
        const HttpReply reply = Post(path, {{first, firstValue}, {second, secondValue}});
        QCOMPARE(reply.ErrorCode(), code);
    }

    void injectedFaults_data()
    {
        QTest::addColumn<QByteArray>("rule");
        QTest::addColumn<long>("status");
        QTest::addColumn<int>("code");  // envelope error code, -1: the body is not JSON
        QTest::addColumn<int>("minDelayMs");
        QTest::newRow("status") << QByteArray("status=503") << 503L << -1 << 0;
        QTest::newRow("platform code") << QByteArray("code=105") << 200L << 105 << 0;
        QTest::newRow("malformed") << QByteArray("body=malformed") << 200L << -1 << 0;
        QTest::newRow("truncated") << QByteArray("body=truncated") << 200L << -1 << 0;
        QTest::newRow("delay") << QByteArray("delay=400") << 200L << 0 << 400;
    }

    void injectedFaults()
    {
        QFETCH(QByteArray, rule);
        QFETCH(long, status);
        QFETCH(int, code);
        QFETCH(int, minDelayMs);
        const HttpReply added = client_.Request("POST", QStringLiteral("/admin/faults"),
                                                {{"Content-Type", "text/plain"}},
                                                "path=/v3/category/get-cate-tree,times=1," + rule);
        QCOMPARE(added.status, 200L);
        const QMap<QString, QString> params{{QStringLiteral("cateId"), QStringLiteral("1")}};
        QElapsedTimer timer;
        timer.start();
        const HttpReply faulty = client_.SignedGet(QStringLiteral("/v3/category/get-cate-tree"),
                                                   params, appId_, secret_);
        QVERIFY(timer.elapsed() >= minDelayMs);
        QCOMPARE(faulty.status, status);
        QJsonParseError error;
        QJsonDocument::fromJson(faulty.body, &error);
        if (code < 0) {
            QVERIFY(error.error != QJsonParseError::NoError);
        } else {
            QCOMPARE(faulty.ErrorCode(), code);
        }
        // "times=1": the next request is served normally again.
        const HttpReply next = client_.SignedGet(QStringLiteral("/v3/category/get-cate-tree"),
                                                 params, appId_, secret_);
        QCOMPARE(next.ErrorCode(), 0);
        QCOMPARE(client_.Request("GET", QStringLiteral("/admin/faults"))
                     .Json()
                     .value(QStringLiteral("faults"))
                     .toArray()
                     .size(),
                 0);
    }
};

QTEST_GUILESS_MAIN(TestDevplatformApi)
#include "tst_devplatform_api.moc"
