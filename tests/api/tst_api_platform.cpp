// The web API client against a running devplatform over HTTPS, verified by the platform's own
// test CA: the update check, TLS with a CA that does not match, the check of a new platform
// address and the connection kept between requests. The requests of the library pages reach
// the platform in the model and window tests.
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
#include "common/TestLiterals.h"

using namespace ApiCollection;

class TestApiPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString url = qEnvironmentVariable("KAVRO_PLATFORM_URL");
        const QString caFile = qEnvironmentVariable("KAVRO_TEST_CACERT");
        QVERIFY2(!url.isEmpty() && !caFile.isEmpty(), "run through with-devplatform");
        QVERIFY(url.startsWith(QLatin1String("https://")));
        QVERIFY(dir.isValid());
        QCOMPARE(curl_global_init(CURL_GLOBAL_ALL), CURLE_OK);
        // The client's own settings, as the preferences and the demo set them.
        config = new Config(dir.filePath("global.ini"_s), this);
        config->RegisterDefaults();
        config->SetValue("NetWorkManager"_s, "customSSLCacert"_s, caFile);
        config->SetValue("Custom"_s, "platformUrl"_s, url);
        config->SetValue("Custom"_s, "updateUrl"_s, url + "/api/app/package/version/check"_s);
        Config::SetGlobal(config);
        QCOMPARE(platformBaseUrl(), url);
    }

    void cleanupTestCase()
    {
        QThreadPool::globalInstance()->waitForDone();  // pool threads end with their OpenSSL state
        Config::SetGlobal(nullptr);
        curl_global_cleanup();
    }

    // The platform accepts the client's signed check and offers this system's package; the
    // comparison of other offered versions is tst_api's table.
    void updateCheck()
    {
        QCOMPARE(OffGuiThread([] { return checkVersion(nullptr); }), AlreadyUpToDate);
        const CheckUpdateResult offer = lastCheckUpdateResult();
        QCOMPARE(offer.projectVersion, "2.4.2"_s);
        QVERIFY2(offer.projectDownload.endsWith(
                     "/files/installer/"_s + QLatin1String(kavro::deployment::kLinuxPackageName)),
                 qPrintable(offer.projectDownload));
    }

    void untrustedCaRefused()
    {
        // A CA bundle that does not hold the platform's CA: TLS verification refuses the server,
        // and the request fails as any broken transfer does (a refused connection alike).
        const QString otherCa = dir.filePath("other-ca.pem"_s);
        QFile::copy("/etc/ssl/certs/ca-certificates.crt"_s, otherCa);
        config->SetValue("NetWorkManager"_s, "customSSLCacert"_s, otherCa);
        QString error;
        QByteArray response;
        const RequestError result = OffGuiThread([&] {
            return LoginClientRequest(QUuid::createUuid(), "demo@kavro.example"_s, "demo1234"_s,
                                      &response, nullptr, &error);
        });
        config->SetValue("NetWorkManager"_s, "customSSLCacert"_s,
                         qEnvironmentVariable("KAVRO_TEST_CACERT"));
        QCOMPARE(result, CurlPerformFailed);
        QVERIFY(response.isEmpty());
        QVERIFY2(error.contains(QLatin1String("certificate"), Qt::CaseInsensitive) ||
                     error.contains(QLatin1String("SSL"), Qt::CaseInsensitive),
                 qPrintable(error));
    }

    void platformProbe_data()
    {
        QTest::addColumn<QString>("address");  // "%1" stands for the devplatform's base URL
        QTest::addColumn<bool>("answers");
        QTest::newRow("the platform") << "%1"_s << true;
        QTest::newRow("trailing slash") << "%1/"_s << true;
        QTest::newRow("not a platform") << "%1/files"_s << false;
        QTest::newRow("nothing listens") << "https://127.0.0.1:9"_s << false;
        QTest::newRow("plain http") << "http://127.0.0.1:9"_s << false;
        QTest::newRow("not an address") << "platform.example"_s << false;
    }

    // The check a new platform address must pass before the network settings save it.
    void platformProbe()
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

    // Requests one after another, on one thread or on several, go over the connection the
    // first one opened: only the first pays a TCP and TLS handshake.
    void connectionKept()
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

private:
    QTemporaryDir dir;
    Config* config = nullptr;
};

QTEST_MAIN(TestApiPlatform)
#include "tst_api_platform.moc"
