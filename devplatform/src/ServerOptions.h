#pragma once

#include <QString>
#include <QStringList>

// Everything the command line decides about one run of the server.
struct ServerOptions
{
    int port = 0;                            // 0: pick a free port and print it first on stdout
    QString dataDir;                         // SQLite database and stored files
    QString certFile;                        // PEM server certificate
    QString keyFile;                         // PEM private key
    QString seed = QStringLiteral("empty");  // empty | demo | large
    QString publicUrl;       // base written into handed-out URLs; empty: https://127.0.0.1:PORT
    int processSeconds = 3;  // a finished upload goes 10 -> 20 -> 60 within this time
    QString updateVersion = QStringLiteral("2.4.2");  // the version the update service offers
    QString updateDescription;
    QString updateInstaller;     // file served as the offered installer
    QString updateLinuxPackage;  // file served as the offered Debian package
    QStringList faults;          // fault rules in the form of FaultRule::Parse
    qint64 maxUploadSize = 64LL * 1024 * 1024 * 1024;  // Tus-Max-Size

    // Parses the process arguments; on a usage error fills error and returns false.
    bool Parse(const QStringList& arguments, QString* error);
};
