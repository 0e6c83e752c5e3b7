#include "app/LegacyAccountImporter.h"

#include <jansson.h>

#include <QDateTime>
#include <QFile>

#include "store/AesCbc.h"
#include "store/DBManager.h"

namespace {

// The key and IV of the legacy "info" file, assembled at run time (not the stored-password pair).
QByteArray InfoKey()
{
    QByteArray key;
    for (int i = 0; i < AesCbc::kBlockSize; ++i) {
        key.append(static_cast<char>(0x61 + (i * 7) % 26));
    }
    return key;
}

QByteArray InfoIv()
{
    QByteArray iv;
    for (int i = 0; i < AesCbc::kBlockSize; ++i) {
        iv.append(static_cast<char>(0x30 + (i * 3) % 10));
    }
    return iv;
}

// Reads the whole file and deletes it; a file that does not open yields false.
bool TakeFile(const QString& path, QByteArray* content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    *content = file.readAll();
    file.close();
    file.remove();
    return true;
}

}  // namespace

namespace LegacyAccountImporter {

int ImportJson(const QByteArray& utf8Json)
{
    json_error_t error;
    json_t* root = json_loadb(utf8Json.constData(), static_cast<size_t>(utf8Json.size()),
                              JSON_REJECT_DUPLICATES, &error);
    if (!root) {
        return 0;
    }
    int written = 0;
    if (json_is_array(root)) {
        size_t index;
        json_t* element;
        json_array_foreach(root, index, element)
        {
            if (!json_is_object(element)) {
                continue;
            }
            const char* name = json_string_value(json_object_get(element, "usrName"));
            if (!name || !*name) {
                continue;
            }
            DBManager::User user;
            const char* password = json_string_value(json_object_get(element, "usrPwd"));
            user.account = QString::fromUtf8(name);
            user.password = QString::fromUtf8(password ? password : "");
            user.rememberPassword = json_is_true(json_object_get(element, "isRemberPwd"));
            user.updateTS = QDateTime::currentSecsSinceEpoch();
            if (DBManager::instance()->AddUser(user)) {
                ++written;
            }
        }
    }
    json_decref(root);
    return written;
}

int ImportLegacyAccounts(const QString& dir)
{
    int written = 0;
    QByteArray content;
    if (TakeFile(dir + QStringLiteral("/users.json"), &content)) {
        written += ImportJson(QByteArray::fromBase64(content));
    }
    if (TakeFile(dir + QStringLiteral("/info"), &content)) {
        bool ok = false;
        const QByteArray plain = AesCbc::Decrypt(content, InfoKey(), InfoIv(), &ok);
        if (ok) {
            written += ImportJson(QByteArray::fromBase64(plain));
        }
    }
    return written;
}

QByteArray EncryptInfo(const QByteArray& base64Text)
{
    return AesCbc::Encrypt(base64Text, InfoKey(), InfoIv());
}

}  // namespace LegacyAccountImporter
