#pragma once

#include <QString>

// Everything the client keeps in its data directory (database, settings, logs, crash reports,
// the upload library's resume records, cached thumbnails) belongs to the user alone: remembered
// passwords and the account's upload state must not be readable by other local users. On
// Linux the process creates files 0600 and folders 0700, and files left by an older version
// with wider permissions are tightened at start. Windows keeps per-user ACLs on the profile
// folder; there these do nothing.
namespace Platform {

// Makes every file and folder the process creates from now on private to the user (a umask
// of 077). Call it first thing in main, before the log file is opened.
void RestrictNewFiles();

// Takes the group and other permissions off the folder and everything below it, without
// following symbolic links. Returns the number of entries changed.
int TightenPrivateFiles(const QString& folder);

}  // namespace Platform
