#include "app/NetworkSettings.h"

#include "app/Config.h"
#include "upload/SDKManager.h"

void NetworkSettings::Apply(const Config& config, SDKManager& uploads)
{
    const QString network = QStringLiteral("NetWorkManager");
    uploads.SetProxy(config.Value(network, QStringLiteral("proxyType")).toInt(),
                     config.Value(network, QStringLiteral("proxyHostName")).toString(),
                     config.Value(network, QStringLiteral("proxyPort")).toUInt(),
                     config.Value(network, QStringLiteral("proxyUser")).toString(),
                     config.Value(network, QStringLiteral("proxyPassword")).toString());
}
