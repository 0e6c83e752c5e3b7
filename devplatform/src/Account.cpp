#include "Account.h"

const QStringList& Account::PermissionNames()
{
    static const QStringList names = {QStringLiteral("videoUpload"),
                                      QStringLiteral("transferlistUpload"),
                                      QStringLiteral("transferlistComplete"),
                                      QStringLiteral("cataAdd"),
                                      QStringLiteral("cataMove"),
                                      QStringLiteral("cataRename"),
                                      QStringLiteral("cataSearch"),
                                      QStringLiteral("cataRefresh"),
                                      QStringLiteral("videoAllSearch"),
                                      QStringLiteral("videoCurrentcataSearch"),
                                      QStringLiteral("videoUpdateCata"),
                                      QStringLiteral("videoDelete"),
                                      QStringLiteral("operaManage"),
                                      QStringLiteral("operaCopycode")};
    return names;
}
