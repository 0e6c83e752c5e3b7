#include "app/Config.h"

#include <QPointer>
#include <QSettings>

namespace {

QString FullKey(const QString& group, const QString& key)
{
    return group + QLatin1Char('/') + key;
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
    return settings.value(fullKey);
}

void Config::SetValue(const QString& group, const QString& key, const QVariant& value)
{
    QSettings settings(filePath, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue(FullKey(group, key), value);
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
