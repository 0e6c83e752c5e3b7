#include "app/Deployment.h"

#include <QCoreApplication>
#include <QDebug>

#include "app/Config.h"
#include "kavro/Deployment.h"

Deployment Deployment::FromConfig(const Config* config)
{
    Deployment deployment;

    QString url = qEnvironmentVariable(kavro::deployment::kPlatformUrlEnv);
    if (url.isEmpty() && config) {
        url = config
                  ->Value(QStringLiteral("Custom"),
                          QString::fromLatin1(kavro::deployment::kPlatformUrlKey))
                  .toString();
    }
    if (url.isEmpty()) {
        url = QString::fromLatin1(kavro::deployment::kPlatformUrl);
    }
    while (url.endsWith(QLatin1Char('/'))) {
        url.chop(1);
    }
    deployment.platformUrl = url;

    const QString custom =
        config ? config->Value(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"))
                     .toString()
               : QString();
    if (!custom.isEmpty()) {
        qInfo() << "Custom CaPath:" << custom;
        deployment.caBundlePath = custom;
    } else {
        deployment.caBundlePath =
            QCoreApplication::applicationDirPath() + QStringLiteral("/cacert.pem");
    }
    return deployment;
}
