#pragma once

#include <QObject>
#include <QString>

class QProcess;

// Hands a downloaded update to the system. Windows: the installer starts detached and the
// application quits so that it can replace the files (Started). Linux: the Debian package goes
// to the package installer through pkexec, which asks for an administrator's password; the
// application keeps running and learns the outcome (Installed or Failed with the reason).
// Without pkexec the download folder is opened so that the user can install the package by
// hand (FolderOpened). Nothing here quits the application.
class PackageInstaller : public QObject
{
    Q_OBJECT

public:
    enum Outcome
    {
        Started = 0,       // a detached installer runs (Windows)
        Installed = 1,     // the package installer finished without error
        Failed = 2,        // it could not start, was refused or failed: see the detail
        FolderOpened = 3,  // no installer to hand the package to; its folder was opened
    };
    Q_ENUM(Outcome)

    explicit PackageInstaller(QObject* parent = nullptr);

    // Starts installing the package; the outcome arrives through SignalFinished. A call
    // while an installation runs does nothing and returns false.
    bool Install(const QString& packagePath);
    bool IsRunning() const { return process != nullptr; }

signals:
    void SignalFinished(int outcome, QString detail);

private:
    void Finish(int outcome, const QString& detail);

    QProcess* process = nullptr;
};
