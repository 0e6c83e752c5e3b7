#pragma once

#include <functional>

#include <QString>
#include <QtGlobal>

// What the library models need from modules they must not depend on: the signed-in account
// (AccountManager) and the upload engine (SDKManager). The application fills it once a login
// succeeded; tests fill it themselves. Read and written on the GUI thread only.
struct LibrarySession
{
    // The account's user id: the thumbnail cache lives in "thumbs/<userId>/<vid>".
    QString userId;
    // The account's top category: the root of every tree load.
    quint64 topCateId = 0;
    // The OperaManage and OperaCopyCode permissions: the Edit and CodeGen cells are enabled
    // only with them.
    bool canManage = false;
    bool canCopyCode = false;
    // Whether this client holds an upload task for a vid (SDKManager::HasTask); unset means
    // none.
    std::function<bool(const QString& vid)> hasUploadTask;
    // Deletes this client's own upload of a vid (SDKManager::DeleteTask).
    std::function<void(const QString& vid)> deleteUploadTask;

    static const LibrarySession& Current();
    static void SetCurrent(const LibrarySession& session);
};
