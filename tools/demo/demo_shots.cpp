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
    parser.addOptions({out, account, password});
    parser.process(app);

    if (!app.Init()) {
        return 1;
    }
    DemoDriver driver(parser.value(out), parser.value(account), parser.value(password));
    QTimer::singleShot(0, &driver, &DemoDriver::Start);
    app.exec();
    Log::CloseLogFile();
    return driver.Failures() == 0 ? 0 : 1;
}
