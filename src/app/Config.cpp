#include "app/Config.h"

#include <QPointer>
#include <QSettings>

namespace {

QString FullKey(const QString& group, const QString& key)
{
    return group + QLatin1Char('/') + key;
}

// Qt's ini writer silently drops characters outside the Basic Multilingual Plane. Such texts
// are stored as UTF-8 bytes instead (the file then holds "@ByteArray(...)") and turned back
// into text on reading, so nothing a user typed is lost.
bool HasAstralCharacters(const QString& text)
{
    for (const QChar c : text) {
        if (c.isSurrogate()) {
            return true;
        }
    }
    return false;
}

QPointer<Config>& GlobalConfig()
{
    static QPointer<Config> config;
    return config;
}

}  // namespace

Config::Config(const QString& filePath, QObject* parent) : QObject(parent), filePath(filePath) {}

QVariant Config::Value(const QString& group, const QString& key) const
{
    const QString fullKey = FullKey(group, key);
    {
        QSettings probe(filePath, QSettings::IniFormat);
        probe.setIniCodec("UTF-8");
        if (!probe.contains(fullKey)) {
            return defaults.value(fullKey);
        }
    }
    QSettings settings(filePath, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    const QVariant value = settings.value(fullKey);
    if (value.type() == QVariant::ByteArray) {
        return QString::fromUtf8(value.toByteArray());
    }
    return value;
}

void Config::SetValue(const QString& group, const QString& key, const QVariant& value)
{
    QSettings settings(filePath, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    if (value.type() == QVariant::String && HasAstralCharacters(value.toString())) {
        settings.setValue(FullKey(group, key), value.toString().toUtf8());
    } else {
        settings.setValue(FullKey(group, key), value);
    }
}

void Config::Remove(const QString& group, const QString& key)
{
    QSettings settings(filePath, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.remove(FullKey(group, key));
}

void Config::SetDefaultValue(const QString& group, const QString& key, const QVariant& value)
{
    defaults.insert(FullKey(group, key), value);
}

void Config::RegisterDefaults()
{
    SetDefaultValue(QStringLiteral("Application"), QStringLiteral("autoUpdate"), false);
    SetDefaultValue(QStringLiteral("Application"), QStringLiteral("closeBehavior"),
                    QStringLiteral("quit"));
    SetDefaultValue(QStringLiteral("NetWorkManager"), QStringLiteral("proxyType"), 0);
    SetDefaultValue(QStringLiteral("UploadTaskManager"), QStringLiteral("uploadTasksNum"), 3);
    SetDefaultValue(QStringLiteral("UploadTaskManager"), QStringLiteral("autoStartUpload"), true);
    SetDefaultValue(QStringLiteral("UploadTaskManager"), QStringLiteral("limitedSpeedValue"), 0);
    SetDefaultValue(QStringLiteral("UploadTaskManager"), QStringLiteral("optimizeCoursewareSwitch"),
                    false);
}

Config* Config::Global()
{
    return GlobalConfig().data();
}

void Config::SetGlobal(Config* config)
{
    GlobalConfig() = config;
}
