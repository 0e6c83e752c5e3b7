#pragma once

#include <QString>

struct ServerOptions;

// The packages the update service offers, one per system: the Windows installer
// (--update-installer) for the project type "pc64", the Debian package
// (--update-linux-package) for "linux64". Both are served under /files/installer/<name>.
namespace UpdatePackages {

// The file name offered to a project type (the built-in name when no file is configured).
QString NameFor(const ServerOptions& options, const QString& projectType);

// The configured local file served as /files/installer/<name>; empty when none is.
QString LocalFile(const ServerOptions& options, const QString& name);

}  // namespace UpdatePackages
