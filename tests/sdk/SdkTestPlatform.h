#pragma once

#include <curl/curl.h>

#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include "../common/PlatformFaults.h"
#include "Crc64.h"
#include "kvr_upload_sdk.h"

// The devplatform a PLATFORM test runs against (devplatform/scripts/with-devplatform) and the
// demo account of its "demo" seed.
namespace SdkTestPlatform {

inline const char kDemoUserId[] = "1d3e5a7c9b";
inline const char kDemoAppId[] = "K1D3E5A7C9";
inline const char kDemoAppSecret[] = "demo-secret-6f1c2a9e4b7d";

inline bool Available()
{
    return !qEnvironmentVariableIsEmpty("KAVRO_PLATFORM_URL") &&
           !qEnvironmentVariableIsEmpty("KAVRO_DEVPLATFORM_DATA");
}

// The library pointed at the test's platform as the client does it, signed in as the demo.
inline int InitLibrary(const QString& cacheDir, const QString& logFile)
{
    KVRSetSdkLogFile(logFile.toUtf8().constData());
    KVRSetSdkLogLevel(3);
    KVRSetSdkCachePath(cacheDir.toUtf8().constData());
    KVRSetSdkPlatformUrl(qEnvironmentVariable("KAVRO_PLATFORM_URL").toUtf8().constData());
    const int rc = KVRInitSdkLibrary(kDemoUserId, kDemoAppId, kDemoAppSecret);
    KVRSetSdkHttpRequest(3);
    KVRSetSdkCacertFile(qEnvironmentVariable("KAVRO_TEST_CACERT").toUtf8().constData());
    return rc;
}

// A file of pseudo-random bytes (incompressible, different per seed).
inline bool MakeFile(const QString& path, qint64 size, quint32 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    QRandomGenerator gen(seed);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 left = size; left > 0;) {
        gen.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
        const qint64 n = qMin<qint64>(left, block.size());
        if (file.write(block.constData(), n) != n) {
            return false;
        }
        left -= n;
    }
    return true;
}

inline quint64 FileCrc(const QString& path)
{
    QFile file(path);
    quint64 crc = 0;
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QByteArray block = file.read(1 << 20);
            crc = kvr::Crc64::Update(crc, block.constData(), size_t(block.size()));
        }
    }
    return crc;
}

// The platform's record of the upload of vid (read-only look into its database).
struct ServerUpload
{
    bool found = false;
    QString path;
    int state = -1;  // 0 receiving, 1 complete, 2 terminated
    QString crc;
};

inline ServerUpload FindUpload(const QString& vid)
{
    ServerUpload result;
    const QString name = QStringLiteral("devplatform-peek");
    {
        QSqlDatabase db = QSqlDatabase::contains(name)
                              ? QSqlDatabase::database(name)
                              : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(qEnvironmentVariable("KAVRO_DEVPLATFORM_DATA") +
                           QStringLiteral("/devplatform.db"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            return result;
        }
        QSqlQuery q(db);
        q.prepare(
            QStringLiteral("SELECT path, state, crc FROM uploads WHERE vid = ? "
                           "ORDER BY created_ms DESC LIMIT 1"));
        q.addBindValue(vid);
        if (q.exec() && q.next()) {
            result.found = true;
            result.path = q.value(0).toString();
            result.state = q.value(1).toInt();
            result.crc = q.value(2).toString();
        }
        db.close();
    }
    return result;
}

}  // namespace SdkTestPlatform
