#include "app/Application.h"

#include <atomic>
#include <curl/curl.h>

#include <QDebug>
#include <QFile>
#include <QFont>
#include <QFutureWatcher>
#include <QProcess>
#include <QScreen>
#include <QStyleFactory>
#include <QTranslator>
#include <QtConcurrent>

#include "app/Config.h"
#include "app/DataDir.h"
#include "app/LegacyAccountImporter.h"
#include "store/DBManager.h"
#include "ui/shell/LoginDialog.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/UpdateDialog.h"

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

    DBManager::instance()->Open(DataDirPath() + QStringLiteral("/kvr-upload-client.db"));
    LegacyAccountImporter::ImportLegacyAccounts(QCoreApplication::applicationDirPath());
    curl_global_init(CURL_GLOBAL_ALL);

    // Login dialog on its loading page until the start-up update check has answered.
    loginDialog = new LoginDialog(nullptr);
    loginDialog->setAttribute(Qt::WA_DeleteOnClose);
    loginDialog->show();
    StartStartupUpdateCheck();
    return true;
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
    const int code = exec();
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
    DBManager::Destroy();
    curl_global_cleanup();
}
