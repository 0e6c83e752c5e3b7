// The web API client against a running devplatform over HTTPS, verified by the platform's own
// test CA: the update check, TLS with a CA that does not match, and the check of a new platform
// address. The requests of the library pages reach the platform in the model and window tests.
#include <curl/curl.h>
#include <kavro/Deployment.h>
#include <thread>

#include <QTemporaryDir>
#include <QtTest>

#include "api/Api.h"
#include "api/ApiProbe.h"
#include "api/CurlHandlePool.h"
#include "app/Config.h"
#include "common/OffGuiThread.h"

using namespace ApiCollection;

class TestApiPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void updateCheck();
    void untrustedCaRefused();
    void platformProbe_data();
    void platformProbe();
    void connectionKept();

private:
    QTemporaryDir dir;
    Config* config = nullptr;
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
}

void TestApiPlatform::cleanupTestCase()
{
    QThreadPool::globalInstance()->waitForDone();  // pool threads end with their OpenSSL state
    Config::SetGlobal(nullptr);
    curl_global_cleanup();
}

// The platform accepts the client's signed check and offers this system's package; the
// comparison of other offered versions is tst_api's table.
void TestApiPlatform::updateCheck()
{
    QCOMPARE(OffGuiThread([] { return checkVersion(nullptr); }), AlreadyUpToDate);
    const CheckUpdateResult offer = lastCheckUpdateResult();
    QCOMPARE(offer.projectVersion, QStringLiteral("2.4.2"));
    QVERIFY2(offer.projectDownload.endsWith(QStringLiteral("/files/installer/") +
                                            QLatin1String(kavro::deployment::kLinuxPackageName)),
             qPrintable(offer.projectDownload));
}

void TestApiPlatform::untrustedCaRefused()
{
    // A CA bundle that does not hold the platform's CA: TLS verification refuses the server.
    const QString otherCa = dir.filePath(QStringLiteral("other-ca.pem"));
    QFile::copy(QStringLiteral("/etc/ssl/certs/ca-certificates.crt"), otherCa);
    config->SetValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"), otherCa);
    QString error;
    QByteArray response;
    const RequestError result = OffGuiThread([&] {
        return LoginClientRequest(QUuid::createUuid(), QStringLiteral("demo@kavro.example"),
                                  QStringLiteral("demo1234"), &response, nullptr, &error);
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

// Requests one after another, on one thread or on several, go over the connection the first
// one opened: only the first pays a TCP and TLS handshake.
void TestApiPlatform::connectionKept()
{
    CurlHandlePool::Clear();
    const qint64 before = CurlHandlePool::ConnectionsOpened();
    const QString url = qEnvironmentVariable("KAVRO_PLATFORM_URL");
    for (int thread = 0; thread < 3; ++thread) {
        QVector<RequestError> results;
        std::thread worker([&] {
            for (int i = 0; i < 3; ++i) {
                results << ApiCollection::ProbePlatform(url, nullptr, nullptr);
            }
        });
        worker.join();
        QCOMPARE(results, QVector<RequestError>(3, NoError));
    }
    QCOMPARE(CurlHandlePool::ConnectionsOpened() - before, 1);
}

QTEST_MAIN(TestApiPlatform)
#include "tst_api_platform.moc"
