#pragma once

#include <QByteArray>
#include <QString>
#include <QUuid>

#include "api/ApiCollection.h"

// The login endpoint: the one unsigned request, trading e-mail and password for the account
// record (appId, the decrypted signing secret, role, permissions, storage figures).
namespace ApiCollection {

struct LoginResult : ApiResult
{
    // Remaining login attempts; only read from a refusal.
    int remainLoginChange = 0;
    QString userId;
    bool expired = true;
    qint64 remainBytes = 0;
    quint64 space = 0;
    QString packageType;
    qint64 leftDay = 0;
    quint64 expirationTime = 0;
    QString email;
    QString childUserName;
    QString childUserId;
    bool childVideoOnly = true;
    int userLevel = 4096;
    quint64 cateId = 1;
    QString uploadType;
    QString appId;
    // Base64 cipher text in the answer; the decrypted secret after a successful parse.
    QString appSecret;
    QString nonce;
    int childAccountType = Editor;
    bool videoUpload = false;
    bool transferlistUpload = false;
    bool transferlistComplete = false;
    bool cataAdd = false;
    bool cataMove = false;
    bool cataRename = false;
    bool cataSearch = false;
    bool cataRefresh = false;
    bool videoAllSearch = false;
    bool videoCurrentcataSearch = false;
    bool videoUpdateCata = false;
    bool videoDelete = false;
    bool operaManage = false;
    bool operaCopycode = false;
};

// The login body's password: the first 20 characters of the upper-case hexadecimal SHA-1 of
// the UTF-8 password. The clear password never leaves the process.
QByteArray loginPasswordDigest(const QString& password);

RequestError LoginClientRequest(const QUuid& requestId, const QString& email,
                                const QString& password, QByteArray* response, bool* abortFlag,
                                QString* errorText);
RequestError ParseLoginClientResponse(const QByteArray& response, LoginResult* result);

QString accountTypeString(AccountType type);

}  // namespace ApiCollection
