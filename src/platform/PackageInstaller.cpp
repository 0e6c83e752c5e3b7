#include "platform/PackageInstaller.h"

#include <QDebug>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QStandardPaths>

#include "platform/ShowInFolder.h"

namespace {

#ifndef Q_OS_WIN
// pkexec's own exit codes: the authentication dialog was dismissed, or not authorised.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;
#endif

}  // namespace

PackageInstaller::PackageInstaller(QObject* parent) : QObject(parent) {}

bool PackageInstaller::Install(const QString& packagePath)
{
    if (process) {
        qDebug() << "Installer is running";
        return false;
    }
    const QString path = QFileInfo(packagePath).absoluteFilePath();
#ifdef Q_OS_WIN
    const bool started = QProcess::startDetached(path, QStringList());
    qInfo() << "Start Installer:" << path << "succeed:" << started;
    QMetaObject::invokeMethod(
        this, [this, started] { Finish(started ? Started : Failed, QString()); },
        Qt::QueuedConnection);
    return true;
#else
    const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
    if (pkexec.isEmpty()) {
        qWarning() << "Start Installer: no pkexec, showing" << path;
        ShowInFolder(path);
        QMetaObject::invokeMethod(
            this, [this] { Finish(FolderOpened, QString()); }, Qt::QueuedConnection);
        return true;
    }
    process = new QProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    // apt-get resolves the package's dependencies; the path must contain a slash to be taken
    // as a file rather than a package name, which an absolute path does.
    const QStringList arguments{QStringLiteral("apt-get"), QStringLiteral("install"),
                                QStringLiteral("-y"), QStringLiteral("--reinstall"), path};
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            Finish(Failed, process->errorString());
        }
    });
    connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this](int code, QProcess::ExitStatus status) {
                const QString output = QString::fromLocal8Bit(process->readAll()).trimmed();
                if (status == QProcess::NormalExit && code == 0) {
                    Finish(Installed, QString());
                } else if (status == QProcess::NormalExit &&
                           (code == kPkexecDismissed || code == kPkexecNotAuthorized)) {
                    Finish(Failed, tr("Authorization was refused."));
                } else {
                    // The installer's last lines say why.
                    const QStringList lines = output.split(QLatin1Char('\n'));
                    Finish(Failed, lines.mid(qMax(0, lines.size() - 3)).join(QLatin1Char('\n')));
                }
            });
    qInfo() << "Start Installer:" << pkexec << arguments.join(QStringLiteral(", "));
    process->start(pkexec, arguments);
    return true;
#endif
}

void PackageInstaller::Finish(int outcome, const QString& detail)
{
    qInfo() << "Installer finished:" << outcome << detail;
    if (process) {
        process->deleteLater();
        process = nullptr;
    }
    emit SignalFinished(outcome, detail);
}
