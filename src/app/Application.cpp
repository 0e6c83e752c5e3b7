#include "app/Application.h"

#include <atomic>
#include <curl/curl.h>

#include <QDebug>
#include <QFile>
#include <QFont>
#include <QProcess>
#include <QStyleFactory>
#include <QTranslator>

#include "account/AccountManager.h"
#include "app/Config.h"
#include "app/DataDir.h"
#include "app/LegacyAccountImporter.h"
#include "models/CategoryTreeModel.h"
#include "models/VideoTableModel.h"
#include "store/DBManager.h"
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

    DBManager::instance()->Open(DataDirPath() + QStringLiteral("/kvr-upload-client.db"));
    LegacyAccountImporter::ImportLegacyAccounts(QCoreApplication::applicationDirPath());
    curl_global_init(CURL_GLOBAL_ALL);

    accountManager = new AccountManager(this);

    const QString network = QStringLiteral("NetWorkManager");
    SDKManager::instance()->SetProxy(
        config->Value(network, QStringLiteral("proxyType")).toInt(),
        config->Value(network, QStringLiteral("proxyHostName")).toString(),
        config->Value(network, QStringLiteral("proxyPort")).toUInt(),
        config->Value(network, QStringLiteral("proxyUser")).toString(),
        config->Value(network, QStringLiteral("proxyPassword")).toString());
    // Concurrency limit, auto start and the speed limit of the upload queue.
    SDKManager::instance()->ApplyQueueSettings();
    // The library models live for the whole run; their tasks are stopped in Stop.
    categoryTreeModel = new CategoryTreeModel;
    videoTableModel = new VideoTableModel;
    videoTableModel->SetCategoryModel(categoryTreeModel);
    return true;
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
