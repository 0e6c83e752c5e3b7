// Pure helpers of the application core: log line format, size and duration texts, the
// settings store and the text check.
#include <cstdio>
#include <unistd.h>

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/Config.h"
#include "app/Deployment.h"
#include "app/DeploymentLinks.h"
#include "app/Format.h"
#include "app/Log.h"
#include "app/TextValidator.h"
#include "platform/PackageInstaller.h"

class TestApp : public QObject
{
    Q_OBJECT

private slots:
    void formatMessage_data();
    void formatMessage();
    void formatMessageTimestampCarriesOffset();
    void unwritableLineGoesToStderr_data();
    void unwritableLineGoesToStderr();
    void deploymentLinks_data();
    void deploymentLinks();
    void packageInstaller_data();
    void packageInstaller();
    void formatSize_data();
    void formatSize();
    void formatDuration_data();
    void formatDuration();
    void configDefaults();
    void configRoundTrip_data();
    void configRoundTrip();
    void configSeesOtherWriters();
    void textValidator_data();
    void textValidator();
    void deploymentPlatformUrl_data();
    void deploymentPlatformUrl();
    void deploymentCaBundle();
};

void TestApp::formatMessage_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("category");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("expectedTails");

    QTest::newRow("info default") << int(QtInfoMsg) << QByteArray("default")
                                  << QStringLiteral("hello")
                                  << QStringList{QStringLiteral(" [Info]  hello")};
    QTest::newRow("warn api multi-line")
        << int(QtWarningMsg) << QByteArray("Api") << QStringLiteral("a\n\nb")
        << QStringList{QStringLiteral(" [Warn] [Api] a"), QStringLiteral(" [Warn] [Api] "),
                       QStringLiteral(" [Warn] [Api] b")};
    QTest::newRow("debug worker") << int(QtDebugMsg) << QByteArray("Worker") << QStringLiteral("x")
                                  << QStringList{QStringLiteral(" [Debug][Worker] x")};
    QTest::newRow("critical default")
        << int(QtCriticalMsg) << QByteArray("default") << QStringLiteral("mkpath failed:")
        << QStringList{QStringLiteral(" [Error] mkpath failed:")};
    QTest::newRow("fatal trailing newline")
        << int(QtFatalMsg) << QByteArray("default") << QStringLiteral("boom\n")
        << QStringList{QStringLiteral(" [Fatal] boom"), QStringLiteral(" [Fatal] ")};
    QTest::newRow("null category") << int(QtInfoMsg) << QByteArray() << QStringLiteral("z")
                                   << QStringList{QStringLiteral(" [Info]  z")};
}

void TestApp::formatMessage()
{
    QFETCH(int, type);
    QFETCH(QByteArray, category);
    QFETCH(QString, message);
    QFETCH(QStringList, expectedTails);

    const QDateTime now(QDate(2025, 3, 25), QTime(7, 2, 7, 123), Qt::OffsetFromUTC, 8 * 3600);
    const QString text =
        Log::FormatMessage(static_cast<QtMsgType>(type),
                           category.isNull() ? nullptr : category.constData(), message, now);
    QVERIFY(text.endsWith(QLatin1Char('\n')));
    const QStringList lines = text.left(text.size() - 1).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), expectedTails.size());
    for (int i = 0; i < lines.size(); ++i) {
        QCOMPARE(lines[i], QStringLiteral("2025-03-25T07:02:07.123+08:00") + expectedTails[i]);
    }
}

void TestApp::formatMessageTimestampCarriesOffset()
{
    const QString text =
        Log::FormatMessage(QtInfoMsg, "default", QStringLiteral("t"), QDateTime::currentDateTime());
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}([+-]\\d\\d:\\d\\d|Z) "
                       "\\[Info\\]  t\\n$"));
    QVERIFY2(pattern.match(text).hasMatch(), qPrintable(text));
}

void TestApp::unwritableLineGoesToStderr_data()
{
    QTest::addColumn<QString>("logFile");
    QTest::addColumn<bool>("toFile");
    QTest::newRow("log file") << QStringLiteral("run_client.log") << true;
    QTest::newRow("disk full") << QStringLiteral("/dev/full") << false;
    QTest::newRow("no log file") << QString() << false;
}

// A line reaches the log file or, when the file does not take it, stderr; it is never lost.
void TestApp::unwritableLineGoesToStderr()
{
    QFETCH(QString, logFile);
    QFETCH(bool, toFile);
    QTemporaryDir dir;
    const QString path = logFile.startsWith(QLatin1Char('/')) ? logFile : dir.filePath(logFile);
    if (!logFile.isEmpty()) {
        QVERIFY(Log::OpenLogFile(path));
    }
    QTemporaryFile err;
    QVERIFY(err.open());
    std::fflush(stderr);
    const int saved = ::dup(2);
    QVERIFY(::dup2(err.handle(), 2) == 2);
    const QString line = QStringLiteral("line that must arrive");
    Log::LogMessageHandler(QtWarningMsg, QMessageLogContext(), line);
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    Log::CloseLogFile();

    err.seek(0);
    const QString onStderr = QString::fromLocal8Bit(err.readAll());
    QString inFile;
    if (toFile) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        inFile = QString::fromUtf8(file.readAll());
    }
    QCOMPARE(inFile.contains(line), toFile);
    QCOMPARE(onStderr.contains(line), !toFile);
}

void TestApp::deploymentLinks_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("page");
    QTest::newRow("agreement") << QStringLiteral("agreementUrl")
                               << QStringLiteral("/pages/agreement");
    QTest::newRow("help") << QStringLiteral("helpUrl") << QStringLiteral("/pages/help");
    QTest::newRow("feedback") << QStringLiteral("feedbackUrl") << QStringLiteral("/pages/feedback");
}

// A link is its deployment setting, else the page of the platform the client talks to.
void TestApp::deploymentLinks()
{
    QFETCH(QString, key);
    QFETCH(QString, page);
    QTemporaryDir dir;
    Config config(dir.filePath(QStringLiteral("global.ini")));
    Config::SetGlobal(&config);
    const QByteArray savedEnv = qgetenv("KAVRO_PLATFORM_URL");
    qunsetenv("KAVRO_PLATFORM_URL");
    config.SetValue(QStringLiteral("Custom"), QStringLiteral("platformUrl"),
                    QStringLiteral("https://videos.example.org"));
    auto link = [&config, &key] {
        if (key == QLatin1String("agreementUrl")) {
            return DeploymentLinks::AgreementUrl(config);
        }
        return key == QLatin1String("helpUrl") ? DeploymentLinks::HelpUrl(config)
                                               : DeploymentLinks::FeedbackUrl(config);
    };
    const QString derived = link();
    config.SetValue(QStringLiteral("Custom"), key, QStringLiteral("https://docs.example.org/x"));
    const QString set = link();
    qputenv("KAVRO_PLATFORM_URL", savedEnv);
    Config::SetGlobal(nullptr);
    QCOMPARE(derived, QStringLiteral("https://videos.example.org") + page);
    QCOMPARE(set, QStringLiteral("https://docs.example.org/x"));
}

void TestApp::packageInstaller_data()
{
    QTest::addColumn<QString>("pkexec");  // the stand-in's script; empty: no pkexec at all
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("detail");
    QTest::newRow("installed") << QStringLiteral("exit 0") << int(PackageInstaller::Installed)
                               << QString();
    QTest::newRow("password dialog dismissed")
        << QStringLiteral("exit 126") << int(PackageInstaller::Failed)
        << QStringLiteral("Authorization was refused.");
    QTest::newRow("installer fails")
        << QStringLiteral("echo 'Reading package lists...'; echo 'E: Unmet dependencies'; exit 100")
        << int(PackageInstaller::Failed)
        << QStringLiteral("Reading package lists...\nE: Unmet dependencies");
    QTest::newRow("no pkexec") << QString() << int(PackageInstaller::FolderOpened) << QString();
}

// The system's pkexec is replaced by a script on PATH that records its arguments and ends as
// the row says; the installer reports each ending and never quits anything.
void TestApp::packageInstaller()
{
    QFETCH(QString, pkexec);
    QFETCH(int, outcome);
    QFETCH(QString, detail);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bin")));
    const QString argsFile = dir.filePath(QStringLiteral("args"));
    if (!pkexec.isEmpty()) {
        QFile script(dir.filePath(QStringLiteral("bin/pkexec")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n%2\n")
                         .arg(argsFile, pkexec)
                         .toUtf8());
        script.close();
        QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner));
    }
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.filePath(QStringLiteral("bin"))));
    PackageInstaller installer;
    QSignalSpy finished(&installer, &PackageInstaller::SignalFinished);
    const QString package = dir.filePath(QStringLiteral("kavro-upload-client_2.4.3_amd64.deb"));
    QVERIFY(installer.Install(package));
    qputenv("PATH", savedPath);
    if (installer.IsRunning()) {
        QVERIFY(!installer.Install(package));  // one at a time
    }
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().at(0).toInt(), outcome);
    QCOMPARE(finished.first().at(1).toString(), detail);
    QVERIFY(!installer.IsRunning());
    if (!pkexec.isEmpty()) {
        QFile args(argsFile);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(args.readAll()),
                 QStringLiteral("apt-get\ninstall\n-y\n--reinstall\n%1\n").arg(package));
    }
}

void TestApp::formatSize_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << quint64(0) << QStringLiteral("0.00 B");
    QTest::newRow("1023 B") << quint64(1023) << QStringLiteral("1023.00 B");
    QTest::newRow("1 KiB") << quint64(1024) << QStringLiteral("1.00 KB");
    QTest::newRow("1536") << quint64(1536) << QStringLiteral("1.50 KB");
    QTest::newRow("1 GiB") << (quint64(1) << 30) << QStringLiteral("1.00 GB");
    QTest::newRow("5 TiB") << (quint64(5) << 40) << QStringLiteral("5120.00 GB");
    QTest::newRow("max") << std::numeric_limits<quint64>::max()
                         << QStringLiteral("17179869184.00 GB");
}

void TestApp::formatSize()
{
    QFETCH(quint64, bytes);
    QFETCH(QString, expected);
    QCOMPARE(FormatSize(bytes, 4), expected);
}

void TestApp::formatDuration_data()
{
    QTest::addColumn<quint64>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << quint64(0) << QStringLiteral("00:00:00");
    QTest::newRow("3725") << quint64(3725) << QStringLiteral("01:02:05");
    QTest::newRow("one day") << quint64(86400) << QStringLiteral("24:00:00");
    QTest::newRow("100 hours") << quint64(360000 + 59) << QStringLiteral("100:00:59");
}

void TestApp::formatDuration()
{
    QFETCH(quint64, seconds);
    QFETCH(QString, expected);
    QCOMPARE(FormatDuration(seconds), expected);
}

void TestApp::configDefaults()
{
    QTemporaryDir dir;
    Config config(dir.filePath(QStringLiteral("global.ini")));
    config.RegisterDefaults();
    QCOMPARE(
        config.Value(QStringLiteral("UploadTaskManager"), QStringLiteral("uploadTasksNum")).toInt(),
        3);
    QCOMPARE(config.Value(QStringLiteral("UploadTaskManager"), QStringLiteral("autoStartUpload"))
                 .toBool(),
             true);
    QCOMPARE(
        config.Value(QStringLiteral("Application"), QStringLiteral("closeBehavior")).toString(),
        QStringLiteral("quit"));
    QVERIFY(
        !config.Value(QStringLiteral("NetWorkManager"), QStringLiteral("proxyHostName")).isValid());
    // Defaults are never written: a fresh installation has no ini file.
    QVERIFY(!QFile::exists(config.FilePath()));

    config.SetValue(QStringLiteral("UploadTaskManager"), QStringLiteral("uploadTasksNum"), 5);
    QCOMPARE(
        config.Value(QStringLiteral("UploadTaskManager"), QStringLiteral("uploadTasksNum")).toInt(),
        5);
    config.Remove(QStringLiteral("UploadTaskManager"), QStringLiteral("uploadTasksNum"));
    QCOMPARE(
        config.Value(QStringLiteral("UploadTaskManager"), QStringLiteral("uploadTasksNum")).toInt(),
        3);
}

void TestApp::configRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("chinese user") << QStringLiteral("用户名");
    QTest::newRow("astral") << QStringLiteral("a\U0001F600b");
    QTest::newRow("separators") << QStringLiteral("p=a;b,c \"q\"");
    QTest::newRow("port text") << QStringLiteral("8080");
}

void TestApp::configRoundTrip()
{
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("global.ini"));
    Config(path).SetValue(QStringLiteral("NetWorkManager"), QStringLiteral("proxyUser"), value);
    // Read a copy: QSettings caches files it wrote itself, and only the file on disk counts.
    const QString copy = dir.filePath(QStringLiteral("copy.ini"));
    QVERIFY(QFile::copy(path, copy));
    const QVariant read =
        Config(copy).Value(QStringLiteral("NetWorkManager"), QStringLiteral("proxyUser"));
    QCOMPARE(read.toString(), value);
    bool isNumber = false;
    const uint number = value.toUInt(&isNumber);
    QCOMPARE(read.toUInt(), isNumber ? number : 0u);
}

void TestApp::configSeesOtherWriters()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("global.ini"));
    Config reader(path);
    reader.RegisterDefaults();
    QCOMPARE(reader.Value(QStringLiteral("NetWorkManager"), QStringLiteral("proxyType")).toInt(),
             0);
    {
        QSettings other(path, QSettings::IniFormat);
        other.setValue(QStringLiteral("NetWorkManager/proxyType"), 1);
    }
    QCOMPARE(reader.Value(QStringLiteral("NetWorkManager"), QStringLiteral("proxyType")).toInt(),
             1);
}

void TestApp::textValidator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("ascii") << QStringLiteral("Lesson 1") << true;
    QTest::newRow("chinese") << QStringLiteral("第一课：函数") << true;
    QTest::newRow("last bmp char") << QString(QChar(0xfffd)) << true;
    QTest::newRow("emoji") << QStringLiteral("好\U0001F600") << false;
    QTest::newRow("astral cjk ext b") << QStringLiteral("\U00020000") << false;
}

void TestApp::textValidator()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(TextValidator::IsValid(text), valid);
}

void TestApp::deploymentPlatformUrl_data()
{
    QTest::addColumn<QString>("env");
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("url");
    QTest::newRow("built-in") << QString() << QString()
                              << QStringLiteral("https://api.kavro.example");
    QTest::newRow("ini") << QString() << QStringLiteral("https://ini.example/")
                         << QStringLiteral("https://ini.example");
    QTest::newRow("environment over ini")
        << QStringLiteral("https://127.0.0.1:8443//") << QStringLiteral("https://ini.example")
        << QStringLiteral("https://127.0.0.1:8443");
}

void TestApp::deploymentPlatformUrl()
{
    QFETCH(QString, env);
    QFETCH(QString, ini);
    QFETCH(QString, url);
    const QByteArray saved = qgetenv("KAVRO_PLATFORM_URL");
    const bool hadEnv = qEnvironmentVariableIsSet("KAVRO_PLATFORM_URL");
    if (env.isEmpty()) {
        qunsetenv("KAVRO_PLATFORM_URL");
    } else {
        qputenv("KAVRO_PLATFORM_URL", env.toUtf8());
    }
    QTemporaryDir dir;
    Config config(dir.filePath(QStringLiteral("global.ini")));
    if (!ini.isEmpty()) {
        config.SetValue(QStringLiteral("Custom"), QStringLiteral("platformUrl"), ini);
    }
    const QString found = Deployment::FromConfig(&config).platformUrl;
    if (hadEnv) {
        qputenv("KAVRO_PLATFORM_URL", saved);
    } else {
        qunsetenv("KAVRO_PLATFORM_URL");
    }
    QCOMPARE(found, url);
}

void TestApp::deploymentCaBundle()
{
    QTemporaryDir dir;
    Config config(dir.filePath(QStringLiteral("global.ini")));
    QCOMPARE(Deployment::FromConfig(&config).caBundlePath,
             QCoreApplication::applicationDirPath() + QStringLiteral("/cacert.pem"));
    config.SetValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                    QStringLiteral("/etc/kavro/ca.pem"));
    QCOMPARE(Deployment::FromConfig(&config).caBundlePath, QStringLiteral("/etc/kavro/ca.pem"));
}

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
