// The application core: Stop exactly once, runs of the real executable (log file, database,
// private data folder, a clean quit on SIGTERM, a crash report on SIGSEGV), and the pure helpers:
// log lines, size and duration texts, settings, deployment settings and links, the package
// installer, the text check. The restart hand-over: tst_session, through the real windows.
#include <cstdio>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/Application.h"
#include "app/Config.h"
#include "app/Deployment.h"
#include "app/DeploymentLinks.h"
#include "app/Format.h"
#include "app/Log.h"
#include "app/TextValidator.h"
#include "common/TestLiterals.h"
#include "platform/AutoStart.h"
#include "platform/PackageInstaller.h"
#include "platform/TerminationHandler.h"

namespace {

// Starts the client with a private data directory and waits until its event loop runs.
class ClientRun
{
public:
    // display: an X server to show the windows on; none runs them offscreen.
    explicit ClientRun(const QString& dataHome, const QString& display = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME"_s, dataHome);
        if (display.isEmpty()) {
            env.insert("QT_QPA_PLATFORM"_s, "offscreen"_s);
        } else {
            env.insert("QT_QPA_PLATFORM"_s, "xcb"_s);
            env.insert("DISPLAY"_s, display);
        }
        process.setProcessEnvironment(env);
        process.setProgram(QStringLiteral(KAVRO_CLIENT_BINARY));
        process.setArguments({"--first"_s, "第二 arg"_s});
        logDir = dataHome + "/kavro-upload-client/log"_s;
    }

    // Starts the client and waits until its log holds the text, or its stderr when it has no log
    // file.
    bool StartAndWaitFor(const QString& text)
    {
        process.start();
        const auto seen = [this, &text] {
            err += process.readAllStandardError();
            return LogText().contains(text) || QString::fromLocal8Bit(err).contains(text);
        };
        return process.waitForStarted(10000) && QTest::qWaitFor(seen, 20000);
    }

    bool TerminateAndWait()
    {
        return ::kill(static_cast<pid_t>(process.processId()), SIGTERM) == 0 &&
               process.waitForFinished(20000);
    }

    QString LogText() const
    {
        QDirIterator it(logDir, {"*_client.log"_s}, QDir::Files);
        if (!it.hasNext()) {
            return QString();
        }
        QFile file(it.next());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QProcess process;
    QString logDir;
    QByteArray err;  // what the client wrote to stderr so far
};

// A private X server (Xvfb) for the runs that need real windows.
class XServer
{
public:
    ~XServer()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(5000);
        }
    }

    // The display name, or empty when no X server could be started.
    QString Start()
    {
        // Xvfb picks a free display and writes its number to the descriptor given.
        process.start("Xvfb"_s, {"-displayfd"_s, "1"_s, "-screen"_s, "0"_s, "1280x800x24"_s,
                                 "-nolisten"_s, "tcp"_s});
        if (!process.waitForStarted(5000)) {
            return QString();
        }
        QByteArray number;
        const auto ended = [this, &number] {
            number += process.readAllStandardOutput();
            return number.contains('\n') || process.state() != QProcess::Running;
        };
        return QTest::qWaitFor(ended, 10000) && number.contains('\n')
                   ? ":"_s + QString::fromLatin1(number.trimmed())
                   : QString();
    }

    QProcess process;
};

// The permission bits of a path, without following a link.
uint Mode(const QString& path)
{
    struct stat info = {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

}  // namespace

class TestLifecycle : public QObject
{
    Q_OBJECT

public:
    explicit TestLifecycle(Application* app) : app(app) {}

private slots:
    // Stop runs once however often it is asked, and leaving the event loop (aboutToQuit is
    // connected to Stop as well) does not run it again. Run hands any other exit code than the
    // restart's (tst_session) on.
    void stopRunsOnce()
    {
        QSignalSpy stops(app, &Application::SignalAboutToAppStop);
        app->Stop();
        app->Stop();
        QCOMPARE(stops.size(), 1);
        for (const int code : {0, 1, 1023}) {
            QTimer::singleShot(0, app, [code] { QCoreApplication::exit(code); });
            QCOMPARE(app->Run(), code);
        }
        QCOMPARE(stops.size(), 1);
    }

    void autoStartEntry_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<bool>("enabled");
        const QString self = QCoreApplication::applicationFilePath();
        QTest::newRow("this program") << "\"%1\""_s.arg(self) << true;
        QTest::newRow("other case") << "\"%1\""_s.arg(self.toUpper()) << true;
        QTest::newRow("unquoted") << self << false;
        QTest::newRow("another program") << "\"/usr/bin/other\""_s << false;
        QTest::newRow("no entry") << QString() << false;
    }

    void autoStartEntry()
    {
        QFETCH(QString, exec);
        QFETCH(bool, enabled);
        const QString dir = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + "/autostart"_s;
        const QString entry =
            dir + QLatin1Char('/') + QCoreApplication::applicationName() + ".desktop"_s;
        QFile::remove(entry);
        if (!exec.isNull()) {
            QVERIFY(QDir().mkpath(dir));
            QFile file(entry);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Desktop Entry]\nType=Application\nExec=" + exec.toUtf8() + "\n");
        }
        QCOMPARE(AutoStart::IsAutoStart(), enabled);

        // Updating to the other state rewrites the entry; updating to the same state leaves it.
        AutoStart::UpdateAutoStart(!enabled);
        QCOMPARE(AutoStart::IsAutoStart(), !enabled);
        QCOMPARE(QFile::exists(entry), !enabled);
        AutoStart::UpdateAutoStart(!enabled);
        QCOMPARE(AutoStart::IsAutoStart(), !enabled);
        AutoStart::SetAutoStart(false);
        QVERIFY(!QFile::exists(entry));
    }

    // A run over the files of an older version, readable by everybody, quit by SIGTERM: its log,
    // its database (the tables in it: tst_store), and every file of the data folder private to the
    // user.
    void clientRunWritesLogAndDatabase()
    {
        QTemporaryDir home;
        const QString data = home.filePath("kavro-upload-client"_s);
        QVERIFY(QDir().mkpath(data + "/log"_s));
        QVERIFY(QDir().mkpath(data + "/thumbs/1"_s));
        for (const QString& name : {"global.ini"_s, "log/old-run.log"_s, "thumbs/1/abc"_s}) {
            QFile file(data + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x\n");
            file.close();
            QVERIFY(::chmod(QFile::encodeName(file.fileName()).constData(), 0644) == 0);
        }
        for (const QString& folder :
             {data, data + "/log"_s, data + "/thumbs"_s, data + "/thumbs/1"_s}) {
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        }
        ClientRun run(home.path());
        QVERIFY2(run.StartAndWaitFor("App Run"_s), run.err.constData());
        QVERIFY(run.TerminateAndWait());  // how it ends: terminationQuitsInOrder

        const QString log = run.LogText();
        const QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 10);
        static const QRegularExpression linePattern(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}([+-]\\d\\d:\\d\\d|Z) "
            "(\\[Debug\\]|\\[Warn\\] |\\[Error\\]|\\[Fatal\\]|\\[Info\\] )(\\[\\w+\\])? .*$"_s);
        for (const QString& line : lines) {
            QVERIFY2(linePattern.match(line).hasMatch(), qPrintable(line));
        }
        for (const char* expected : {"[Info]  Run in work dir:", "[Info]  System info:",
                                     "[Info]  Application argv:", "App Init", "App Run"}) {
            QVERIFY2(log.contains(QLatin1String(expected)), expected);
        }
        QVERIFY(log.contains("第二 arg"_s));
        // "autoUpdate" is off by default: no update check at start.
        QVERIFY(log.contains("Startup update check: off"_s));
        QVERIFY(!log.contains("CheckClientUpdate"_s));

        // Old and new alike: the database, the settings, this run's log (named by its start time),
        // old logs, thumbnails.
        QStringList seen;
        QCOMPARE(Mode(data), 0700u);
        QDirIterator it(data, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const uint expected = it.fileInfo().isDir() ? 0700u : 0600u;
            QVERIFY2(Mode(path) == expected,
                     qPrintable("%1: %2"_s.arg(path).arg(Mode(path), 0, 8)));
            seen << QDir(data).relativeFilePath(path);
        }
        QVERIFY(seen.contains("kvr-upload-client.db"_s));
        QVERIFY(seen.contains("thumbs/1/abc"_s));
        QCOMPARE(seen.filter(QRegularExpression(
                                 "^log/\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d_client\\.log$"_s))
                     .size(),
                 1);
    }

    void terminationQuitsInOrder_data()
    {
        QTest::addColumn<bool>("realWindows");
        QTest::addColumn<QString>("moment");
        for (const bool real : {false, true}) {
            const char* where = real ? "X server" : "offscreen";
            QTest::addRow("%s: starting", where) << real << "Run in work dir:"_s;
            QTest::addRow("%s: login dialog", where) << real << "App Run"_s;
            // A damaged database: its message box runs a modal loop over the login dialog.
            QTest::addRow("%s: message box", where) << real << "damaged db"_s;
        }
    }

    // SIGTERM from the first log line on, with the login dialog up and with a modal message box
    // over it: the stop sequence runs and the exit code is 0, on a real X server as offscreen.
    void terminationQuitsInOrder()
    {
        QFETCH(bool, realWindows);
        QFETCH(QString, moment);
        XServer x;
        QString display;
        if (realWindows) {
            display = x.Start();
            if (display.isEmpty()) {
                QSKIP("no X server (Xvfb) to run on");
            }
        }
        QTemporaryDir home;
        if (moment == QLatin1String("damaged db")) {
            QVERIFY(QDir().mkpath(home.filePath("kavro-upload-client"_s)));
            QFile db(home.filePath("kavro-upload-client/kvr-upload-client.db"_s));
            QVERIFY(db.open(QIODevice::WriteOnly));
            db.write("garbage, not a database");
        }
        ClientRun run(home.path(), display);
        QVERIFY2(run.StartAndWaitFor(moment), run.err.constData());
        if (moment != QLatin1String("Run in work dir:")) {
            QTest::qWait(500);  // the windows are up and their loops run
        }
        QVERIFY(run.TerminateAndWait());
        QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.process.exitCode(), 0);
        const QString log = run.LogText();
        for (const char* expected : {"Termination signal: 15", "App Stop", "Exit code: 0"}) {
            QVERIFY2(log.contains(QLatin1String(expected)), expected);
        }
    }

    // A quit read while only a nested event loop ran (a message box before the main loop starts)
    // must still end the main loop as soon as it runs.
    void terminationDuringNestedLoopBeforeRun()
    {
        Platform::InstallTerminationHandler(app);
        QEventLoop nested;
        QTimer::singleShot(0, [] { ::raise(SIGTERM); });
        QTimer::singleShot(10000, &nested, &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        nested.exec();
        QVERIFY(timer.elapsed() < 5000);  // the signal ended the nested loop

        QTimer::singleShot(5000, app, [] { QCoreApplication::exit(99); });
        QCOMPARE(app->Run(), 0);
    }

    // With "log" a file, no log folder can be made: the lines go to stderr, and no stray log file
    // appears in the working folder.
    void noLogFolderLogsToStderr()
    {
        QTemporaryDir home;
        QTemporaryDir workDir;
        const QString data = home.filePath("kavro-upload-client"_s);
        QVERIFY(QDir().mkpath(data));
        QFile blocker(data + "/log"_s);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        ClientRun run(home.path());
        run.process.setWorkingDirectory(workDir.path());
        QVERIFY2(run.StartAndWaitFor("App Run"_s), run.err.constData());
        QVERIFY(run.TerminateAndWait());
        run.err += run.process.readAllStandardError();
        QVERIFY(run.err.contains("mkpath failed:"));
        // The exit status itself: terminationQuitsInOrder.
        QVERIFY(run.err.contains("Exit code: 0"));
        QCOMPARE(
            QDir(workDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList());
        QVERIFY(QFileInfo(blocker.fileName()).isFile());
    }

    void crashLeavesReport()
    {
        QTemporaryDir home;
        ClientRun run(home.path());
        QVERIFY(run.StartAndWaitFor("App Run"_s));
        QCOMPARE(::kill(static_cast<pid_t>(run.process.processId()), SIGSEGV), 0);
        QVERIFY(run.process.waitForFinished(20000));
        QCOMPARE(run.process.exitStatus(), QProcess::CrashExit);

        const QString crashDir = home.filePath("kavro-upload-client/crash"_s);
        const QStringList dumps = QDir(crashDir).entryList({"*.dmp"_s});
        QCOMPARE(dumps.size(), 1);
        QFile dump(crashDir + QLatin1Char('/') + dumps.first());
        QVERIFY(dump.open(QIODevice::ReadOnly));
        const QByteArray report = dump.readAll();
        QVERIFY2(report.contains("signal: 11 (SIGSEGV)"), report.constData());
        QVERIFY(report.contains("address: 0x"));
        QVERIFY(report.contains("backtrace:\n"));
        QVERIFY(report.count('\n') > 5);
    }

    void formatMessage_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("category");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("expectedTails");

        QTest::newRow("info default") << int(QtInfoMsg) << QByteArray("default") << "hello"_s
                                      << QStringList{" [Info]  hello"_s};
        QTest::newRow("warn api multi-line")
            << int(QtWarningMsg) << QByteArray("Api") << "a\n\nb"_s
            << QStringList{" [Warn] [Api] a"_s, " [Warn] [Api] "_s, " [Warn] [Api] b"_s};
        QTest::newRow("debug worker") << int(QtDebugMsg) << QByteArray("Worker") << "x"_s
                                      << QStringList{" [Debug][Worker] x"_s};
        QTest::newRow("critical default")
            << int(QtCriticalMsg) << QByteArray("default") << "mkpath failed:"_s
            << QStringList{" [Error] mkpath failed:"_s};
        QTest::newRow("fatal trailing newline")
            << int(QtFatalMsg) << QByteArray("default") << "boom\n"_s
            << QStringList{" [Fatal] boom"_s, " [Fatal] "_s};
        QTest::newRow("null category")
            << int(QtInfoMsg) << QByteArray() << "z"_s << QStringList{" [Info]  z"_s};
    }

    void formatMessage()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, category);
        QFETCH(QString, message);
        QFETCH(QStringList, expectedTails);

        const QDateTime now(QDate(2025, 3, 25), QTime(7, 2, 7, 123), Qt::OffsetFromUTC, 8 * 3600);
        const QString text =
            Log::FormatMessage(static_cast<QtMsgType>(type),
                               category.isNull() ? nullptr : category.constData(), message, now);
        QString expected;
        for (const QString& tail : qAsConst(expectedTails)) {
            expected += "2025-03-25T07:02:07.123+08:00"_s + tail + QLatin1Char('\n');
        }
        QCOMPARE(text, expected);
    }

    void unwritableLineGoesToStderr_data()
    {
        QTest::addColumn<QString>("logFile");
        QTest::addColumn<bool>("toFile");
        QTest::newRow("log file") << "run_client.log"_s << true;
        QTest::newRow("disk full") << "/dev/full"_s << false;
    }

    // A line reaches the log file or, when the file does not take it, stderr; it is never lost.
    void unwritableLineGoesToStderr()
    {
        QFETCH(QString, logFile);
        QFETCH(bool, toFile);
        QTemporaryDir dir;
        const QString path = logFile.startsWith(QLatin1Char('/')) ? logFile : dir.filePath(logFile);
        QVERIFY(Log::OpenLogFile(path));
        QTemporaryFile err;
        QVERIFY(err.open());
        std::fflush(stderr);
        const int saved = ::dup(2);
        QVERIFY(::dup2(err.handle(), 2) == 2);
        const QString line = "line that must arrive"_s;
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

    // A link is its deployment setting, else the page of the platform the client talks to.
    void deploymentLinks()
    {
        QTemporaryDir dir;
        Config config(dir.filePath("global.ini"_s));
        Config::SetGlobal(&config);  // the platform the client talks to
        config.SetValue("Custom"_s, "platformUrl"_s, "https://videos.example.org"_s);
        const QStringList derived{DeploymentLinks::AgreementUrl(config),
                                  DeploymentLinks::HelpUrl(config),
                                  DeploymentLinks::FeedbackUrl(config)};
        for (const char* key : {"agreementUrl", "helpUrl", "feedbackUrl"}) {
            config.SetValue("Custom"_s, QLatin1String(key),
                            "https://docs.example.org/"_s + QLatin1String(key));
        }
        const QStringList set{DeploymentLinks::AgreementUrl(config),
                              DeploymentLinks::HelpUrl(config),
                              DeploymentLinks::FeedbackUrl(config)};
        Config::SetGlobal(nullptr);
        QCOMPARE(derived, (QStringList{"https://videos.example.org/pages/agreement"_s,
                                       "https://videos.example.org/pages/help"_s,
                                       "https://videos.example.org/pages/feedback"_s}));
        QCOMPARE(set, (QStringList{"https://docs.example.org/agreementUrl"_s,
                                   "https://docs.example.org/helpUrl"_s,
                                   "https://docs.example.org/feedbackUrl"_s}));
    }

    void packageInstaller_data()
    {
        QTest::addColumn<QString>("pkexec");  // the stand-in's script; empty: no pkexec at all
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("detail");
        QTest::newRow("installed") << "exit 0"_s << int(PackageInstaller::Installed) << QString();
        QTest::newRow("installer fails")
            << "echo 'Reading package lists...'; echo 'E: Unmet dependencies'; exit 100"_s
            << int(PackageInstaller::Failed) << "Reading package lists...\nE: Unmet dependencies"_s;
        QTest::newRow("no pkexec") << QString() << int(PackageInstaller::FolderOpened) << QString();
    }

    // The system's pkexec is replaced by a script on PATH that records its arguments and ends as
    // the row says; the installer reports each ending and never quits anything.
    void packageInstaller()
    {
        QFETCH(QString, pkexec);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("bin"_s));
        const QString argsFile = dir.filePath("args"_s);
        if (!pkexec.isEmpty()) {
            QFile script(dir.filePath("bin/pkexec"_s));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(
                "#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1'\n%2\n"_s.arg(argsFile, pkexec).toUtf8());
            script.close();
            QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner));
        }
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir.filePath("bin"_s)));
        PackageInstaller installer;
        QSignalSpy finished(&installer, &PackageInstaller::SignalFinished);
        const QString package = dir.filePath("kavro-upload-client_2.4.3_amd64.deb"_s);
        QVERIFY(installer.Install(package));
        qputenv("PATH", savedPath);
        if (installer.IsRunning()) {
            QVERIFY(!installer.Install(package));  // one at a time
        }
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        QTEST(finished.first().at(0).toInt(), "outcome");
        QTEST(finished.first().at(1).toString(), "detail");
        QVERIFY(!installer.IsRunning());
        if (!pkexec.isEmpty()) {
            QFile args(argsFile);
            QVERIFY(args.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(args.readAll()),
                     "apt-get\ninstall\n-y\n--reinstall\n%1\n"_s.arg(package));
        }
    }

    void formatSize_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << quint64(0) << "0.00 B"_s;
        QTest::newRow("1023 B") << quint64(1023) << "1023.00 B"_s;
        QTest::newRow("1 KiB") << quint64(1024) << "1.00 KB"_s;
        QTest::newRow("1536") << quint64(1536) << "1.50 KB"_s;
        QTest::newRow("1 GiB") << (quint64(1) << 30) << "1.00 GB"_s;
        QTest::newRow("5 TiB") << (quint64(5) << 40) << "5120.00 GB"_s;
        QTest::newRow("max") << std::numeric_limits<quint64>::max() << "17179869184.00 GB"_s;
    }

    void formatSize()
    {
        QFETCH(quint64, bytes);
        QTEST(FormatSize(bytes, 4), "expected");
    }

    void formatDuration_data()
    {
        QTest::addColumn<quint64>("seconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("zero") << quint64(0) << "00:00:00"_s;
        QTest::newRow("3725") << quint64(3725) << "01:02:05"_s;
        QTest::newRow("one day") << quint64(86400) << "24:00:00"_s;
        QTest::newRow("100 hours") << quint64(360000 + 59) << "100:00:59"_s;
    }

    void formatDuration()
    {
        QFETCH(quint64, seconds);
        QTEST(FormatDuration(seconds), "expected");
    }

    void configDefaults()
    {
        QTemporaryDir dir;
        Config config(dir.filePath("global.ini"_s));
        config.RegisterDefaults();
        QCOMPARE(config.Value("UploadTaskManager"_s, "uploadTasksNum"_s).toInt(), 3);
        QCOMPARE(config.Value("UploadTaskManager"_s, "autoStartUpload"_s).toBool(), true);
        QCOMPARE(config.Value("Application"_s, "closeBehavior"_s).toString(), "quit"_s);
        QCOMPARE(config.Value("NetWorkManager"_s, "proxyType"_s).toInt(), 0);
        QVERIFY(!config.Value("NetWorkManager"_s, "proxyHostName"_s).isValid());
        // Defaults are never written: a fresh installation has no ini file.
        QVERIFY(!QFile::exists(config.FilePath()));

        config.SetValue("UploadTaskManager"_s, "uploadTasksNum"_s, 5);
        QCOMPARE(config.Value("UploadTaskManager"_s, "uploadTasksNum"_s).toInt(), 5);
        config.Remove("UploadTaskManager"_s, "uploadTasksNum"_s);
        QCOMPARE(config.Value("UploadTaskManager"_s, "uploadTasksNum"_s).toInt(), 3);

        // What another writer of the file stored is seen at once, over the default.
        QSettings(config.FilePath(), QSettings::IniFormat)
            .setValue("NetWorkManager/proxyType"_s, 1);
        QCOMPARE(config.Value("NetWorkManager"_s, "proxyType"_s).toInt(), 1);
    }

    void configRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("chinese user") << "用户名"_s;
        QTest::newRow("astral") << "a\U0001F600b"_s;
        QTest::newRow("separators") << "p=a;b,c \"q\""_s;
        QTest::newRow("port text") << "8080"_s;
    }

    void configRoundTrip()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString path = dir.filePath("global.ini"_s);
        Config(path).SetValue("NetWorkManager"_s, "proxyUser"_s, value);
        // Read a copy: QSettings caches files it wrote itself, and only the file on disk counts.
        const QString copy = dir.filePath("copy.ini"_s);
        QVERIFY(QFile::copy(path, copy));
        const QVariant read = Config(copy).Value("NetWorkManager"_s, "proxyUser"_s);
        QCOMPARE(read.toString(), value);
        bool isNumber = false;
        const uint number = value.toUInt(&isNumber);
        QCOMPARE(read.toUInt(), isNumber ? number : 0u);
    }

    void textValidator_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("ascii") << "Lesson 1"_s << true;
        QTest::newRow("chinese") << "第一课：函数"_s << true;
        QTest::newRow("last bmp char") << QString(QChar(0xfffd)) << true;
        QTest::newRow("emoji") << "好\U0001F600"_s << false;
        QTest::newRow("astral cjk ext b") << "\U00020000"_s << false;
    }

    void textValidator()
    {
        QFETCH(QString, text);
        QTEST(TextValidator::IsValid(text), "valid");
    }

    // KAVRO_PLATFORM_URL is not set for this program; rows that need it set it.
    void deployment_data()
    {
        QTest::addColumn<QString>("env");
        QTest::addColumn<QString>("ini");  // "platformUrl"
        QTest::addColumn<QString>("ca");   // "customSSLCacert"
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("caPath");  // empty: the bundle beside the executable
        QTest::newRow("built-in") << QString() << QString() << QString()
                                  << "https://api.kavro.example"_s << QString();
        const QString ca = "/etc/kavro/ca.pem"_s;
        QTest::newRow("ini") << QString() << "https://ini.example/"_s << ca
                             << "https://ini.example"_s << ca;
        QTest::newRow("environment over ini")
            << "https://127.0.0.1:8443//"_s
            << "https://ini.example"_s << QString() << "https://127.0.0.1:8443"_s << QString();
    }

    void deployment()
    {
        QFETCH(QString, env);
        QFETCH(QString, ini);
        QFETCH(QString, ca);
        QFETCH(QString, caPath);
        if (!env.isEmpty()) {
            qputenv("KAVRO_PLATFORM_URL", env.toUtf8());
        }
        QTemporaryDir dir;
        Config config(dir.filePath("global.ini"_s));
        if (!ini.isEmpty()) {
            config.SetValue("Custom"_s, "platformUrl"_s, ini);
            config.SetValue("NetWorkManager"_s, "customSSLCacert"_s, ca);
        }
        const Deployment found = Deployment::FromConfig(&config);
        qunsetenv("KAVRO_PLATFORM_URL");
        QTEST(found.platformUrl, "url");
        QCOMPARE(found.caBundlePath, caPath.isEmpty()
                                         ? QCoreApplication::applicationDirPath() + "/cacert.pem"_s
                                         : caPath);
    }

private:
    Application* app;
};

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    Config config(dir.filePath("global.ini"_s));
    Application app(&config, argc, argv);
    TestLifecycle test(&app);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lifecycle.moc"
