// The devplatform's login, request signing and category rules against a running server.
#include <curl/curl.h>
#include <functional>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include "PlatformClient.h"
#include "common/DemoSeed.h"
#include "common/TestLiterals.h"

namespace {

// Every node of a get-cate-tree answer, depth first.
void Walk(const QJsonObject& node, const std::function<void(const QJsonObject&)>& visit)
{
    visit(node);
    for (const QJsonValue& child : node.value("children"_s).toArray()) {
        Walk(child.toObject(), visit);
    }
}

}  // namespace

class TestDevplatformApi : public QObject
{
    Q_OBJECT

private:
    PlatformClient client_;
    const QString appId_ = demo::kMainAppId;
    const QString secret_ = demo::kMainSecret;

    QJsonObject Tree(qint64 cateId = 1) const
    {
        const HttpReply reply = client_.SignedGet("/v3/category/get-cate-tree"_s,
                                                  {{"cateId"_s, QString::number(cateId)}});
        return reply.Data();
    }

    // The credentials of the demo library's n-th sub-account (docs/devplatform.md); the client's
    // sign-in tests check that a login hands them out.
    static QPair<QString, QString> Sub(const QString& name, int n)
    {
        return {"K1SUB%1"_s.arg(n, 5, 10, QLatin1Char('0')), "sub-secret-%1-%2"_s.arg(name).arg(n)};
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(client_.IsConfigured(), "run through with-devplatform");
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }

    void loginAnswersTheAccountRecord()
    {
        const HttpReply reply = client_.Login("Demo@kavro.example"_s, demo::kMainPassword);
        // The envelope's shape is checked by every request of the client's platform tests.
        QVERIFY(!reply.Json().value("requestId"_s).toString().isEmpty());
        const QJsonObject data = reply.Data();
        QCOMPARE(data.value("appId"_s).toString(), appId_);
        QCOMPARE(data.value("userId"_s).toString(), demo::kMainUserId);
        QCOMPARE(data.value("expired"_s).toString(), "N"_s);
        QCOMPARE(data.value("cateId"_s).toVariant().toLongLong(), 1);
        QVERIFY(data.value("remainBytes"_s).toDouble() < data.value("space"_s).toDouble());
        const QJsonObject permission = data.value("permission"_s).toObject();
        QCOMPARE(permission.value("childAccountType"_s).toInt(), -1);
        QCOMPARE(permission.size(), 15);
        for (auto it = permission.constBegin(); it != permission.constEnd(); ++it) {
            QVERIFY2(it.key() == QLatin1String("childAccountType") || it.value().toInt() == 1,
                     qPrintable(it.key()));
        }
    }

    void loginRefusals_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("code");
        QTest::newRow("empty email") << QString() << "x"_s << 20;
        QTest::newRow("empty password") << "demo@kavro.example"_s << QString() << 21;
        QTest::newRow("unknown user") << "nobody@kavro.example"_s
                                      << "x"_s << 22;
        QTest::newRow("expired sub-account")
            << "expired@kavro.example"_s << demo::kSubPassword << 26;
    }

    void loginRefusals()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(int, code);
        const HttpReply reply =
            password.isEmpty()
                ? client_.Request("POST", "/v3/front/login-client"_s,
                                  {{"Content-Type", "application/x-www-form-urlencoded"}},
                                  "email=demo%40kavro.example&password=")
                : client_.Login(email, password);
        QCOMPARE(reply.ErrorCode(), code);
        QCOMPARE(reply.Json().value("status"_s).toString(), "error"_s);
    }

    void wrongPasswordsLockTheAccount_data()
    {
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("wrongCode");
        QTest::newRow("main account") << "locked@kavro.example"_s
                                      << "locked1234"_s << 23;
        QTest::newRow("sub-account") << "locked-sub@kavro.example"_s << demo::kSubPassword << 24;
    }

    void wrongPasswordsLockTheAccount()
    {
        QFETCH(QString, email);
        QFETCH(QString, password);
        QFETCH(int, wrongCode);
        // A right password in between restores the full count.
        QCOMPARE(client_.Login(email, "wrong"_s).ErrorCode(), wrongCode);
        QCOMPARE(client_.Login(email, password).ErrorCode(), 0);
        for (int remain = 4; remain >= 0; --remain) {
            const HttpReply reply = client_.Login(email, "wrong"_s);
            QCOMPARE(reply.ErrorCode(), wrongCode);
            QCOMPARE(reply.Data().value("remainLoginChange"_s).toInt(), remain);
        }
        QCOMPARE(client_.Login(email, password).ErrorCode(), 31);
        QCOMPARE(client_.Login(email, "wrong"_s).ErrorCode(), 31);
    }

    void signatureChecks_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("secret");
        QTest::addColumn<qint64>("timestamp");
        QTest::addColumn<int>("code");
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QTest::newRow("right") << appId_ << secret_ << now << 0;
        QTest::newRow("wrong secret") << appId_ << "guess"_s << now << 104;
        QTest::newRow("unknown appId") << "NOPE"_s << secret_ << now << 101;
        QTest::newRow("empty appId") << QString() << secret_ << now << 107;
        QTest::newRow("old timestamp") << appId_ << secret_ << now - 3600 * 1000 << 100;
        QTest::newRow("expired sub-account") << "K1SUB00006"_s
                                             << "sub-secret-expired-6"_s << now << 103;
    }

    void signatureChecks()
    {
        QFETCH(QString, appId);
        QFETCH(QString, secret);
        QFETCH(qint64, timestamp);
        QFETCH(int, code);
        // "title" is empty: sent, but not part of the signature.
        QMap<QString, QString> params{{"cateId"_s, "1"_s},
                                      {"title"_s, QString()},
                                      {"timestamp"_s, QString::number(timestamp)}};
        const HttpReply reply = client_.SignedGet("/v3/video/list-video"_s, params, appId, secret);
        QCOMPARE(reply.status, 200L);
        QCOMPARE(reply.ErrorCode(), code);
    }

    void tamperedParameterFailsTheSignature()
    {
        QMap<QString, QString> params{{"name"_s, "A"_s}, {"parentId"_s, "1"_s}};
        PlatformClient::Sign(&params);
        params.insert("name"_s, "B"_s);
        const HttpReply reply = client_.Request(
            "POST", "/v3/category/add"_s, {{"Content-Type", "application/x-www-form-urlencoded"}},
            PlatformClient::Encode(params));
        QCOMPARE(reply.ErrorCode(), 104);
    }

    void permissionBits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("cateId");
        QTest::addColumn<int>("code");
        const QString add = "/v3/category/add"_s;
        const QString tree = "/v3/category/get-cate-tree"_s;
        QTest::newRow("viewer adds") << "viewer"_s << 4 << add << "1"_s << 105;
        QTest::newRow("viewer reads") << "viewer"_s << 4 << tree << "1"_s << 0;
        // The classifier works only below its own top category ("Courses", id 2).
        QTest::newRow("classifier, top") << "classifier"_s << 5 << tree << "1"_s << 106;
        QTest::newRow("classifier, own") << "classifier"_s << 5 << tree << "2"_s << 0;
    }

    void permissionBits()
    {
        QFETCH(QString, name);
        QFETCH(int, n);
        QFETCH(QString, path);
        QFETCH(QString, cateId);
        QFETCH(int, code);
        const auto sub = Sub(name, n);
        const HttpReply reply =
            path.endsWith("add"_s)
                ? client_.SignedPost(path, {{"parentId"_s, cateId}, {"name"_s, "Nope"_s}},
                                     sub.first, sub.second)
                : client_.SignedGet(path, {{"cateId"_s, cateId}}, sub.first, sub.second);
        QCOMPARE(reply.ErrorCode(), code);
    }

    void adminChangesAnAccount()
    {
        auto admin = [&](const QByteArray& query) {
            return client_.Request("POST", "/admin/account?"_s + QString::fromLatin1(query)).status;
        };
        QCOMPARE(admin("email=manager%40kavro.example&permissions=cataRefresh,videoAllSearch"),
                 204L);
        const auto manager = Sub("manager"_s, 1);
        const QJsonObject permission = client_.Login("manager@kavro.example"_s, demo::kSubPassword)
                                           .Data()
                                           .value("permission"_s)
                                           .toObject();
        QCOMPARE(permission.value("cataRefresh"_s).toInt(), 1);
        QCOMPARE(permission.value("cataAdd"_s).toInt(), 0);
        const QMap<QString, QString> add{{"parentId"_s, "1"_s}, {"name"_s, "By manager"_s}};
        QCOMPARE(client_.SignedPost("/v3/category/add"_s, add, manager.first, manager.second)
                     .ErrorCode(),
                 105);
        QCOMPARE(admin("email=manager%40kavro.example&permissions=all"), 204L);
        QCOMPARE(client_.SignedPost("/v3/category/add"_s, add, manager.first, manager.second)
                     .ErrorCode(),
                 0);
        QCOMPARE(admin("email=manager%40kavro.example&permissions=flyAway"), 400L);
        QCOMPARE(admin("email=nobody%40kavro.example&space=1"), 404L);
    }

    void treeHasPathsAndCounts()
    {
        const QJsonObject top = Tree();
        QCOMPARE(top.value("cateId"_s).toVariant().toLongLong(), 1);
        QCOMPARE(top.value("cateTree"_s).toString(), "1"_s);
        QCOMPARE(top.value("parentId"_s).toVariant().toLongLong(), 0);
        int nodes = 0;
        int videos = 0;
        int deepest = 0;
        Walk(top, [&](const QJsonObject& node) {
            ++nodes;
            videos += node.value("videoCount"_s).toInt();
            const QStringList path = node.value("cateTree"_s).toString().split(QLatin1Char(','));
            deepest = qMax(deepest, path.size());
            QCOMPARE(path.last().toLongLong(), node.value("cateId"_s).toVariant().toLongLong());
            for (const QJsonValue& child : node.value("children"_s).toArray()) {
                QCOMPARE(child.toObject().value("parentId"_s).toVariant().toLongLong(),
                         node.value("cateId"_s).toVariant().toLongLong());
            }
        });
        QVERIFY(nodes >= 15);
        QCOMPARE(deepest, 4);  // the top and three levels below it
        const HttpReply list =
            client_.SignedGet("/v3/video/list-video"_s, {{"cateId"_s, "1"_s},
                                                         {"containSubCate"_s, "Y"_s},
                                                         {"page"_s, "1"_s},
                                                         {"pageSize"_s, "1"_s}});
        QCOMPARE(list.Data().value("totalItems"_s).toInt(), videos);
        // A subtree is answered with its full path from the library's top.
        const QJsonObject sub = Tree(5);
        QCOMPARE(sub.value("cateTree"_s).toString(), "1,2,5"_s);
        const HttpReply missing =
            client_.SignedGet("/v3/category/get-cate-tree"_s, {{"cateId"_s, "999999"_s}});
        QCOMPARE(missing.ErrorCode(), 3001);
    }

    void categoryRefusals_data()
    {
        // add: parentId and name; rename: cateId and cateName; move: cateId and destCateId.
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("code");
        const auto row = [](const char* name, const char* path, const char* id,
                            const QString& value, int code) {
            QTest::newRow(name) << "/v3/category/"_s + QLatin1String(path)
                                << QString::fromLatin1(id) << value << code;
        };
        row("add blank", "add", "1", "   "_s, 3000);
        row("add too long", "add", "1", QString(31, QLatin1Char('x')), 3010);
        row("add 30 characters", "add", "1", QString(30, QLatin1Char('y')), 0);
        row("add duplicate sibling", "add", "1", "Courses"_s, 3003);
        row("add same name elsewhere", "add", "3", "Courses"_s, 0);
        row("add under missing parent", "add", "999999", "X"_s, 3001);
        row("add in another library", "add", "16", "X"_s, 3001);
        row("rename to sibling's name", "update-info", "3", "Courses"_s, 3003);
        row("rename blank", "update-info", "3", QString(), 3000);
        row("rename top", "update-info", "1", "Top"_s, 3005);
        row("rename missing", "update-info", "999999", "Z"_s, 3001);
        row("move into own child", "update-cate", "2", "5"_s, 3005);
        row("move into itself", "update-cate", "2", "2"_s, 3005);
        row("move into grandchild", "update-cate", "2", "10"_s, 3005);
        row("move top", "update-cate", "1", "2"_s, 3005);
        row("move to missing", "update-cate", "6", "999999"_s, 3001);
    }

    void categoryRefusals()
    {
        QFETCH(QString, path);
        QFETCH(QString, id);
        QFETCH(QString, value);
        QFETCH(int, code);
        const bool add = path.endsWith("add"_s);
        const QString second = add                       ? "name"_s
                               : path.endsWith("info"_s) ? "cateName"_s
                                                         : "destCateId"_s;
        const HttpReply reply =
            client_.SignedPost(path, {{add ? "parentId"_s : "cateId"_s, id}, {second, value}});
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
        const HttpReply added =
            client_.Request("POST", "/admin/faults"_s, {{"Content-Type", "text/plain"}},
                            "path=/v3/category/get-cate-tree,times=1," + rule);
        QCOMPARE(added.status, 200L);
        const QMap<QString, QString> params{{"cateId"_s, "1"_s}};
        QElapsedTimer timer;
        timer.start();
        const HttpReply faulty = client_.SignedGet("/v3/category/get-cate-tree"_s, params);
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
        const HttpReply next = client_.SignedGet("/v3/category/get-cate-tree"_s, params);
        QCOMPARE(next.ErrorCode(), 0);
        QCOMPARE(
            client_.Request("GET", "/admin/faults"_s).Json().value("faults"_s).toArray().size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDevplatformApi)
#include "tst_devplatform_api.moc"
