#include "app/Application.h"

#include <atomic>
#include <curl/curl.h>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFutureWatcher>
#include <QProcess>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>
#include <QtConcurrent>

#include "account/AccountManager.h"
#include "app/Config.h"
#include "app/DataDir.h"
#include "app/LegacyAccountImporter.h"
#include "models/CategoryTreeModel.h"
#include "models/VideoTableModel.h"
#include "platform/TerminationHandler.h"
#include "store/DBManager.h"
#include "ui/common/MsgBox.h"
#include "ui/shell/LoginDialog.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/ShellServices.h"
#include "ui/shell/UpdateDialog.h"
#include "upload/SDKManager.h"

namespace {

// Stop runs once per process, whether aboutToQuit or the destructor reaches it first.
std::atomic_bool g_stopped{false};

}  // namespace

Application::Application(Config* config, int& argc, char** argv)
    : QApplication(argc, argv), config(config)
{
    Config::SetGlobal(config);
    connect(this, &QCoreApplication::aboutToQuit, this, &Application::Stop);
    QApplication::setFont(QFont(QStringLiteral("Microsoft YaHei")));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    setStyleSheet(LoadStyleSheet(QStringLiteral("System.qss")) +
                  LoadStyleSheet(QStringLiteral("TitleBar.qss")));
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
}

Application::~Application()
{
    Stop();
}

Application* Application::Instance()
{
    return qobject_cast<Application*>(QCoreApplication::instance());
}

QString Application::DataDirPath(const QString& subPath)
{
    return ::DataDirPath(subPath);
}

QString Application::LoadStyleSheet(const QString& fileName)
{
    QFile file(QCoreApplication::applicationDirPath() + QStringLiteral("/themes/") + fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "load qss file failed" << file.fileName() << file.error();
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

bool Application::Init()
{
    qInfo() << "App Init";
    config->RegisterDefaults();
    InstallTranslations();
    QGuiApplication::setApplicationDisplayName(tr("KavroUploadClient"));

    DBManager* database = DBManager::instance();
    database->Open(DataDirPath() + QStringLiteral("/kvr-upload-client.db"));
    LegacyAccountImporter::ImportLegacyAccounts(QCoreApplication::applicationDirPath());
    curl_global_init(CURL_GLOBAL_ALL);

    accountManager = new AccountManager(this);

    ApplyNetworkSettings();
    // Concurrency limit, auto start and the speed limit of the upload queue.
    SDKManager::instance()->ApplyQueueSettings();
    ConnectShellServices();
    // The library models live for the whole run; their tasks are stopped in Stop.
    categoryTreeModel = new CategoryTreeModel;
    videoTableModel = new VideoTableModel;
    videoTableModel->SetCategoryModel(categoryTreeModel);
    // Login dialog on its loading page until the start-up update check has answered.
    loginDialog = new LoginDialog(nullptr);
    loginDialog->setAttribute(Qt::WA_DeleteOnClose);
    loginDialog->show();
    if (!database->DamagedFilePath().isEmpty()) {
        ReportDamagedDatabase(database->DamagedFilePath());
    }

    // The main window first, so that it is up before the login dialog closes itself.
    connect(accountManager, &AccountManager::SignalLoginSucceed, this,
            &Application::OpenMainWindow);
    connect(accountManager, &AccountManager::SignalLoginSucceed, loginDialog,
            &LoginDialog::OnLoginSucceed);
    connect(accountManager, &AccountManager::SignalLoginFailed, loginDialog,
            &LoginDialog::OnLoginFailed);

    StartStartupUpdateCheck();
    return true;
}

void Application::ReportDamagedDatabase(const QString& movedTo)
{
    // Once the event loop runs, so that the message box's own loop is nested in it and a
    // termination signal ends both.
    QTimer::singleShot(0, this, [this, movedTo] {
        MsgBox::Warning(loginDialog, tr("SystemTip"),
                        tr("Application.DatabaseDamaged").arg(QDir::toNativeSeparators(movedTo)));
    });
}

void Application::ApplyNetworkSettings()
{
    const QString network = QStringLiteral("NetWorkManager");
    SDKManager::instance()->SetProxy(
        config->Value(network, QStringLiteral("proxyType")).toInt(),
        config->Value(network, QStringLiteral("proxyHostName")).toString(),
        config->Value(network, QStringLiteral("proxyPort")).toUInt(),
        config->Value(network, QStringLiteral("proxyUser")).toString(),
        config->Value(network, QStringLiteral("proxyPassword")).toString());
}

void Application::ConnectShellServices()
{
    ShellServices& services = ShellServices::Instance();
    AccountManager* account = accountManager;
    services.login = [account](const QString& name, const QString& password, bool remember) {
        account->Login(name, password, remember);
    };
    services.loginCancel = [account] { account->LoginCancel(); };
    services.currentUser = [account] {
        ShellServices::UserInfo user;
        user.account = account->UserAccount();
        user.expired = account->Expired();
        user.remainBytes = account->RemainBytes();
        user.space = account->Space();
        user.leftDay = account->LeftDay();
        user.expirationTime = account->ExpirationTime();
        return user;
    };
    SDKManager* uploads = SDKManager::instance();
    services.hasUploadingTasks = [uploads] { return uploads->AnyUploading(); };
    services.pauseAll = [uploads] { uploads->PauseAll(); };
    services.allOperation = [uploads](bool start) {
        if (start) {
            uploads->StartAll();
        } else {
            uploads->PauseAll();
        }
    };
    services.applyNetworkSettings = [this] { ApplyNetworkSettings(); };
    services.applyQueueSettings = [uploads] { uploads->ApplyQueueSettings(); };
}

LoginDialog* Application::GetLoginDialog() const
{
    return loginDialog;
}

MainWindow* Application::GetMainWindow() const
{
    return mainWindow;
}

void Application::OpenMainWindow()
{
    if (mainWindow) {
        return;
    }
    mainWindow = new MainWindow(nullptr);
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->Init();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        QRect rect(QPoint(), mainWindow->size().boundedTo(available.size()));
        rect.moveCenter(available.center());
        mainWindow->setGeometry(rect);
    }
    mainWindow->show();
}

void Application::StartStartupUpdateCheck()
{
    auto* watcher = new QFutureWatcher<int>(this);
    startupCheckWatcher = watcher;
    const auto check = UpdateDialog::GetBackend().checkVersion;
    bool* abort = &stopping;
    connect(watcher, &QFutureWatcher<int>::finished, this, [this, watcher] {
        watcher->deleteLater();
        OnStartupUpdateCheckFinished(watcher->result());
    });
    connect(this, &Application::SignalAboutToAppStop, this, [this] {
        if (startupCheckWatcher) {
            stopping = true;
            startupCheckWatcher->waitForFinished();
        }
    });
    watcher->setFuture(QtConcurrent::run(QThreadPool::globalInstance(), [check, abort] {
        return int(check ? check(abort) : UpdateDialog::CheckFailed);
    }));
}

void Application::OnStartupUpdateCheckFinished(int result)
{
    if (stopping) {
        return;
    }
    if (result == UpdateDialog::HasNewerVersion &&
        UpdateDialog::ShowUpdateDialog(result, loginDialog) == QDialog::Accepted) {
        return;
    }
    emit SignalStartupLoadingFinish();
}

void Application::InstallTranslations()
{
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    const QString language = QStringLiteral("zh_CN");
    const QStringList files{
        QStringLiteral("%1/%2.qm").arg(dir, language),
        QStringLiteral("%1/qt_%2.qm").arg(dir, language),
        QStringLiteral("%1/%2.qm").arg(dir, QStringLiteral("widgets")),
    };
    for (const QString& file : files) {
        auto* translator = new QTranslator(this);
        if (translator->load(file)) {
            installTranslator(translator);
        } else {
            qWarning() << "load translator file failed: " << file;
            delete translator;
        }
    }
}

int Application::Run()
{
    qInfo() << "App Run";
    // A termination signal read by a nested event loop before this one ran (a message box
    // during start) ended that loop alone; quit as soon as this one runs.
    if (Platform::TakeTerminationRequest()) {
        QTimer::singleShot(0, this, &QCoreApplication::quit);
    }
    const int code = exec();
    Platform::TakeTerminationRequest();
    if (code != kRestartExitCode) {
        return code;
    }
    StartRestartedProcess(arguments());
    return kRestartExitCode;
}

void Application::StartRestartedProcess(const QStringList& arguments)
{
    const QString program = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    QProcess::startDetached(program, rest);
    qInfo() << "Program restart:" << program << rest;
}

void Application::Stop()
{
    if (g_stopped.exchange(true)) {
        return;
    }
    qInfo() << "App Stop";
    stopping = true;
    emit SignalAboutToAppStop();
    delete loginDialog;
    delete mainWindow;
    if (categoryTreeModel) {
        categoryTreeModel->StopAllTasksAndWait();
    }
    if (videoTableModel) {
        videoTableModel->StopAllTasksAndWait();
    }
    delete categoryTreeModel;
    categoryTreeModel = nullptr;
    delete videoTableModel;
    videoTableModel = nullptr;
    DBManager::Destroy();
    SDKManager::instance()->Release();
    curl_global_cleanup();
}
