#include "UpdatePackages.h"

#include <kavro/Deployment.h>

#include <QFileInfo>

#include "ServerOptions.h"

namespace UpdatePackages {

QString NameFor(const ServerOptions& options, const QString& projectType)
{
    if (projectType == QLatin1String(kavro::deployment::kUpdateProjectTypeLinux)) {
        return options.updateLinuxPackage.isEmpty()
                   ? QString::fromLatin1(kavro::deployment::kLinuxPackageName)
                   : QFileInfo(options.updateLinuxPackage).fileName();
    }
    return options.updateInstaller.isEmpty()
               ? QString::fromLatin1(kavro::deployment::kInstallerName)
               : QFileInfo(options.updateInstaller).fileName();
}

QString LocalFile(const ServerOptions& options, const QString& name)
{
    for (const QString& file : {options.updateInstaller, options.updateLinuxPackage}) {
        if (!file.isEmpty() && QFileInfo(file).fileName() == name) {
            return file;
        }
    }
    return QString();
}

}  // namespace UpdatePackages
