#include "ServerOptions.h"

#include <QCommandLineParser>

bool ServerOptions::Parse(const QStringList& arguments, QString* error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local Kavro platform server"));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port on 127.0.0.1 (0: any free port)."),
                                        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption dataOption(QStringLiteral("data"),
                                        QStringLiteral("Folder for the database and files."),
                                        QStringLiteral("dir"));
    const QCommandLineOption certOption(
        QStringLiteral("cert"), QStringLiteral("PEM server certificate."), QStringLiteral("file"));
    const QCommandLineOption keyOption(QStringLiteral("key"), QStringLiteral("PEM private key."),
                                       QStringLiteral("file"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Initial data: empty, demo or large."),
                                        QStringLiteral("seed"), QStringLiteral("empty"));
    const QCommandLineOption publicUrlOption(
        QStringLiteral("public-url"), QStringLiteral("Base URL written into handed-out URLs."),
        QStringLiteral("url"));
    const QCommandLineOption processOption(
        QStringLiteral("process-seconds"),
        QStringLiteral("Seconds a finished upload takes to be released."), QStringLiteral("n"),
        QStringLiteral("3"));
    const QCommandLineOption updateVersionOption(
        QStringLiteral("update-version"), QStringLiteral("Version the update service offers."),
        QStringLiteral("x.y.z"), QStringLiteral("2.4.2"));
    const QCommandLineOption updateDescriptionOption(
        QStringLiteral("update-description"), QStringLiteral("Description of the offered version."),
        QStringLiteral("text"));
    const QCommandLineOption updateInstallerOption(
        QStringLiteral("update-installer"), QStringLiteral("File served as the offered installer."),
        QStringLiteral("file"));
    const QCommandLineOption updateLinuxPackageOption(
        QStringLiteral("update-linux-package"),
        QStringLiteral("File served as the offered Debian package (project type linux64)."),
        QStringLiteral("file"));
    const QCommandLineOption faultOption(
        QStringLiteral("fault"),
        QStringLiteral("Fault rule, e.g. path=/v3/video/list-video,delay=2000 (repeatable)."),
        QStringLiteral("rule"));
    const QCommandLineOption maxSizeOption(QStringLiteral("max-upload-size"),
                                           QStringLiteral("Largest accepted upload in bytes."),
                                           QStringLiteral("bytes"));
    parser.addOptions({portOption, dataOption, certOption, keyOption, seedOption, publicUrlOption,
                       processOption, updateVersionOption, updateDescriptionOption,
                       updateInstallerOption, updateLinuxPackageOption, faultOption,
                       maxSizeOption});
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        *error = parser.helpText();
        return false;
    }
    bool ok = false;
    port = parser.value(portOption).toInt(&ok);
    if (!ok || port < 0 || port > 65535) {
        *error = QStringLiteral("invalid --port");
        return false;
    }
    dataDir = parser.value(dataOption);
    certFile = parser.value(certOption);
    keyFile = parser.value(keyOption);
    if (dataDir.isEmpty() || certFile.isEmpty() || keyFile.isEmpty()) {
        *error = QStringLiteral("--data, --cert and --key are required");
        return false;
    }
    seed = parser.value(seedOption);
    if (seed != QLatin1String("empty") && seed != QLatin1String("demo") &&
        seed != QLatin1String("large")) {
        *error = QStringLiteral("--seed must be empty, demo or large");
        return false;
    }
    publicUrl = parser.value(publicUrlOption);
    while (publicUrl.endsWith(QLatin1Char('/'))) {
        publicUrl.chop(1);
    }
    processSeconds = parser.value(processOption).toInt(&ok);
    if (!ok || processSeconds < 0) {
        *error = QStringLiteral("invalid --process-seconds");
        return false;
    }
    updateVersion = parser.value(updateVersionOption);
    updateDescription = parser.value(updateDescriptionOption);
    updateInstaller = parser.value(updateInstallerOption);
    updateLinuxPackage = parser.value(updateLinuxPackageOption);
    faults = parser.values(faultOption);
    if (parser.isSet(maxSizeOption)) {
        maxUploadSize = parser.value(maxSizeOption).toLongLong(&ok);
        if (!ok || maxUploadSize <= 0) {
            *error = QStringLiteral("invalid --max-upload-size");
            return false;
        }
    }
    return true;
}
