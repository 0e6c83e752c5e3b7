#pragma once

#include <QString>
#include <QtGlobal>

// What the library models need to know of the signed-in account. Plain data: the application
// copies it from the account manager into both models once a login succeeded.
struct LibraryAccount
{
    // The account's user id: the thumbnail cache lives in "thumbs/<userId>/<vid>".
    QString userId;
    // The account's top category: the root of every tree load.
    quint64 topCateId = 0;
    // The OperaManage and OperaCopyCode permissions: the Edit and CodeGen cells are enabled
    // only with them.
    bool canManage = false;
    bool canCopyCode = false;
};
