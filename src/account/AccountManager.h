#pragma once

#include <functional>

#include <QFlags>
#include <QFutureWatcher>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QUuid>

#include "api/ApiAccount.h"
#include "api/ApiCollection.h"

// Signs the user in and holds the signed-in account for the rest of the run. The login
// request runs on a pool thread; its result becomes either a failure text or the current
// user, for whom the upload library is initialised and the account remembered. One instance,
// owned by the application; switching accounts restarts the process.
class AccountManager : public QObject
{
    Q_OBJECT

public:
    enum Permission
    {
        VideoUpload = 1,
        TransferListUpload = 2,
        TransferListComplete = 4,
        CateAdd = 16,
        CateMove = 32,
        CateRename = 64,
        CateSearch = 128,
        CateRefresh = 256,
        VideoAllSearch = 4096,
        VideoCurrentCateSearch = 8192,
        VideoUpdateCate = 16384,
        VideoDelete = 32768,
        OperaManage = 65536,
        OperaCopyCode = 131072,
    };
    Q_ENUM(Permission)
    Q_DECLARE_FLAGS(PermissionFlags, Permission)
    Q_FLAG(PermissionFlags)

    // Initialises the upload library for a signed-in user; false fails the sign-in. Set by the
    // application (the upload manager's Init); without one every sign-in fails.
    using SdkInitializer =
        std::function<bool(const QString& userId, const QString& appId, const QString& appSecret)>;

    explicit AccountManager(QObject* parent = nullptr);
    ~AccountManager() override;

    void Login(const QString& account, const QString& password, bool rememberPassword);
    void LoginCancel();
    bool IsLoggingIn() const { return loggingIn; }

    void SetSdkInitializer(SdkInitializer initializer);

    // The current user, filled by a successful login.
    QString UserAccount() const { return userAccount; }
    QString UserId() const { return userId; }
    QString AppId() const { return appId; }
    QString AppSecret() const { return appSecret; }
    bool Expired() const { return expired; }
    qint64 RemainBytes() const { return remainBytes; }
    quint64 Space() const { return space; }
    qint64 LeftDay() const { return leftDay; }
    quint64 ExpirationTime() const { return expirationTime; }
    QString PackageType() const { return packageType; }
    // The account's top category: the root of the library's category tree.
    quint64 CateId() const { return cateId; }
    bool IsSubAccount() const { return isSubAccount; }
    QString ChildUserName() const { return childUserName; }
    PermissionFlags Permissions() const { return permissions; }
    bool HasPermission(Permission permission) const { return permissions.testFlag(permission); }

    // The permission bits of a login answer.
    static PermissionFlags PermissionsOf(const ApiCollection::LoginResult& result);
    // The text shown for a refused login: the code's text and the attempts suffix.
    static QString RefusalText(const ApiCollection::LoginResult& result);

signals:
    void SignalLoginSucceed();
    void SignalLoginFailed(QString error);

private:
    // The buffers of one login attempt. A cancelled attempt's request keeps writing into its
    // own buffers, never into those of a newer attempt.
    struct Attempt
    {
        QUuid clientUuid;
        QByteArray response;
        bool cancel = false;
        QString errorDetail;
    };

    void OnLoginFinished();

    QString account;
    QString password;
    bool rememberPassword = false;
    bool loggingIn = false;
    QFutureWatcher<ApiCollection::RequestError> watcher;
    QSharedPointer<Attempt> attempt;
    SdkInitializer sdkInitializer;

    QString userAccount;
    QString userId;
    QString appId;
    QString appSecret;
    bool expired = true;
    qint64 remainBytes = 0;
    quint64 space = 0;
    qint64 leftDay = 0;
    quint64 expirationTime = 0;
    QString packageType;
    quint64 cateId = 0;
    bool isSubAccount = false;
    QString childUserName;
    PermissionFlags permissions;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(AccountManager::PermissionFlags)
