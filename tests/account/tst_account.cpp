// Sign-in against the devplatform: the current user and permissions of a success, the texts
// of refusals down to the lock, cancel, repeated calls, and a failed library initialisation.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include "account/AccountManager.h"
#include "api/ApiErrors.h"
#include "api/ApiSigning.h"
#include "app/Config.h"
#include "common/PlatformTestConfig.h"
#include "store/DBManager.h"
#include "upload/SDKManager.h"

namespace {

// As the application wires it: a sign-in initialises the upload manager for the account.
void WireUploads(AccountManager& manager)
{
    manager.SetSdkInitializer(
        [](const QString& userId, const QString& appId, const QString& appSecret) {
            return SDKManager::instance()->Init(userId, appId, appSecret);
        });
}

}  // namespace

class TestAccount : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void mainAccountSignsIn();
    void subAccountCarriesItsRole();
    void rememberOffStoresNoPassword();
    void wrongPasswordsCountDownToLock();
    void cancelledLoginEmitsNothing();
    void secondLoginWhileRunningIsIgnored();
    void cancelThenLoginHandlesOnlyTheNewAttempt();
    void failedLibraryInitStoresNothing();
    void unreachablePlatformNamesAddress();

private:
    QTemporaryDir dir;
    Config* config = nullptr;
};

void TestAccount::initTestCase()
{
    QVERIFY(!qEnvironmentVariableIsEmpty("KAVRO_PLATFORM_URL"));
    config = MakePlatformTestConfig(dir.filePath(QStringLiteral("global.ini")), this);
    QVERIFY(DBManager::instance()->Open(dir.filePath(QStringLiteral("kvr-upload-client.db"))));
}

void TestAccount::init()
{
    DBManager::instance()->RemoveAllUsers();
    DBManager::instance()->SetAccount(QString());
}

void TestAccount::cleanupTestCase()
{
    SDKManager::instance()->Release();
    DBManager::Destroy();
    // The login requests' pool threads end before the process does, and with them the TLS
    // library's per-thread state (else the leak checker of the sanitized suite reports it).
    QThreadPool::globalInstance()->waitForDone();
}

void TestAccount::mainAccountSignsIn()
{
    AccountManager manager;
    WireUploads(manager);
    QSignalSpy succeeded(&manager, &AccountManager::SignalLoginSucceed);
    QSignalSpy failed(&manager, &AccountManager::SignalLoginFailed);
    manager.Login(QStringLiteral("demo@kavro.example"), QStringLiteral("demo1234"), true);
    QVERIFY(manager.IsLoggingIn());
    QVERIFY(succeeded.wait(20000));
    QCOMPARE(failed.size(), 0);
    QVERIFY(!manager.IsLoggingIn());

    QCOMPARE(manager.UserAccount(), QStringLiteral("demo@kavro.example"));
    QCOMPARE(manager.UserId(), QStringLiteral("1d3e5a7c9b"));
    QCOMPARE(manager.AppId(), QStringLiteral("K1D3E5A7C9"));
    QCOMPARE(manager.AppSecret(), QStringLiteral("demo-secret-6f1c2a9e4b7d"));
    QVERIFY(!manager.IsSubAccount());
    QVERIFY(manager.ChildUserName().isEmpty());
    QVERIFY(manager.Space() > 0);
    QCOMPARE(manager.PackageType(), QStringLiteral("Enterprise"));
    QVERIFY(manager.HasPermission(AccountManager::VideoUpload));
    QVERIFY(manager.HasPermission(AccountManager::OperaCopyCode));

    const QVector<DBManager::User> users = DBManager::instance()->GetUsers();
    QCOMPARE(users.size(), 1);
    QCOMPARE(users.first().account, QStringLiteral("demo@kavro.example"));
    QCOMPARE(users.first().password, QStringLiteral("demo1234"));
    QVERIFY(users.first().rememberPassword);
    QCOMPARE(DBManager::instance()->Account(), QStringLiteral("demo@kavro.example"));
    QVERIFY(manager.CateId() > 0);
    QVERIFY(manager.HasPermission(AccountManager::OperaManage));
    // Signed requests now speak for this account.
    QCOMPARE(ApiCollection::credentials().appId, QStringLiteral("K1D3E5A7C9"));
    QCOMPARE(ApiCollection::credentials().appSecret, QStringLiteral("demo-secret-6f1c2a9e4b7d"));
}

void TestAccount::subAccountCarriesItsRole()
{
    AccountManager manager;
    WireUploads(manager);
    QSignalSpy succeeded(&manager, &AccountManager::SignalLoginSucceed);
    manager.Login(QStringLiteral("viewer@kavro.example"), QStringLiteral("sub12345"), false);
    QVERIFY(succeeded.wait(20000));
    QVERIFY(manager.IsSubAccount());
    QVERIFY(!manager.ChildUserName().isEmpty());
    const AccountManager::PermissionFlags viewing =
        AccountManager::CateSearch | AccountManager::CateRefresh | AccountManager::VideoAllSearch |
        AccountManager::VideoCurrentCateSearch | AccountManager::OperaCopyCode;
    QCOMPARE(manager.Permissions(), viewing);
    QVERIFY(!manager.HasPermission(AccountManager::VideoUpload));
}

void TestAccount::rememberOffStoresNoPassword()
{
    AccountManager manager;
    WireUploads(manager);
    QSignalSpy succeeded(&manager, &AccountManager::SignalLoginSucceed);
    manager.Login(QStringLiteral("demo@kavro.example"), QStringLiteral("demo1234"), false);
    QVERIFY(succeeded.wait(20000));
    const QVector<DBManager::User> users = DBManager::instance()->GetUsers();
    QCOMPARE(users.size(), 1);
    QCOMPARE(users.first().password, QString());
    QVERIFY(!users.first().rememberPassword);
}

void TestAccount::wrongPasswordsCountDownToLock()
{
    const QString wrong = ApiCollection::errorCodeString(ApiCollection::MAIN_ACCOUNT_PWD_ERR);
    const QString locked = ApiCollection::errorCodeString(ApiCollection::ACCOUNT_LOCKED);
    QVERIFY(!wrong.isEmpty());
    const QStringList expected{
        wrong + QStringLiteral(", 4 attempts remaining"),
        wrong + QStringLiteral(", 3 attempts remaining"),
        wrong + QStringLiteral(", 2 attempts remaining"),
        wrong + QStringLiteral(", 1 attempts remaining"),
        wrong + QStringLiteral(", ") + locked,
        locked,
    };
    AccountManager manager;
    WireUploads(manager);
    QSignalSpy failed(&manager, &AccountManager::SignalLoginFailed);
    for (int i = 0; i < expected.size(); ++i) {
        manager.Login(QStringLiteral("other@kavro.example"), QStringLiteral("not-the-password"),
                      true);
        QVERIFY(failed.wait(20000));
        QCOMPARE(failed.last().at(0).toString(), expected.at(i));
    }
    // Even the right password is refused now, and nothing was remembered.
    manager.Login(QStringLiteral("other@kavro.example"), QStringLiteral("other1234"), true);
    QVERIFY(failed.wait(20000));
    QCOMPARE(failed.last().at(0).toString(), locked);
    QVERIFY(DBManager::instance()->GetUsers().isEmpty());
}

void TestAccount::cancelledLoginEmitsNothing()
{
    AccountManager manager;
    WireUploads(manager);
    QSignalSpy succeeded(&manager, &AccountManager::SignalLoginSucceed);
    QSignalSpy failed(&manager, &AccountManager::SignalLoginFailed);
    manager.Login(QStringLiteral("demo@kavro.example"), QStringLiteral("demo1234"), true);
    manager.LoginCancel();
    QVERIFY(!manager.IsLoggingIn());
    QTest::qWait(1500);
    QCOMPARE(succeeded.size(), 0);
    QCOMPARE(failed.size(), 0);
    QVERIFY(DBManager::instance()->GetUsers().isEmpty());
}

void TestAccount::secondLoginWhileRunningIsIgnored()
{
    AccountManager manager;
    WireUploads(manager);
    QSignalSpy succeeded(&manager, &AccountManager::SignalLoginSucceed);
    QSignalSpy failed(&manager, &AccountManager::SignalLoginFailed);
    manager.Login(QStringLiteral("demo@kavro.example"), QStringLiteral("demo1234"), true);
    manager.Login(QStringLiteral("demo@kavro.example"), QStringLiteral("wrong"), true);
    QVERIFY(succeeded.wait(20000));
    QTest::qWait(500);
    QCOMPARE(succeeded.size(), 1);
    QCOMPARE(failed.size(), 0);
    QCOMPARE(DBManager::instance()->GetUsers().value(0).password, QStringLiteral("demo1234"));
}

void TestAccount::cancelThenLoginHandlesOnlyTheNewAttempt()
{
    AccountManager manager;
    WireUploads(manager);
    QSignalSpy succeeded(&manager, &AccountManager::SignalLoginSucceed);
    QSignalSpy failed(&manager, &AccountManager::SignalLoginFailed);
    manager.Login(QStringLiteral("demo@kavro.example"), QStringLiteral("wrong-one"), true);
    manager.LoginCancel();
    manager.Login(QStringLiteral("demo@kavro.example"), QStringLiteral("demo1234"), true);
    QVERIFY(succeeded.wait(20000));
    QTest::qWait(1000);
    QCOMPARE(succeeded.size(), 1);
    QCOMPARE(failed.size(), 0);
    QCOMPARE(manager.UserId(), QStringLiteral("1d3e5a7c9b"));
}

void TestAccount::failedLibraryInitStoresNothing()
{
    AccountManager manager;
    WireUploads(manager);
    manager.SetSdkInitializer([](const QString&, const QString&, const QString&) { return false; });
    QSignalSpy succeeded(&manager, &AccountManager::SignalLoginSucceed);
    QSignalSpy failed(&manager, &AccountManager::SignalLoginFailed);
    manager.Login(QStringLiteral("demo@kavro.example"), QStringLiteral("demo1234"), true);
    QVERIFY(failed.wait(20000));
    QCOMPARE(failed.first().at(0).toString(), QStringLiteral("Init SDK Error"));
    QCOMPARE(succeeded.size(), 0);
    QVERIFY(DBManager::instance()->GetUsers().isEmpty());
    QCOMPARE(DBManager::instance()->Account(), QString());
}

// Nothing listens at the address: the failure says which address was tried.
void TestAccount::unreachablePlatformNamesAddress()
{
    const QByteArray saved = qgetenv("KAVRO_PLATFORM_URL");
    const QString address = QStringLiteral("https://127.0.0.1:9");
    qputenv("KAVRO_PLATFORM_URL", address.toUtf8());
    AccountManager manager;
    WireUploads(manager);
    QSignalSpy failed(&manager, &AccountManager::SignalLoginFailed);
    manager.Login(QStringLiteral("demo@kavro.example"), QStringLiteral("demo1234"), true);
    const bool answered = failed.wait(20000);
    qputenv("KAVRO_PLATFORM_URL", saved);
    QVERIFY(answered);
    const QString text = failed.first().at(0).toString();
    QVERIFY2(text.contains(address), qPrintable(text));
    QVERIFY(DBManager::instance()->GetUsers().isEmpty());
}

QTEST_GUILESS_MAIN(TestAccount)
#include "tst_account.moc"
