#pragma once

// The set-up the library page's tests share: settings and database in a temporary folder, the
// devplatform's demo account signed in and its two models. A test class derives from it.
#include <QTemporaryDir>
#include <QTest>
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

    // Called once the test's windows are deleted. A line edit's clear-button fade is a Qt
    // animation without a parent: when its button is gone it stops at its next tick and only
    // then deletes itself, so the event loop runs a little first. The models end their tasks,
    // then the pool threads end before the process does, and with them the TLS library's
    // per-thread state. Both would otherwise be reported by the sanitized suite's leak checker.
    void CloseLibrary()
    {
        QTest::qWait(100);
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
