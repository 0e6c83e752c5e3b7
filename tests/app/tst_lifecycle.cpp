// The process lifecycle: restart hand-over, Stop exactly once, and runs of the real executable
// (its log file, its database, a clean quit on SIGTERM and a crash report on SIGSEGV).
#include <signal.h>

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

namespace {

// Starts the client with a private data directory and waits until its event loop runs.
class ClientRun
{
public:
    explicit ClientRun(const QString& dataHome)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setProgram(QStringLiteral(KAVRO_CLIENT_BINARY));
        process.setArguments({QStringLiteral("--first"), QStringLiteral("第二 arg")});
        logDir = dataHome + QStringLiteral("/kavro-upload-client/log");
    }

    bool StartAndWaitForRun()
    {
        process.start();
        if (!process.waitForStarted(10000)) {
            return false;
        }
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000) {
            if (LogText().contains(QStringLiteral("App Run"))) {
                return true;
            }
            QTest::qWait(50);
        }
        return false;
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
    QCOMPARE(::kill(static_cast<pid_t>(run.process.processId()), SIGTERM), 0);
    QVERIFY(run.process.waitForFinished(20000));
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
