#include "platform/SystemPower.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QDebug>

#ifdef Q_OS_WIN
#include <powrprof.h>
#include <windows.h>
#endif

namespace {

const char kService[] = "org.freedesktop.login1";
const char kPath[] = "/org/freedesktop/login1";
const char kInterface[] = "org.freedesktop.login1.Manager";
const char kWho[] = "Kavro Upload Client";

}  // namespace

SystemPower::SystemPower(QObject* parent) : SystemPower(QDBusConnection::systemBus(), parent) {}

SystemPower::SystemPower(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus(bus) {}

SystemPower::~SystemPower()
{
    SetInhibited(false);
}

bool SystemPower::Suspend()
{
#ifdef Q_OS_WIN
    if (!SetSuspendState(FALSE, FALSE, FALSE)) {
        lastError = QStringLiteral("SetSuspendState: %1").arg(GetLastError());
        qWarning() << "suspend failed:" << lastError;
        return false;
    }
    return true;
#else
    return CallManager(QStringLiteral("Suspend"));
#endif
}

bool SystemPower::PowerOff()
{
#ifdef Q_OS_WIN
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES privileges{};
        LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        CloseHandle(token);
    }
    if (!ExitWindowsEx(EWX_SHUTDOWN | EWX_POWEROFF, SHTDN_REASON_FLAG_PLANNED)) {
        lastError = QStringLiteral("ExitWindowsEx: %1").arg(GetLastError());
        qWarning() << "power off failed:" << lastError;
        return false;
    }
    return true;
#else
    return CallManager(QStringLiteral("PowerOff"));
#endif
}

bool SystemPower::CallManager(const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface), method);
    call << false;  // not interactive: no authentication prompt
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        lastError = reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
        qWarning().noquote() << "logind" << method << "failed:" << lastError;
        return false;
    }
    qInfo().noquote() << "logind" << method << "requested";
    return true;
}

bool SystemPower::SetInhibited(bool on, const QString& why)
{
    // One attempt per change of mind: a refused inhibitor is not asked for again every second.
    if (on == wanted) {
        return on == inhibited;
    }
    wanted = on;
#ifdef Q_OS_WIN
    Q_UNUSED(why)
    SetThreadExecutionState(on ? (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) : ES_CONTINUOUS);
    inhibited = on;
    return true;
#else
    if (!on) {
        inhibitor = QDBusUnixFileDescriptor();  // closing our copy of the descriptor releases it
        inhibited = false;
        qInfo() << "sleep inhibitor released";
        return true;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                       QLatin1String(kInterface), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QString::fromLatin1(kWho) << why << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply = bus.call(call, QDBus::Block, 10000);
    if (!reply.isValid() || !reply.value().isValid()) {
        lastError = reply.error().name() + QStringLiteral(": ") + reply.error().message();
        qWarning().noquote() << "sleep inhibitor refused:" << lastError;
        return false;
    }
    inhibitor = reply.value();
    inhibited = true;
    qInfo().noquote() << "sleep inhibitor held:" << why;
    return true;
#endif
}
