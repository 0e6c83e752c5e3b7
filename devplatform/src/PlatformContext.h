#pragma once

#include <QString>

#include "Database.h"
#include "FaultInjector.h"
#include "ServerOptions.h"

// What every endpoint of the server shares: the options, the store and where files live.
struct PlatformContext
{
    ServerOptions options;
    Database* db = nullptr;
    QString publicUrl;   // without a trailing slash
    QString filesDir;    // served under /files/
    QString uploadsDir;  // bytes of uploads in progress and finished
    FaultInjector faults;
    int readTimeoutSeconds = 30;  // a request that sends nothing for this long is dropped

    // URL under which the file host serves the file at relativePath inside filesDir.
    QString FileUrl(const QString& relativePath) const
    {
        return publicUrl + QStringLiteral("/files/") + relativePath;
    }
};
