#pragma once

#include <QByteArray>
#include <QString>
#include <QUuid>

#include "api/ApiCollection.h"

// The client update check against the update service: its own JSON request with its own
// signature and envelope, and the version comparison behind the update dialog.
namespace ApiCollection {

// The version this build reports and compares against.
constexpr char kCurrentVersion[] = "2.4.2";

struct CheckUpdateResult
{
    bool valid = false;
    int code = 0;
    bool success = false;
    QString message;
    QString projectName;
    QString projectVersion;
    QString projectDescription;
    QString projectDownload;  // the installer's URL
    bool forceInstall = false;
    bool silenceInstall = false;
};

// The JSON body of the check: every entry of the signed map as "name":"value", joined with ","
// in map order and wrapped in braces (the values need no escaping).
QByteArray updateRequestBody(const QString& userId, qint64 timestampMs);

RequestError CheckClientUpdateRequest(const QUuid& requestId, QByteArray* response, bool* abortFlag,
                                      QString* errorText);
RequestError ParseCheckClientUpdateResponse(const QByteArray& response, CheckUpdateResult* result);

// True when version is exactly "major.minor.patch" and greater than the current version.
bool isNewerVersion(const QString& version);

// The whole check, run on a pool thread: request, parse, remember the result, compare.
CheckVersionResult checkVersion(bool* abortFlag);

// The latest successful check of this process (read by the update dialog).
CheckUpdateResult lastCheckUpdateResult();

}  // namespace ApiCollection
