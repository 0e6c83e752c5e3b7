#pragma once

// Shared by the transfer page tests: the devplatform's demo account signed in the way the
// application does (library credentials, category tree), and files to upload.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "common/PlatformTestConfig.h"
#include "models/CategoryTreeModel.h"
#include "models/ModelsPlatform.h"
#include "store/DBManager.h"
#include "upload/SDKManager.h"

namespace TransferTestPlatform {

// Settings, database and upload library for the devplatform's demo account (docs/devplatform.md);
// false when anything is missing.
inline bool Start(QTemporaryDir& dir, Config** config, ApiCollection::LoginResult* login)
{
    if (!ModelsPlatform::Configured()) {
        return false;
    }
    *config = MakePlatformTestConfig(dir.filePath(QStringLiteral("global.ini")));
    const QString email = QStringLiteral("demo@kavro.example");
    if (ModelsPlatform::SignIn(email, QStringLiteral("demo1234"), login) !=
        ApiCollection::NoError) {
        return false;
    }
    DBManager* database = DBManager::instance();
    if (!database->Open(dir.filePath(QStringLiteral("kvr-upload-client.db")))) {
        return false;
    }
    database->SetAccount(email);
    return true;
}

inline bool InitLibrary(const ApiCollection::LoginResult& login)
{
    return SDKManager::instance()->Init(login.userId, login.appId, login.appSecret);
}

// Loads the account's category tree into model.
inline bool LoadCategories(CategoryTreeModel& model)
{
    model.SetAccount(ModelsPlatform::Account());
    QSignalSpy done(&model, &CategoryTreeModel::SignalRefreshCategoryDone);
    QSignalSpy failed(&model, &CategoryTreeModel::SignalRefreshCategoryFailed);
    return !model.RefreshCategory().isNull() && done.wait(30000) && failed.isEmpty() &&
           model.rowCount() > 0;
}

// A file of size bytes whose content starts with its name, so no two are one video.
inline QString MakeFile(const QDir& dir, const QString& name, qint64 size)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return QString();
    }
    QByteArray head = name.toUtf8();
    file.write(head);
    file.resize(qMax<qint64>(size, head.size()));
    return path;
}

}  // namespace TransferTestPlatform
