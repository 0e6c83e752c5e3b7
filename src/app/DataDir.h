#pragma once

#include <QString>

// The per-user data directory: the application data location with the application name
// removed and "/kavro-upload-client" appended. With an empty subPath the directory itself,
// otherwise the absolute path of subPath inside it; created on demand. A null string when the
// path cannot be created (logged as "mkpath failed:"). A new data directory is made 0700.
QString DataDirPath(const QString& subPath = QString());
