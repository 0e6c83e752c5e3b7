#pragma once

#include <QString>

class Config;
class QObject;
class SDKManager;
class QWidget;
class QRegExpValidator;

// The proxy part shared by the network settings and the preferences: the port rule and the
// write of the four proxy keys.
namespace ProxySettings {

// Accepts 0 to 65535 without sign or leading extras.
QRegExpValidator* NewPortValidator(QObject* parent);

// Writes the proxy type and, for a proxy, host, port, user and password (as typed; removed for
// no proxy) into config, then applies them to the upload manager. Refuses a proxy without host:
// shows the host-is-empty toast over toastParent (translated in context) and returns false.
bool Apply(Config& config, SDKManager& uploads, int type, const QString& host, const QString& port,
           const QString& user, const QString& password, QWidget* toastParent,
           const QString& hostIsEmptyText);

}  // namespace ProxySettings
