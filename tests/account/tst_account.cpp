// Sign-in against the devplatform: the current user and permissions of a success, the refusal
// texts down to the lock, cancel, repeated calls, and a failed library initialisation.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include "account/AccountManager.h"
#include "api/ApiErrors.h"
#include "api/ApiSigning.h"
#include "app/Config.h"
#include "common/DemoSeed.h"
#include "common/PlatformTestConfig.h"
#include "common/TestLiterals.h"
#include "store/DBManager.h"
#include "upload/SDKManager.h"

namespace {

// An account manager wired as the application wires it (a sign-in initialises the upload
// manager for the account), with spies on its two outcomes.
struct SignIn
{
    SignIn()
    {
        manager.SetSdkInitializer(
            [](const QString& userId, const QString& appId, const QString& appSecret) {
                return SDKManager::instance()->Init(userId, appId, appSecret);
            });
    }

    AccountManager manager;
    QSignalSpy succeeded{&manager, &AccountManager::SignalLoginSucceed};
    QSignalSpy failed{&manager, &AccountManager::SignalLoginFailed};
};

}  // namespace

class TestAccount : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(!qEnvironmentVariableIsEmpty("KAVRO_PLATFORM_URL"));
        MakePlatformTestConfig(dir.filePath("global.ini"_s), this);  // owned by the test
        QVERIFY(DBManager::instance()->Open(dir.filePath("kvr-upload-client.db"_s)));
    }

    void init()
    {
        DBManager::instance()->RemoveAllUsers();
        DBManager::instance()->SetAccount(QString());
    }

    void cleanupTestCase()
    {
        SDKManager::instance()->Release();
        DBManager::Destroy();
        // The login requests' pool threads end before the process does, and with them the TLS
        // library's per-thread state (else the leak checker of the sanitized suite reports it).
        QThreadPool::globalInstance()->waitForDone();
    }

    void mainAccountSignsIn()
    {
        SignIn signIn;
        AccountManager& manager = signIn.manager;
        manager.Login(demo::kMainEmail, demo::kMainPassword, true);
        QVERIFY(manager.IsLoggingIn());
        manager.Login(demo::kMainEmail, "wrong"_s, true);  // ignored: one sign-in at a time
        QVERIFY(signIn.succeeded.wait(20000));
        QTest::qWait(500);  // an answer to the second call would have arrived
        QCOMPARE(signIn.succeeded.size(), 1);
        QCOMPARE(signIn.failed.size(), 0);
        QVERIFY(!manager.IsLoggingIn());

        QCOMPARE(manager.UserAccount(), demo::kMainEmail);
        QCOMPARE(manager.UserId(), demo::kMainUserId);
        QCOMPARE(manager.AppId(), demo::kMainAppId);
        // The secret arrives encrypted and is recovered with the shared login constant.
        QCOMPARE(manager.AppSecret(), demo::kMainSecret);
        QVERIFY(!manager.IsSubAccount());
        QVERIFY(manager.ChildUserName().isEmpty());
        QVERIFY(manager.Space() > 0);
        QCOMPARE(manager.PackageType(), "Enterprise"_s);

        const QVector<DBManager::User> users = DBManager::instance()->GetUsers();
        QCOMPARE(users.size(), 1);
        QCOMPARE(users.first().account, demo::kMainEmail);
        QCOMPARE(users.first().password, demo::kMainPassword);
        QVERIFY(users.first().rememberPassword);
        QCOMPARE(DBManager::instance()->Account(), demo::kMainEmail);
        QVERIFY(manager.CateId() > 0);
        QVERIFY(manager.HasPermission(AccountManager::VideoUpload));
        QVERIFY(manager.HasPermission(AccountManager::OperaCopyCode));
        QVERIFY(manager.HasPermission(AccountManager::OperaManage));
        // Signed requests now speak for this account.
        QCOMPARE(ApiCollection::credentials().appId, demo::kMainAppId);
        QCOMPARE(ApiCollection::credentials().appSecret, demo::kMainSecret);
    }

    // A sub-account signs in with its own credentials for the main account's library; without
    // "remember" no password is stored.
    void subAccountCarriesItsRole()
    {
        SignIn signIn;
        AccountManager& manager = signIn.manager;
        manager.Login("viewer@kavro.example"_s, demo::kSubPassword, false);
        QVERIFY(signIn.succeeded.wait(20000));
        QVERIFY(manager.IsSubAccount());
        QCOMPARE(manager.ChildUserName(), "viewer"_s);
        QCOMPARE(manager.UserId(), demo::kMainUserId);
        QCOMPARE(manager.AppId(), demo::kViewerAppId);
        QCOMPARE(manager.AppSecret(), demo::kViewerSecret);
        const AccountManager::PermissionFlags viewing =
            AccountManager::CateSearch | AccountManager::CateRefresh |
            AccountManager::VideoAllSearch | AccountManager::VideoCurrentCateSearch |
            AccountManager::OperaCopyCode;
        QCOMPARE(manager.Permissions(), viewing);

        const QVector<DBManager::User> users = DBManager::instance()->GetUsers();
        QCOMPARE(users.size(), 1);
        QCOMPARE(users.first().password, QString());
        QVERIFY(!users.first().rememberPassword);
    }

    void refusalText_data()
    {
        QTest::addColumn<int>("errorCode");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<QString>("expected");

        const int wrongPassword = ApiCollection::MAIN_ACCOUNT_PWD_ERR;
        const QString wrong = ApiCollection::errorCodeString(wrongPassword);
        const QString locked = ApiCollection::errorCodeString(ApiCollection::ACCOUNT_LOCKED);
        QTest::newRow("3 left") << wrongPassword << 3 << wrong + ", 3 attempts remaining"_s;
        QTest::newRow("1 left") << wrongPassword << 1 << wrong + ", 1 attempts remaining"_s;
        QTest::newRow("none left") << wrongPassword << 0 << wrong + ", "_s + locked;
        QTest::newRow("5 left: no suffix") << wrongPassword << 5 << wrong;
        QTest::newRow("unknown count: no suffix") << wrongPassword << -1 << wrong;
        QTest::newRow("locked") << int(ApiCollection::ACCOUNT_LOCKED) << 0 << locked;
    }

    // The text of a refused sign-in (the platform's own counting down to the lock is
    // tst_devplatform_api's).
    void refusalText()
    {
        QFETCH(int, errorCode);
        QFETCH(int, remaining);
        QFETCH(QString, expected);
        QVERIFY(!expected.isEmpty());
        ApiCollection::LoginResult result;
        result.errorCode = errorCode;
        result.remainLoginChange = remaining;
        QCOMPARE(AccountManager::RefusalText(result), expected);
    }

    // A cancelled sign-in (here one that would succeed) reports and stores nothing; the next
    // attempt (a wrong password) is handled alone and says how many attempts remain.
    void cancelledLoginIsForgotten()
    {
        SignIn signIn;
        AccountManager& manager = signIn.manager;
        manager.Login(demo::kMainEmail, demo::kMainPassword, true);
        manager.LoginCancel();
        QVERIFY(!manager.IsLoggingIn());
        manager.Login("other@kavro.example"_s, "not-the-password"_s, true);
        QVERIFY(signIn.failed.wait(20000));
        QTest::qWait(1500);
        QCOMPARE(signIn.failed.size(), 1);
        QCOMPARE(signIn.failed.first().at(0).toString(),
                 ApiCollection::errorCodeString(ApiCollection::MAIN_ACCOUNT_PWD_ERR) +
                     ", 4 attempts remaining"_s);
        QCOMPARE(signIn.succeeded.size(), 0);
        QVERIFY(DBManager::instance()->GetUsers().isEmpty());
        QCOMPARE(DBManager::instance()->Account(), QString());
    }

    void failedLibraryInitStoresNothing()
    {
        SignIn signIn;
        signIn.manager.SetSdkInitializer(
            [](const QString&, const QString&, const QString&) { return false; });
        signIn.manager.Login(demo::kMainEmail, demo::kMainPassword, true);
        QVERIFY(signIn.failed.wait(20000));
        QCOMPARE(signIn.failed.first().at(0).toString(), "Init SDK Error"_s);
        QCOMPARE(signIn.succeeded.size(), 0);
        QVERIFY(DBManager::instance()->GetUsers().isEmpty());
        QCOMPARE(DBManager::instance()->Account(), QString());
    }

    // Nothing listens at the address: the failure says which address was tried.
    void unreachablePlatformNamesAddress()
    {
        const QByteArray saved = qgetenv("KAVRO_PLATFORM_URL");
        const QString address = "https://127.0.0.1:9"_s;
        qputenv("KAVRO_PLATFORM_URL", address.toUtf8());
        SignIn signIn;
        signIn.manager.Login(demo::kMainEmail, demo::kMainPassword, true);
        const bool answered = signIn.failed.wait(20000);
        qputenv("KAVRO_PLATFORM_URL", saved);
        QVERIFY(answered);
        const QString text = signIn.failed.first().at(0).toString();
        QVERIFY2(text.contains(address), qPrintable(text));
        QVERIFY(DBManager::instance()->GetUsers().isEmpty());
    }

private:
    QTemporaryDir dir;
};

QTEST_GUILESS_MAIN(TestAccount)
#include "tst_account.moc"
