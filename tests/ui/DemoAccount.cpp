#include "DemoAccount.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QtConcurrent>

#include "api/ApiAccount.h"
#include "api/ApiErrors.h"
#include "app/Application.h"
#include "ui/shell/LoginDialog.h"
#include "ui/shell/ShellServices.h"

namespace {

struct Attempt
{
    ApiCollection::RequestError error = ApiCollection::NoError;
    ApiCollection::LoginResult result;
};

Attempt Login(const QString& account, const QString& password)
{
    Attempt attempt;
    QByteArray response;
    bool abort = false;
    QString errorText;
    attempt.error = ApiCollection::LoginClientRequest(QUuid::createUuid(), account, password,
                                                      &response, &abort, &errorText);
    if (attempt.error == ApiCollection::NoError) {
        attempt.error = ApiCollection::ParseLoginClientResponse(response, &attempt.result);
    }
    return attempt;
}

QString FailureText(const Attempt& attempt)
{
    if (attempt.error != ApiCollection::ApiReturnFailed) {
        return ApiCollection::requestErrorString(attempt.error);
    }
    QString text = ApiCollection::errorCodeString(attempt.result.errorCode);
    const int left = attempt.result.remainLoginChange;
    if (attempt.result.errorCode != ApiCollection::ACCOUNT_LOCKED && left >= 0 && left < 5) {
        text += left == 0 ? QCoreApplication::translate("AccountManager", ", ") +
                                ApiCollection::errorCodeString(ApiCollection::ACCOUNT_LOCKED)
                          : QCoreApplication::translate("AccountManager", ", %1 attempts remaining")
                                .arg(left);
    }
    return text;
}

}  // namespace

void DemoAccount::InstallIfMissing(Application* app)
{
    ShellServices& services = ShellServices::Instance();
    if (services.login) {
        return;
    }
    services.login = [app](const QString& account, const QString& password, bool) {
        auto* watcher = new QFutureWatcher<Attempt>(app);
        QObject::connect(watcher, &QFutureWatcher<Attempt>::finished, app, [app, watcher, account] {
            watcher->deleteLater();
            const Attempt attempt = watcher->result();
            LoginDialog* dialog = app->GetLoginDialog();
            if (attempt.error != ApiCollection::NoError) {
                if (dialog) {
                    dialog->OnLoginFailed(FailureText(attempt));
                }
                return;
            }
            ShellServices::UserInfo info;
            info.account = account;
            info.expired = attempt.result.expired;
            info.remainBytes = attempt.result.remainBytes;
            info.space = attempt.result.space;
            info.leftDay = attempt.result.leftDay;
            info.expirationTime = attempt.result.expirationTime;
            ShellServices::Instance().currentUser = [info] { return info; };
            if (dialog) {
                dialog->OnLoginSucceed();
            }
            app->OpenMainWindow();
        });
        watcher->setFuture(
            QtConcurrent::run(QThreadPool::globalInstance(), Login, account, password));
    };
}
