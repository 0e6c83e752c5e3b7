#pragma once

#include <QString>
#include <QStringList>

// One platform account as stored. Sub-accounts (mainId != 0) work on their main account's
// library: its categories, videos and storage.
struct Account
{
    // The 14 permission names of the login answer; bit i of `permissions` is name i.
    static const QStringList& PermissionNames();
    enum Permission
    {
        VideoUpload = 0,
        TransferlistUpload,
        TransferlistComplete,
        CataAdd,
        CataMove,
        CataRename,
        CataSearch,
        CataRefresh,
        VideoAllSearch,
        VideoCurrentcataSearch,
        VideoUpdateCata,
        VideoDelete,
        OperaManage,
        OperaCopycode,
        PermissionCount
    };
    static constexpr int kAllPermissions = (1 << PermissionCount) - 1;

    qint64 id = 0;
    qint64 mainId = 0;
    QString userId;  // 10 hex digits, shown to the client as "userId"
    QString email;
    QString password;  // the 20-character SHA-1 prefix the client sends
    QString childName;
    int accountType = -1;  // AccountType of a sub-account, -1 for a main account
    int permissions = kAllPermissions;
    QString appId;
    QString appSecret;
    int remainLogin = 5;
    qint64 expirationMs = 0;
    qint64 space = 0;
    QString packageType;
    int userLevel = 1;
    qint64 rootCateId = 0;
    QString uploadType;
    QString videoOnly = QStringLiteral("N");

    bool IsSub() const { return mainId != 0; }
    qint64 Owner() const { return mainId != 0 ? mainId : id; }
    bool Has(Permission permission) const { return permissions & (1 << permission); }
};
