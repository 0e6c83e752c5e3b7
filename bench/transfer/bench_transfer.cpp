// How the transfer page holds up while 10 uploads run at full speed against the devplatform:
// the longest stall of the GUI thread (gaps between the ticks of a 5 ms timer), the GUI
// thread's CPU time per second of wall clock, and the throughput.
//   bench/transfer/run-transfer-bench [BUILD_DIR] [--uploads N] [--mib SIZE]
#include <algorithm>
#include <cstdio>
#include <time.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

#include "TransferTestPlatform.h"
#include "platform/SystemPower.h"
#include "ui/transfer/HistoryTableWidget.h"
#include "ui/transfer/RecordTableWidget.h"
#include "ui/transfer/TransferListWidget.h"

namespace {

void Quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
}

// Nanoseconds this thread has waited for a CPU while runnable (Linux schedstat; 0 elsewhere):
// on a loaded machine a late tick is mostly this wait, not the page's work.
qint64 RunQueueWaitNs()
{
    QFile file(QStringLiteral("/proc/thread-self/schedstat"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() : 0;
}

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption uploadsOption(QStringLiteral("uploads"), QStringLiteral("uploads"),
                                           QStringLiteral("n"), QStringLiteral("10"));
    const QCommandLineOption sizeOption(QStringLiteral("mib"), QStringLiteral("MiB per file"),
                                        QStringLiteral("mib"), QStringLiteral("100"));
    parser.addOptions({uploadsOption, sizeOption});
    parser.process(app);
    const int count = parser.value(uploadsOption).toInt();
    const qint64 size = parser.value(sizeOption).toLongLong() << 20;
    qInstallMessageHandler(Quiet);

    QTemporaryDir dir;
    Config* config = nullptr;
    ApiCollection::LoginResult login;
    curl_global_init(CURL_GLOBAL_ALL);
    if (!TransferTestPlatform::Start(dir, &config, &login) ||
        !TransferTestPlatform::InitLibrary(login)) {
        std::fprintf(stderr, "bench_transfer: no devplatform (run it by run-transfer-bench)\n");
        return 1;
    }
    CategoryTreeModel categories;
    SDKManager& uploads = *SDKManager::instance();
    SystemPower power(QDBusConnection(QStringLiteral("kavro-no-bus")));
    TransferListWidget page(uploads, *DBManager::instance(), categories, *config, nullptr, &power);
    page.resize(1200, 700);
    page.show();
    page.Init();
    uploads.SetMaxTasks(count);

    QStringList files;
    for (int i = 0; i < count; ++i) {
        files << TransferTestPlatform::MakeFile(QDir(dir.path()),
                                                QStringLiteral("bench-%1.mp4").arg(i), size);
    }

    // The stall probe: a 5 ms timer whose late ticks show how long the thread was busy.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    qint64 lastWait = RunQueueWaitNs();
    qint64 longestOwn = 0;  // a gap without the time spent waiting for a CPU
    QVector<qint64> gaps;
    const bool trace = qEnvironmentVariableIsSet("BENCH_TRACE");
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const qint64 gap = now - last;
        last = now;
        gaps.append(gap);
        longest = std::max(longest, gap);
        const qint64 wait = RunQueueWaitNs();
        longestOwn = std::max(longestOwn, gap - (wait - lastWait));
        if (trace && gap > 40000000) {
            std::printf("stall %5.1f ms (%5.1f ms waiting for a CPU) ending at %.2f s\n",
                        gap / 1e6, (wait - lastWait) / 1e6, now / 1e9);
        }
        lastWait = wait;
    });

    const double loadStart = [] {
        QFile load(QStringLiteral("/proc/loadavg"));
        return load.open(QIODevice::ReadOnly) ? load.readAll().split(' ').value(0).toDouble() : 0.0;
    }();
    clock.start();
    const double cpuStart = ThreadCpuSeconds();
    probe.start();
    QElapsedTimer adding;
    adding.start();
    for (const QString& file : files) {
        uploads.AddUpload(1, file, QString(), QString(), QString(), QStringLiteral("Root"), 0, 0);
    }
    const double addSeconds = adding.nsecsElapsed() / 1e9;
    QTimer done;
    done.setInterval(50);
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (page.HistoryTable()->Count() >= count || clock.elapsed() > 600000) {
            app.quit();
        }
    });
    done.start();
    app.exec();
    const double wall = clock.nsecsElapsed() / 1e9;
    const double cpu = ThreadCpuSeconds() - cpuStart;
    probe.stop();

    std::sort(gaps.begin(), gaps.end());
    const auto pct = [&](double p) {
        return gaps.isEmpty() ? 0.0 : gaps.at(int((gaps.size() - 1) * p)) / 1e6;
    };
    const int finished = page.HistoryTable()->Count();
    std::printf("machine load average      %.1f on %d cores at the start\n", loadStart,
                QThread::idealThreadCount());
    std::printf("uploads finished          %d of %d, %lld MiB each\n", finished, count, size >> 20);
    std::printf("adding %d files         %.1f ms (on the GUI thread, before the probe)\n", count,
                addSeconds * 1e3);
    std::printf("wall clock                %.2f s\n", wall);
    std::printf("throughput                %.1f MB/s\n", finished * double(size) / 1e6 / wall);
    std::printf("GUI thread longest stall  %.1f ms (probe tick every 5 ms; goal < 50 ms)\n",
                longest / 1e6 - 5);
    std::printf("  without run-queue wait  %.1f ms (the thread's own work and blocking calls)\n",
                longestOwn / 1e6 - 5);
    std::printf("GUI thread tick gap       p50 %.1f ms, p99 %.1f ms, p99.9 %.1f ms\n", pct(0.5),
                pct(0.99), pct(0.999));
    std::printf("GUI thread CPU            %.2f s = %.1f %% of one core\n", cpu,
                100.0 * cpu / wall);
    uploads.Release();
    return finished == count ? 0 : 1;
}
