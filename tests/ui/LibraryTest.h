#pragma once

// The set-up the library page's tests share: settings and database in a temporary folder, the
// devplatform's demo account signed in and its two models. A test class derives from it.
#include <QTemporaryDir>
#include <QThreadPool>

#include "LibraryPlatform.h"
#include "ModelsPlatform.h"
#include "common/PlatformTestConfig.h"
#include "store/DBManager.h"
#include "upload/SDKManager.h"

class LibraryTest : public QObject
{
protected:
    bool OpenLibrary()
    {
        MakePlatformTestConfig(dir.filePath(QStringLiteral("global.ini")), this);
        accounts = new AccountManager(this);
        categories = new CategoryTreeModel(this);
        videos = new VideoTableModel(*SDKManager::instance(), this);
        return ModelsPlatform::Configured() &&
               DBManager::instance()->Open(dir.filePath(QStringLiteral("kvr-upload-client.db"))) &&
               LibraryPlatform::SignInModels(accounts, QStringLiteral("demo@kavro.example"),
                                             QStringLiteral("demo1234"), categories, videos);
    }

    // The models end their tasks, then the pool threads end before the process does, and with
    // them the TLS library's per-thread state (else the leak checker of the sanitized suite
    // reports it).
    void CloseLibrary()
    {
        videos->StopAllTasksAndWait();
        categories->StopAllTasksAndWait();
        DBManager::Destroy();
        QThreadPool::globalInstance()->waitForDone();
    }

    QTemporaryDir dir;
    AccountManager* accounts = nullptr;
    CategoryTreeModel* categories = nullptr;
    VideoTableModel* videos = nullptr;
};
