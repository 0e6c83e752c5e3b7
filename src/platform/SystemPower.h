#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

// Sleep, power-off and a sleep inhibitor of the operating system. Linux: logind
// (org.freedesktop.login1) on the given bus, by default the system bus. Windows:
// SetSuspendState, ExitWindowsEx and SetThreadExecutionState.
class SystemPower : public QObject
{
    Q_OBJECT

public:
    explicit SystemPower(QObject* parent = nullptr);
    SystemPower(const QDBusConnection& bus, QObject* parent = nullptr);
    ~SystemPower() override;

    // Asks the system to suspend or to power off; false (logged) when it refused.
    bool Suspend();
    bool PowerOff();

    // Holds (true) or releases (false) a sleep inhibitor with the reason why; holding twice
    // keeps the first. False when the inhibitor could not be taken.
    bool SetInhibited(bool on, const QString& why = QStringLiteral("uploading"));
    bool IsInhibited() const { return inhibited; }

    QString LastError() const { return lastError; }

private:
    bool CallManager(const QString& method);

    QDBusConnection bus;
    QDBusUnixFileDescriptor inhibitor;
    bool inhibited = false;
    bool wanted = false;
    QString lastError;
};
