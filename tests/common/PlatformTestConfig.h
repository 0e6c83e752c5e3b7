#pragma once

#include <QObject>
#include <QString>

#include "app/Config.h"

// The settings of a test that talks to its devplatform: the registered defaults and the
// platform's throw-away CA (as a deployment sets "customSSLCacert"), made the process's
// configuration. The platform itself is found through KAVRO_PLATFORM_URL.
inline Config* MakePlatformTestConfig(const QString& iniPath, QObject* parent = nullptr)
{
    auto* config = new Config(iniPath, parent);
    config->RegisterDefaults();
    config->SetValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                     qEnvironmentVariable("KAVRO_TEST_CACERT"));
    Config::SetGlobal(config);
    return config;
}
