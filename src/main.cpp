#include <memory>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMetaEnum>
#include <QScreen>
#include <QSysInfo>

#include "app/Application.h"
#include "app/Config.h"
#include "app/DataDir.h"
#include "app/Log.h"
#include "platform/CrashHandler.h"
#include "platform/PrivateFiles.h"
#include "platform/TerminationHandler.h"

namespace {

QString OrientationName(Qt::ScreenOrientation orientation)
{
    return QString::fromLatin1(
        QMetaEnum::fromType<Qt::ScreenOrientation>().valueToKey(orientation));
}

void LogEnvironment(const Application& app)
{
    qInfo().noquote() << "Application info:" << app.applicationName() << app.applicationVersion()
                      << QSysInfo::buildCpuArchitecture();
    qInfo().noquote() << "Application argv:" << app.arguments();
    qInfo().noquote() << "Screen information:";
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        qInfo().noquote() << "name:" << screen->name()
                          << (screen == primary ? QStringLiteral("[Primary]") : QString());
        qInfo().noquote() << "  manufacturer:" << screen->manufacturer();
        qInfo().noquote() << "  model:" << screen->model();
        qInfo().noquote() << "  depth:" << screen->depth();
        qInfo().noquote() << "  refreshRate:" << screen->refreshRate();
        qInfo().noquote() << "  physicalSize:" << screen->physicalSize();
        qInfo().noquote() << "  physicalDotsPerInchX:" << screen->physicalDotsPerInchX();
        qInfo().noquote() << "  physicalDotsPerInchY:" << screen->physicalDotsPerInchY();
        qInfo().noquote() << "  physicalDotsPerInch:" << screen->physicalDotsPerInch();
        qInfo().noquote() << "  logicalDotsPerInchX:" << screen->logicalDotsPerInchX();
        qInfo().noquote() << "  logicalDotsPerInchY:" << screen->logicalDotsPerInchY();
        qInfo().noquote() << "  logicalDotsPerInch:" << screen->logicalDotsPerInch();
        qInfo().noquote() << "  devicePixelRatio:" << screen->devicePixelRatio();
        qInfo().noquote() << "  geometry:" << screen->geometry();
        qInfo().noquote() << "  availableGeometry:" << screen->availableGeometry();
        qInfo().noquote() << "  virtualGeometry:" << screen->virtualGeometry();
        qInfo().noquote() << "  availableVirtualGeometry:" << screen->availableVirtualGeometry();
        qInfo().noquote() << "  primaryOrientation:"
                          << OrientationName(screen->primaryOrientation());
        qInfo().noquote() << "  orientation:" << OrientationName(screen->orientation());
        qInfo().noquote() << "  nativeOrientation:" << OrientationName(screen->nativeOrientation());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(Log::LogMessageHandler);
    Platform::RestrictNewFiles();
    // A termination signal from here on waits in a pipe until the event loop runs.
    Platform::CatchTerminationSignals();

    // The data directory is named after the executable; set the name before the first path
    // is asked for, as QApplication would.
    QCoreApplication::setApplicationName(QFileInfo(QFile::decodeName(argv[0])).baseName());

    // Without a log folder (read-only data directory, "log" not a folder) the lines go to
    // stderr.
    const QString logBase = Log::LogBasePath();
    if (!logBase.isEmpty()) {
        Log::OpenLogFile(logBase + QStringLiteral("_client.log"));
    }
    qInfo().noquote() << "Run in work dir:" << QDir::currentPath();
    qInfo().noquote() << "System info:" << QSysInfo::prettyProductName()
                      << QSysInfo::kernelVersion() << QSysInfo::currentCpuArchitecture();
    Platform::TightenPrivateFiles(DataDirPath());

    const QString crashDir = DataDirPath(QStringLiteral("crash"));
    if (!crashDir.isNull()) {
        Platform::InstallCrashHandler(
            QDir(crashDir).absoluteFilePath(Log::RunStartTimeString() + QStringLiteral(".dmp")));
    }

    auto config = std::make_unique<Config>(DataDirPath() + QStringLiteral("/global.ini"));

    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);

    auto app = std::make_unique<Application>(config.get(), argc, argv);
    Platform::InstallTerminationHandler(app.get());
    LogEnvironment(*app);

    const int code = app->Init() ? app->Run() : 1;

    qInfo() << "Exit code:" << code;
    Log::CloseLogFile();
    app.reset();
    config.reset();
    return code;
}
