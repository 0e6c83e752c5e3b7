#pragma once

#include <functional>

#include <QString>
#include <QtGlobal>

// What the shell windows need from the account and upload services, handed in once by the
// application object. The windows never include those services themselves, so they build and
// are tested on their own; an unset hook answers "nothing running" and does nothing.
class ShellServices
{
public:
    // The signed-in account as the title widget shows it.
    struct UserInfo
    {
        QString account;
        bool expired = true;
        qint64 remainBytes = 0;
        quint64 space = 0;
        qint64 leftDay = 0;
        quint64 expirationTime = 0;  // milliseconds since the epoch
    };

    // Login(account, password, rememberPassword) and LoginCancel of the account manager.
    std::function<void(const QString&, const QString&, bool)> login;
    std::function<void()> loginCancel;
    std::function<UserInfo()> currentUser;

    // Upload manager: is any task uploading, pause every task, start (true) or suspend all.
    std::function<bool()> hasUploadingTasks;
    std::function<void()> pauseAll;
    std::function<void(bool)> allOperation;

    // Re-apply the proxy settings and the queue settings to the upload manager.
    std::function<void()> applyNetworkSettings;
    std::function<void()> applyQueueSettings;

    static ShellServices& Instance();

    bool HasUploadingTasks() const { return hasUploadingTasks && hasUploadingTasks(); }
    void PauseAll() const;
    void ApplyNetworkSettings() const;
    void ApplyQueueSettings() const;
    UserInfo CurrentUser() const { return currentUser ? currentUser() : UserInfo(); }
};
