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
#include "api/ApiTransport.h"
#include "api/ApiUpdate.h"
#include "api/CurlHandlePool.h"
#include "app/Config.h"
#include "app/DataDir.h"
#include "app/Deployment.h"
#include "app/LegacyAccountImporter.h"
#include "app/NetworkSettings.h"
#include "models/CategoryTreeModel.h"
#include "models/VideoTableModel.h"
#include "platform/TerminationHandler.h"
#include "store/DBManager.h"
#include "ui/common/MsgBox.h"
#include "ui/common/StyleSheet.h"
#include "ui/shell/LoginDialog.h"
#include "ui/shell/MainWindow.h"
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
    connect(this, &Application::SignalReloadQss, StyleSheet::Notifier(),
            &StyleSheet::SignalReloadQss);
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
    return StyleSheet::Load(fileName);
}

bool Application::Init()
{
    qInfo() << "App Init";
    config->RegisterDefaults();
    InstallTranslations();
    QGuiApplication::setApplicationDisplayName(tr("KavroUploadClient"));

    db = DBManager::instance();
    db->Open(DataDirPath() + QStringLiteral("/kvr-upload-client.db"));
    LegacyAccountImporter::ImportLegacyAccounts(QCoreApplication::applicationDirPath());
    curl_global_init(CURL_GLOBAL_ALL);
    // The platform address and CA bundle, worked out once: the web API uses them, and the
    // upload manager passes them on to the upload library when it initialises it.
    ApiCollection::UseDeployment(Deployment::FromConfig(config));

    uploads = SDKManager::instance();
    accountManager = new AccountManager(this);
    // A sign-in succeeds only once the upload library is ready for the account.
    SDKManager* manager = uploads;
    accountManager->SetSdkInitializer(
        [manager](const QString& userId, const QString& appId, const QString& appSecret) {
            return manager->Init(userId, appId, appSecret);
        });

    NetworkSettings::Apply(*config, *uploads);
    // Concurrency limit, auto start and the speed limit of the upload queue.
    uploads->ApplyQueueSettings();
    // The library models live for the whole run; their tasks are stopped in Stop.
    categoryTreeModel = new CategoryTreeModel;
    videoTableModel = new VideoTableModel(*uploads);
    videoTableModel->SetCategoryModel(categoryTreeModel);
    // Login dialog on its loading page until the start-up update check has answered.
    loginDialog = new LoginDialog(*accountManager, *db, *config, *uploads, nullptr);
    loginDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &Application::SignalStartupLoadingFinish, loginDialog,
            &LoginDialog::OnStartupLoadingFinish);
    loginDialog->show();
    if (!db->DamagedFilePath().isEmpty()) {
        ReportDamagedDatabase(db->DamagedFilePath());
    }

    // The models learn the account and the main window is up before the login dialog closes
    // itself.
    connect(accountManager, &AccountManager::SignalLoginSucceed, this,
            &Application::OnLoginSucceed);
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

void Application::OnLoginSucceed()
{
    LibraryAccount account;
    account.userId = accountManager->UserId();
    account.topCateId = accountManager->CateId();
    account.canManage = accountManager->HasPermission(AccountManager::OperaManage);
    account.canCopyCode = accountManager->HasPermission(AccountManager::OperaCopyCode);
    categoryTreeModel->SetAccount(account);
    videoTableModel->SetAccount(account);
    OpenMainWindow();
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
    const AppServices services{*config,         *db, *accountManager, *uploads, *categoryTreeModel,
                               *videoTableModel};
    mainWindow = new MainWindow(services, nullptr);
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
    // "automatically check and install updates" off: no check at start, the login page at once.
    if (!config->Value(QStringLiteral("Application"), QStringLiteral("autoUpdate")).toBool()) {
        qInfo() << "Startup update check: off";
        QTimer::singleShot(0, this, &Application::SignalStartupLoadingFinish);
        return;
    }
    auto* watcher = new QFutureWatcher<int>(this);
    startupCheckWatcher = watcher;
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
    watcher->setFuture(QtConcurrent::run(QThreadPool::globalInstance(), [abort] {
        return int(ApiCollection::checkVersion(abort));
    }));
}

void Application::OnStartupUpdateCheckFinished(int result)
{
    if (stopping) {
        return;
    }
    // Signing in never waits for the update: a newer version is fetched in the background and
    // offered once it is here and no upload runs.
    emit SignalStartupLoadingFinish();
    if (result == ApiCollection::HasNewerVersion) {
        StartBackgroundUpdate();
    }
}

void Application::StartBackgroundUpdate()
{
    qInfo() << "Startup update check: downloading the newer version";
    // The dialog in its downloading state fetches the package; it stays hidden until then.
    backgroundUpdate = new UpdateDialog(UpdateDialog::Downloading, *config, *uploads, nullptr);
    backgroundUpdate->setAttribute(Qt::WA_DeleteOnClose);
    connect(backgroundUpdate, &UpdateDialog::SignalDownloadFailed, backgroundUpdate, [this] {
        qWarning() << "Startup update check: download failed";
        backgroundUpdate->deleteLater();
    });
    connect(backgroundUpdate, &UpdateDialog::SignalDownloadSucceed, this,
            &Application::OfferBackgroundUpdate, Qt::QueuedConnection);
    connect(uploads, &SDKManager::SignalAllUploadStatus, this, [this](bool allStart) {
        if (!allStart) {
            OfferBackgroundUpdate();
        }
    });
}

void Application::OfferBackgroundUpdate()
{
    if (!backgroundUpdate || backgroundUpdate->isVisible() || stopping ||
        backgroundUpdate->CurrentState() != UpdateDialog::ReadyToInstall) {
        return;
    }
    if (uploads->AnyUploading()) {
        qInfo() << "Startup update check: ready, waiting for the uploads to end";
        // Uploads that finish leave the queue without a status change; look again later.
        QTimer::singleShot(30000, this, &Application::OfferBackgroundUpdate);
        return;
    }
    QWidget* host =
        mainWindow ? static_cast<QWidget*>(mainWindow) : static_cast<QWidget*>(loginDialog);
    if (host) {
        backgroundUpdate->setParent(host, backgroundUpdate->windowFlags());
    }
    backgroundUpdate->open();
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
    delete backgroundUpdate;
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
    if (uploads) {
        uploads->Release();
    }
    // No request may still run when the transfer library is torn down.
    QThreadPool::globalInstance()->waitForDone();
    CurlHandlePool::Clear();
    curl_global_cleanup();
}
