#include "platform/AutoStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#ifndef Q_OS_WIN
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>
#endif

namespace {

#ifdef Q_OS_WIN
const QString kRunKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");

QString ReadCommand()
{
    QSettings settings(kRunKey, QSettings::NativeFormat);
    return settings.value(QCoreApplication::applicationName()).toString();
}
#else
QString EntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) +
           QStringLiteral("/autostart/") + QCoreApplication::applicationName() +
           QStringLiteral(".desktop");
}

// The Exec value of the entry's [Desktop Entry] group; empty when there is no entry.
QString ReadCommand()
{
    QFile file(EntryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return QString();
    }
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    const QString prefix = QStringLiteral("Exec=");
    while (!stream.atEnd()) {
        const QString line = stream.readLine().trimmed();
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size());
        }
    }
    return QString();
}
#endif

}  // namespace

namespace AutoStart {

QString QuotedCommand()
{
    return QStringLiteral("\"%1\"").arg(
        QDir::toNativeSeparators(QFileInfo(QCoreApplication::applicationFilePath()).filePath()));
}

bool IsAutoStart()
{
    const QString registered = QDir::toNativeSeparators(ReadCommand()).toLower();
    const QString expected = QStringLiteral("\"%1\"").arg(
        QDir::toNativeSeparators(QCoreApplication::applicationFilePath().toLower()));
    return registered == expected;
}

void SetAutoStart(bool enable)
{
#ifdef Q_OS_WIN
    QSettings settings(kRunKey, QSettings::NativeFormat);
    if (enable) {
        settings.setValue(QCoreApplication::applicationName(), QuotedCommand());
    } else {
        settings.remove(QCoreApplication::applicationName());
    }
#else
    const QString path = EntryPath();
    if (!enable) {
        QFile::remove(path);
        return;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return;
    }
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    stream << "[Desktop Entry]\n"
           << "Type=Application\n"
           << "Name=" << QCoreApplication::applicationName() << '\n'
           << "Exec=" << QuotedCommand() << '\n'
           << "X-GNOME-Autostart-enabled=true\n";
    stream.flush();
    file.commit();
#endif
}

void UpdateAutoStart(bool enable)
{
    if (enable != IsAutoStart()) {
        SetAutoStart(enable);
    }
}

}  // namespace AutoStart
