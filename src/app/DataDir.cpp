#include "app/DataDir.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QStandardPaths>

QString DataDirPath(const QString& subPath)
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString appName = QCoreApplication::applicationName();
    if (!appName.isEmpty()) {
        base.remove(appName, Qt::CaseSensitive);
    }
    QDir dir(QDir::cleanPath(base + QStringLiteral("/kavro-upload-client")));
    const QString path = subPath.isEmpty() ? dir.absolutePath() : dir.absoluteFilePath(subPath);
    if (!QDir().mkpath(path)) {
        qCritical() << "mkpath failed:" << path;
        return QString();
    }
    return path;
}
