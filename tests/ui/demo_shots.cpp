// The headless demo: starts the client in this process exactly as its entry point does, signs
// in by driving the real login dialog, and saves screenshots of the windows, menus and dialogs.
//   kavro-demo-shots --out <dir> --account <e-mail> --password <password>
#include <memory>

#include <QCommandLineParser>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "DemoDriver.h"
#include "app/Application.h"
#include "app/Config.h"
#include "app/DataDir.h"
#include "app/Log.h"
#include "ui/shell/LoginDialog.h"
#include "ui/shell/ShellServices.h"

namespace {

// --offline: a stand-in for the account manager that accepts any password except one ending
// in "-wrong", for looking at the windows without a platform.
void InstallOfflineAccount(Application* app)
{
    ShellServices& services = ShellServices::Instance();
    services.login = [app](const QString& account, const QString& password, bool) {
        QTimer::singleShot(800, app, [app, account, password] {
            LoginDialog* dialog = app->GetLoginDialog();
            if (password.endsWith(QLatin1String("-wrong"))) {
                if (dialog) {
                    dialog->OnLoginFailed(QStringLiteral("Offline demo: wrong password"));
                }
                return;
            }
            ShellServices::Instance().currentUser = [account] {
                ShellServices::UserInfo info;
                info.account = account;
                info.expired = false;
                info.space = 100ULL << 30;
                info.remainBytes = qint64(63ULL << 30);
                info.leftDay = 218;
                info.expirationTime = 1799971200000ULL;
                return info;
            };
            if (dialog) {
                dialog->OnLoginSucceed();
            }
            app->OpenMainWindow();
        });
    };
}

}  // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(Log::LogMessageHandler);
    // The client's own name, so the data directory is the client's.
    QCoreApplication::setApplicationName(QStringLiteral("KavroUploadClient"));
    Log::OpenLogFile(Log::LogBasePath() + QStringLiteral("_client.log"));

    auto config = std::make_unique<Config>(DataDirPath() + QStringLiteral("/global.ini"));
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    Application app(config.get(), argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("screenshot folder"),
                                 QStringLiteral("dir"), QStringLiteral("screenshots"));
    const QCommandLineOption account(QStringLiteral("account"), QStringLiteral("e-mail"),
                                     QStringLiteral("account"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("password"),
                                      QStringLiteral("password"));
    const QCommandLineOption offline(QStringLiteral("offline"),
                                     QStringLiteral("sign in without a platform"));
    parser.addOptions({out, account, password, offline});
    parser.process(app);
    if (parser.isSet(offline)) {
        InstallOfflineAccount(&app);
    }

    if (!app.Init()) {
        return 1;
    }
    DemoDriver driver(parser.value(out), parser.value(account), parser.value(password));
    QTimer::singleShot(0, &driver, &DemoDriver::Start);
    app.exec();
    Log::CloseLogFile();
    return driver.Failures() == 0 ? 0 : 1;
}
