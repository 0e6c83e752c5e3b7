#include "platform/PrivateFiles.h"

#include <QDebug>
#include <QDirIterator>
#include <QFile>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace {

#ifndef Q_OS_WIN
// True when the entry had group or other permissions and they could be taken off.
bool MakePrivate(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {
    };
    if (lstat(native.constData(), &info) != 0 || S_ISLNK(info.st_mode) ||
        (info.st_mode & 077) == 0) {
        return false;
    }
    if (chmod(native.constData(), info.st_mode & 07700) != 0) {
        qWarning() << "chmod failed:" << path;
        return false;
    }
    return true;
}
#endif

}  // namespace

namespace Platform {

void RestrictNewFiles()
{
#ifndef Q_OS_WIN
    umask(077);
#endif
}

int TightenPrivateFiles(const QString& folder)
{
    int changed = 0;
#ifdef Q_OS_WIN
    Q_UNUSED(folder)
#else
    if (folder.isEmpty()) {
        return 0;
    }
    changed += MakePrivate(folder) ? 1 : 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        changed += MakePrivate(it.next()) ? 1 : 0;
    }
    if (changed > 0) {
        qInfo() << "Made private:" << changed << "entries in" << folder;
    }
#endif
    return changed;
}

}  // namespace Platform
