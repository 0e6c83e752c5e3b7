#include "ui/common/StyleSheet.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>

QString StyleSheet::Load(const QString& fileName)
{
    QFile file(QCoreApplication::applicationDirPath() + QStringLiteral("/themes/") + fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "load qss file failed" << file.fileName() << file.error();
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

StyleSheet* StyleSheet::Notifier()
{
    static StyleSheet* notifier = new StyleSheet(QCoreApplication::instance());
    return notifier;
}
