// A client process reduced to its upload engine, for the restart test: it adds one file to
// the queue, saves the progress every second as the transfer page does, and runs until it is
// killed. Arguments: <data dir> <file> <speed limit KB/s>.
#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include "app/Config.h"
#include "common/DemoSeed.h"
#include "store/DBManager.h"
#include "upload/SDKManager.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        return 2;
    }
    const QString dataDir = args.at(1);
    Config config(QDir(dataDir).filePath(QStringLiteral("global.ini")));
    config.RegisterDefaults();
    Config::SetGlobal(&config);
    DBManager* db = DBManager::instance();
    if (!db->Open(QDir(dataDir).filePath(QStringLiteral("kvr-upload-client.db")))) {
        return 3;
    }
    db->SetAccount(demo::kMainEmail);

    SDKManager* manager = SDKManager::instance();
    if (!manager->Init(demo::kMainUserId, demo::kMainAppId, demo::kMainSecret)) {
        return 4;
    }
    manager->SetSpeedLimit(args.at(3).toInt());
    if (!manager->AddUpload(1, args.at(2), QString(), QString(), QString(), QStringLiteral("Root"),
                            0, 0)) {
        return 5;
    }
    QTimer save;
    QObject::connect(&save, &QTimer::timeout, manager, &SDKManager::SaveUploadProgress);
    save.start(1000);
    return app.exec();
}
