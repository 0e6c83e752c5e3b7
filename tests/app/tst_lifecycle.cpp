// The process lifecycle: restart hand-over, Stop exactly once, and runs of the real executable
// (its log file, its database, a clean quit on SIGTERM and a crash report on SIGSEGV).
#include <signal.h>
#include <sys/stat.h>

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/Application.h"
#include "app/Config.h"
#include "platform/AutoStart.h"
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
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        if (display.isEmpty()) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        } else {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            env.insert(QStringLiteral("DISPLAY"), display);
        }
        process.setProcessEnvironment(env);
        process.setProgram(QStringLiteral(KAVRO_CLIENT_BINARY));
        process.setArguments({QStringLiteral("--first"), QStringLiteral("第二 arg")});
        logDir = dataHome + QStringLiteral("/kavro-upload-client/log");
    }

    bool StartAndWaitForRun() { return StartAndWaitFor(QStringLiteral("App Run")); }

    // Starts the client and waits until its log holds the text.
    bool StartAndWaitFor(const QString& text)
    {
        process.start();
        if (!process.waitForStarted(10000)) {
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000) {
            if (LogText().contains(text)) {
                return true;
            }
            QTest::qWait(20);
        }
        return false;
    }

    bool TerminateAndWait()
    {
        return ::kill(static_cast<pid_t>(process.processId()), SIGTERM) == 0 &&
               process.waitForFinished(20000);
    }

    QString LogText() const
    {
        QDirIterator it(logDir, {QStringLiteral("*_client.log")}, QDir::Files);
        if (!it.hasNext()) {
            return QString();
        }
        QFile file(it.next());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QProcess process;
    QString logDir;
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
        process.start(QStringLiteral("Xvfb"),
                      {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                       QStringLiteral("0"), QStringLiteral("1280x800x24"),
                       QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!process.waitForStarted(5000)) {
            return QString();
        }
        QByteArray number;
        QElapsedTimer timer;
        timer.start();
        while (!number.contains('\n') && timer.elapsed() < 10000 &&
               process.state() == QProcess::Running) {
            process.waitForReadyRead(100);
            number += process.readAllStandardOutput();
        }
        return number.contains('\n') ? QStringLiteral(":") + QString::fromLatin1(number.trimmed())
                                     : QString();
    }

    QProcess process;
};

// The permission bits of a path, without following a link.
uint Mode(const QString& path)
{
    struct stat info
    {
    };
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

}  // namespace

class TestLifecycle : public QObject
{
    Q_OBJECT

public:
    explicit TestLifecycle(Application* app) : app(app) {}

private slots:
    void stopRunsOnce();
    void runReturnsOrdinaryExitCodes_data();
    void runReturnsOrdinaryExitCodes();
    void restartStartsOneProcessWithSameArguments();
    void dataDirectoryFollowsXdgDataHome();
    void autoStartEntry_data();
    void autoStartEntry();
    void clientRunWritesLogAndDatabase();
    void terminationQuitsInOrder_data();
    void terminationQuitsInOrder();
    void terminationDuringNestedLoopBeforeRun();
    void dataDirectoryIsPrivate();
    void noLogFolderLogsToStderr();
    void crashLeavesReport();

private:
    Application* app;
};

void TestLifecycle::runReturnsOrdinaryExitCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("zero") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("1023") << 1023;
}

void TestLifecycle::runReturnsOrdinaryExitCodes()
{
    QFETCH(int, code);
    QTimer::singleShot(0, app, [code] { QCoreApplication::exit(code); });
    QCOMPARE(app->Run(), code);
}

void TestLifecycle::restartStartsOneProcessWithSameArguments()
{
    // The restarted "program" is a shell that records its arguments and how often it ran.
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("args.txt"));
    const QStringList arguments{QStringLiteral("/bin/sh"),
                                QStringLiteral("-c"),
                                QStringLiteral("printf '%s\\n' \"$@\" >> '%1'").arg(out),
                                QStringLiteral("sh"),
                                QStringLiteral("a b"),
                                QStringLiteral("第二")};
    Application::StartRestartedProcess(arguments);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
    QTest::qWait(200);
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), QStringLiteral("a b\n第二\n"));
}

void TestLifecycle::stopRunsOnce()
{
    QSignalSpy stops(app, &Application::SignalAboutToAppStop);
    app->Stop();
    app->Stop();
    QCOMPARE(stops.size(), 1);
    // Leaving the event loop emits aboutToQuit, which is connected to Stop as well.
    QTimer::singleShot(0, app, [] { QCoreApplication::exit(0); });
    QCOMPARE(app->Run(), 0);
    QCOMPARE(stops.size(), 1);
}

void TestLifecycle::dataDirectoryFollowsXdgDataHome()
{
    const QString expected =
        QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/kavro-upload-client");
    QCOMPARE(Application::DataDirPath(), QDir(expected).absolutePath());
    QCOMPARE(Application::DataDirPath(QStringLiteral("thumbs/1")),
             QDir(expected).absoluteFilePath(QStringLiteral("thumbs/1")));
    QVERIFY(QFileInfo(expected + QStringLiteral("/thumbs/1")).isDir());
}

void TestLifecycle::autoStartEntry_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<bool>("enabled");
    const QString self = QCoreApplication::applicationFilePath();
    QTest::newRow("this program") << QStringLiteral("\"%1\"").arg(self) << true;
    QTest::newRow("other case") << QStringLiteral("\"%1\"").arg(self.toUpper()) << true;
    QTest::newRow("unquoted") << self << false;
    QTest::newRow("another program") << QStringLiteral("\"/usr/bin/other\"") << false;
    QTest::newRow("no entry") << QString() << false;
}

void TestLifecycle::autoStartEntry()
{
    QFETCH(QString, exec);
    QFETCH(bool, enabled);
    const QString dir =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/autostart");
    const QString entry =
        dir + QLatin1Char('/') + QCoreApplication::applicationName() + QStringLiteral(".desktop");
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

void TestLifecycle::clientRunWritesLogAndDatabase()
{
    QTemporaryDir home;
    ClientRun run(home.path());
    QVERIFY2(run.StartAndWaitForRun(), run.process.readAllStandardError().constData());
    QVERIFY(run.TerminateAndWait());
    QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process.exitCode(), 0);

    const QString log = run.LogText();
    const QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() > 10);
    static const QRegularExpression linePattern(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}([+-]\\d\\d:\\d\\d|Z) "
        "(\\[Debug\\]|\\[Warn\\] |\\[Error\\]|\\[Fatal\\]|\\[Info\\] )(\\[\\w+\\])? .*$"));
    for (const QString& line : lines) {
        QVERIFY2(linePattern.match(line).hasMatch(), qPrintable(line));
    }
    for (const char* expected :
         {"[Info]  Run in work dir:", "[Info]  System info:", "[Info]  Application argv:",
          "App Init", "App Run", "App Stop", "Exit code: 0"}) {
        QVERIFY2(log.contains(QLatin1String(expected)), expected);
    }
    QVERIFY(log.contains(QStringLiteral("第二 arg")));
    // "autoUpdate" is off by default: no update check at start.
    QVERIFY(log.contains(QStringLiteral("Startup update check: off")));
    QVERIFY(!log.contains(QStringLiteral("CheckClientUpdate")));

    const QString logName = QDir(run.logDir).entryList({QStringLiteral("*_client.log")}).value(0);
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d_client\\.log$"))
                 .match(logName)
                 .hasMatch(),
             qPrintable(logName));

    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
        db.setDatabaseName(
            home.filePath(QStringLiteral("kavro-upload-client/kvr-upload-client.db")));
        QVERIFY(db.open());
        QSqlQuery query(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"),
            db);
        QStringList tables;
        while (query.next()) {
            tables << query.value(0).toString();
        }
        QCOMPARE(tables,
                 (QStringList{QStringLiteral("KVRHistoryRecord"), QStringLiteral("KVRUploadRecord"),
                              QStringLiteral("KVRUser")}));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
}

void TestLifecycle::terminationQuitsInOrder_data()
{
    QTest::addColumn<bool>("realWindows");
    QTest::addColumn<QString>("moment");
    for (const bool real : {false, true}) {
        const char* where = real ? "X server" : "offscreen";
        QTest::addRow("%s: starting", where) << real << QStringLiteral("Run in work dir:");
        QTest::addRow("%s: login dialog", where) << real << QStringLiteral("App Run");
        // A damaged database: its message box runs a modal loop over the login dialog.
        QTest::addRow("%s: message box", where) << real << QStringLiteral("damaged db");
    }
}

// SIGTERM from the first log line on, with the login dialog up and with a modal message box
// over it: the stop sequence runs and the exit code is 0, on a real X server as offscreen.
void TestLifecycle::terminationQuitsInOrder()
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
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("kavro-upload-client"))));
        QFile db(home.filePath(QStringLiteral("kavro-upload-client/kvr-upload-client.db")));
        QVERIFY(db.open(QIODevice::WriteOnly));
        db.write("garbage, not a database");
    }
    ClientRun run(home.path(), display);
    QVERIFY2(run.StartAndWaitFor(moment), run.process.readAllStandardError().constData());
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
void TestLifecycle::terminationDuringNestedLoopBeforeRun()
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

void TestLifecycle::dataDirectoryIsPrivate()
{
    // Files of an older version, readable by everybody.
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("kavro-upload-client"));
    QVERIFY(QDir().mkpath(data + QStringLiteral("/log")));
    QVERIFY(QDir().mkpath(data + QStringLiteral("/thumbs/1")));
    for (const QString& name : {QStringLiteral("global.ini"), QStringLiteral("log/old-run.log"),
                                QStringLiteral("thumbs/1/abc")}) {
        QFile file(data + QLatin1Char('/') + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x\n");
        file.close();
        QVERIFY(::chmod(QFile::encodeName(file.fileName()).constData(), 0644) == 0);
    }
    for (const QString& folder :
         {data, data + QStringLiteral("/log"), data + QStringLiteral("/thumbs"),
          data + QStringLiteral("/thumbs/1")}) {
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    }

    ClientRun run(home.path());
    QVERIFY(run.StartAndWaitForRun());
    QVERIFY(run.TerminateAndWait());
    QCOMPARE(run.process.exitCode(), 0);

    // Old and new alike: the database, the settings, this run's log, old logs, thumbnails.
    QStringList seen;
    QCOMPARE(Mode(data), 0700u);
    QDirIterator it(data, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const uint expected = it.fileInfo().isDir() ? 0700u : 0600u;
        QVERIFY2(Mode(path) == expected,
                 qPrintable(QStringLiteral("%1: %2").arg(path).arg(Mode(path), 0, 8)));
        seen << QDir(data).relativeFilePath(path);
    }
    QVERIFY(seen.contains(QStringLiteral("kvr-upload-client.db")));
    QVERIFY(seen.contains(QStringLiteral("thumbs/1/abc")));
    QVERIFY(seen.filter(QRegularExpression(QStringLiteral("^log/\\d.*_client\\.log$"))).size() ==
            1);
}

// With "log" a file, no log folder can be made: the lines go to stderr, and no stray log file
// appears in the working folder.
void TestLifecycle::noLogFolderLogsToStderr()
{
    QTemporaryDir home;
    QTemporaryDir workDir;
    const QString data = home.filePath(QStringLiteral("kavro-upload-client"));
    QVERIFY(QDir().mkpath(data));
    QFile blocker(data + QStringLiteral("/log"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    ClientRun run(home.path());
    run.process.setWorkingDirectory(workDir.path());
    run.process.start();
    QVERIFY(run.process.waitForStarted(10000));
    QByteArray err;
    QElapsedTimer timer;
    timer.start();
    while (!err.contains("App Run") && timer.elapsed() < 20000) {
        run.process.waitForReadyRead(100);
        err += run.process.readAllStandardError();
    }
    QVERIFY2(err.contains("App Run"), err.constData());
    QVERIFY(run.TerminateAndWait());
    err += run.process.readAllStandardError();
    QCOMPARE(run.process.exitCode(), 0);
    QVERIFY(err.contains("mkpath failed:"));
    QVERIFY(err.contains("Exit code: 0"));
    QCOMPARE(QDir(workDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    QVERIFY(QFileInfo(blocker.fileName()).isFile());
}

void TestLifecycle::crashLeavesReport()
{
    QTemporaryDir home;
    ClientRun run(home.path());
    QVERIFY(run.StartAndWaitForRun());
    QCOMPARE(::kill(static_cast<pid_t>(run.process.processId()), SIGSEGV), 0);
    QVERIFY(run.process.waitForFinished(20000));
    QCOMPARE(run.process.exitStatus(), QProcess::CrashExit);

    const QString crashDir = home.filePath(QStringLiteral("kavro-upload-client/crash"));
    const QStringList dumps = QDir(crashDir).entryList({QStringLiteral("*.dmp")});
    QCOMPARE(dumps.size(), 1);
    QFile dump(crashDir + QLatin1Char('/') + dumps.first());
    QVERIFY(dump.open(QIODevice::ReadOnly));
    const QByteArray report = dump.readAll();
    QVERIFY2(report.contains("signal: 11 (SIGSEGV)"), report.constData());
    QVERIFY(report.contains("address: 0x"));
    QVERIFY(report.contains("backtrace:\n"));
    QVERIFY(report.count('\n') > 5);
}

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    Config config(dir.filePath(QStringLiteral("global.ini")));
    Application app(&config, argc, argv);
    TestLifecycle test(&app);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lifecycle.moc"
