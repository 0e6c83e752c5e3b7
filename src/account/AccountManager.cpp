#include "account/AccountManager.h"

#include <QDateTime>
#include <QDebug>
#include <QMetaEnum>
#include <QThreadPool>
#include <QtConcurrent>

#include "api/ApiAccount.h"
#include "api/ApiErrors.h"
#include "api/ApiSigning.h"
#include "api/ApiTransport.h"
#include "store/DBManager.h"

AccountManager::AccountManager(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<ApiCollection::RequestError>("ApiCollection::RequestError");
    connect(&watcher, &QFutureWatcher<ApiCollection::RequestError>::finished, this,
            &AccountManager::OnLoginFinished);
}

AccountManager::~AccountManager()
{
    watcher.waitForFinished();
}

void AccountManager::SetSdkInitializer(SdkInitializer initializer)
{
    sdkInitializer = std::move(initializer);
}

void AccountManager::Login(const QString& newAccount, const QString& newPassword, bool remember)
{
    if (loggingIn) {
        return;
    }
    qDebug() << "Login:" << newAccount << QString(newPassword.size(), QLatin1Char('*')) << remember;
    account = newAccount;
    password = newPassword;
    rememberPassword = remember;
    loggingIn = true;

    auto current = QSharedPointer<Attempt>::create();
    current->clientUuid = QUuid::createUuid();
    attempt = current;
    const QString email = account;
    const QString secret = password;
    watcher.setFuture(QtConcurrent::run(QThreadPool::globalInstance(), [current, email, secret] {
        return ApiCollection::LoginClientRequest(current->clientUuid, email, secret,
                                                 &current->response, &current->cancel,
                                                 &current->errorDetail);
    }));
}

void AccountManager::LoginCancel()
{
    qDebug() << "AccountManager::LoginCancel";
    if (loggingIn) {
        loggingIn = false;
        if (attempt) {
            attempt->cancel = true;
        }
    }
}

AccountManager::PermissionFlags AccountManager::PermissionsOf(const ApiCollection::LoginResult& r)
{
    PermissionFlags flags;
    flags.setFlag(VideoUpload, r.videoUpload);
    flags.setFlag(TransferListUpload, r.transferlistUpload);
    flags.setFlag(TransferListComplete, r.transferlistComplete);
    flags.setFlag(CateAdd, r.cataAdd);
    flags.setFlag(CateMove, r.cataMove);
    flags.setFlag(CateRename, r.cataRename);
    flags.setFlag(CateSearch, r.cataSearch);
    flags.setFlag(CateRefresh, r.cataRefresh);
    flags.setFlag(VideoAllSearch, r.videoAllSearch);
    flags.setFlag(VideoCurrentCateSearch, r.videoCurrentcataSearch);
    flags.setFlag(VideoUpdateCate, r.videoUpdateCata);
    flags.setFlag(VideoDelete, r.videoDelete);
    flags.setFlag(OperaManage, r.operaManage);
    flags.setFlag(OperaCopyCode, r.operaCopycode);
    return flags;
}

QString AccountManager::RefusalText(const ApiCollection::LoginResult& result)
{
    QString text = ApiCollection::errorCodeString(result.errorCode);
    if (result.errorCode == ApiCollection::ACCOUNT_LOCKED) {
        return text;
    }
    const int remaining = result.remainLoginChange;
    if (remaining == 0) {
        text += tr(", ") + ApiCollection::errorCodeString(ApiCollection::ACCOUNT_LOCKED);
    } else if (remaining > 0 && remaining < 5) {
        text += tr(", %1 attempts remaining").arg(remaining);
    }
    // A refusal without a count (-1, its "data" was not an object) gets no suffix: a made-up
    // count would mislead.
    return text;
}

void AccountManager::OnLoginFinished()
{
    if (!loggingIn) {
        return;
    }
    loggingIn = false;
    const QSharedPointer<Attempt> finished = attempt;

    const ApiCollection::RequestError requestResult = watcher.result();
    const QMetaEnum errors = QMetaEnum::fromType<ApiCollection::RequestError>();
    if (requestResult != ApiCollection::NoError) {
        // The platform did not answer: say where it was looked for, so that a wrong or
        // unreachable address is seen at once.
        const QString text = tr("%1 (platform address: %2)")
                                 .arg(ApiCollection::requestErrorString(requestResult),
                                      ApiCollection::platformBaseUrl());
        qWarning() << errors.valueToKey(requestResult) << text;
        emit SignalLoginFailed(text);
        return;
    }

    ApiCollection::LoginResult result;
    result.remainLoginChange = -1;
    result.childAccountType = ApiCollection::None;
    const ApiCollection::RequestError parseResult =
        ApiCollection::ParseLoginClientResponse(finished->response, &result);
    if (parseResult != ApiCollection::NoError) {
        QString text = ApiCollection::requestErrorString(parseResult);
        if (parseResult == ApiCollection::ApiReturnFailed) {
            text = RefusalText(result);
        }
        qWarning() << errors.valueToKey(parseResult) << text;
        emit SignalLoginFailed(text);
        return;
    }

    userAccount = account;
    userId = result.userId;
    appId = result.appId;
    appSecret = result.appSecret;
    expired = result.expired;
    remainBytes = result.remainBytes;
    space = result.space;
    leftDay = result.leftDay;
    expirationTime = result.expirationTime;
    packageType = result.packageType;
    cateId = result.cateId;
    isSubAccount = result.childAccountType != ApiCollection::None;
    childUserName = isSubAccount ? result.childUserName : QString();
    permissions = PermissionsOf(result);

    qDebug() << "user permission:" << permissions;
    QStringList missing;
    const QMetaEnum permissionEnum = QMetaEnum::fromType<Permission>();
    for (int i = 0; i < permissionEnum.keyCount(); ++i) {
        const int value = permissionEnum.value(i);
        if ((int(permissions) & value) != value || (value == 0 && permissions)) {
            missing << QString::fromLatin1(permissionEnum.key(i));
        }
    }
    if (!missing.isEmpty()) {
        qInfo() << "User do not have the permission:" << missing.join(QLatin1Char(','));
    }

    if (!sdkInitializer || !sdkInitializer(userId, appId, appSecret)) {
        emit SignalLoginFailed(tr("Init SDK Error"));
        return;
    }

    // Every signed request of the web API from now on speaks for this account.
    ApiCollection::setCredentials({appId, appSecret});

    DBManager::User user;
    user.account = account;
    user.password = rememberPassword ? password : QString();
    user.rememberPassword = rememberPassword;
    user.updateTS = QDateTime::currentSecsSinceEpoch();
    DBManager* db = DBManager::instance();
    db->AddUser(user);
    db->SetAccount(account);

    emit SignalLoginSucceed();
}
