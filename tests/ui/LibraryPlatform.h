#pragma once

// Shared by the library page's window tests and its benchmark: sign in through the real account
// manager (the upload library left alone) and wait until a page has finished loading.
#include <QSignalSpy>
#include <QTest>

#include "account/AccountManager.h"
#include "models/CategoryTreeModel.h"
#include "models/LibraryAccount.h"
#include "models/VideoTableModel.h"
#include "tasks/VideoTableModelWorker.h"
#include "ui/library/VideoListWidget.h"
#include "ui/library/VideoTableView.h"

namespace LibraryPlatform {

inline bool SignIn(AccountManager* manager, const QString& email, const QString& password)
{
    manager->SetSdkInitializer([](const QString&, const QString&, const QString&) { return true; });
    QSignalSpy ok(manager, &AccountManager::SignalLoginSucceed);
    manager->Login(email, password, false);
    return ok.wait(20000);
}

// The signed-in account as the application hands it to both models.
inline void HandAccount(const AccountManager& manager, CategoryTreeModel* categories,
                        VideoTableModel* videos)
{
    LibraryAccount account;
    account.userId = manager.UserId();
    account.topCateId = manager.CateId();
    account.canManage = manager.HasPermission(AccountManager::OperaManage);
    account.canCopyCode = manager.HasPermission(AccountManager::OperaCopyCode);
    categories->SetAccount(account);
    videos->SetAccount(account);
}

// Signs email in through manager and hands the account to both models, the videos over the
// categories.
inline bool SignInModels(AccountManager* manager, const QString& email, const QString& password,
                         CategoryTreeModel* categories, VideoTableModel* videos)
{
    videos->SetCategoryModel(categories);
    if (!SignIn(manager, email, password)) {
        return false;
    }
    HandAccount(*manager, categories, videos);
    return true;
}

// True once the page's video model has no task left (page and thumbnails loaded).
inline bool WaitForPage(VideoListWidget* page, int timeoutMs = 20000)
{
    auto* model = qobject_cast<VideoTableModel*>(page->Table()->model());
    QTest::qWait(20);  // a load may start from a queued signal
    return QTest::qWaitFor([model] { return !model->Worker()->HasTasks(); }, timeoutMs);
}

// Loads the page's category tree (categories, the page's own), then its first page.
inline bool LoadPage(VideoListWidget* page, CategoryTreeModel* categories, int timeoutMs = 20000)
{
    QSignalSpy tree(categories, &CategoryTreeModel::SignalRefreshCategorySucceed);
    page->RefreshCategory();
    return tree.wait(timeoutMs) && WaitForPage(page, timeoutMs);
}

}  // namespace LibraryPlatform
