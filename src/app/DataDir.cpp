#include "app/DataDir.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

QString DataDirPath(const QString& subPath)
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString appName = QCoreApplication::applicationName();
    if (!appName.isEmpty()) {
        base.remove(appName, Qt::CaseSensitive);
    }
    QDir dir(QDir::cleanPath(base + QStringLiteral("/kavro-upload-client")));
    // The folder holds remembered passwords and the account's upload state: the user's alone,
    // whatever the process umask (a fresh folder is made 0700 before anything goes in).
    if (!dir.exists() && QDir().mkpath(dir.absolutePath())) {
        QFile::setPermissions(dir.absolutePath(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                  QFileDevice::WriteUser | QFileDevice::ExeUser);
    }
    const QString path = subPath.isEmpty() ? dir.absolutePath() : dir.absoluteFilePath(subPath);
    if (!QDir().mkpath(path)) {
        qCritical() << "mkpath failed:" << path;
        return QString();
    }
    return path;
}
