#include "ui/shell/ProxySettings.h"

#include <QRegExpValidator>

#include "app/Config.h"
#include "app/NetworkSettings.h"
#include "ui/common/Toast.h"

namespace {

const QString kGroup = QStringLiteral("NetWorkManager");

}  // namespace

QRegExpValidator* ProxySettings::NewPortValidator(QObject* parent)
{
    return new QRegExpValidator(
        QRegExp(QStringLiteral("^([0-9]{1,4}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|"
                               "655[0-2][0-9]|6553[0-5])$"),
                Qt::CaseSensitive),
        parent);
}

bool ProxySettings::Apply(Config& config, SDKManager& uploads, int type, const QString& host,
                          const QString& port, const QString& user, const QString& password,
                          QWidget* toastParent, const QString& hostIsEmptyText)
{
    if (type != 0 && host.trimmed().isEmpty()) {
        Toast::ShowToastInParent(toastParent, hostIsEmptyText, 1, Qt::AlignTop | Qt::AlignVCenter,
                                 true);
        return false;
    }
    config.SetValue(kGroup, QStringLiteral("proxyType"), type);
    if (type != 0) {
        config.SetValue(kGroup, QStringLiteral("proxyHostName"), host);
        config.SetValue(kGroup, QStringLiteral("proxyPort"), port);
        config.SetValue(kGroup, QStringLiteral("proxyUser"), user);
        config.SetValue(kGroup, QStringLiteral("proxyPassword"), password);
    } else {
        for (const char* key : {"proxyHostName", "proxyPort", "proxyUser", "proxyPassword"}) {
            config.Remove(kGroup, QString::fromLatin1(key));
        }
    }
    NetworkSettings::Apply(config, uploads);
    return true;
}
