// How the transfer page holds up against the devplatform:
// 1. adding many files at once (the upload dialog's confirmation of 200 files): the time in
//    SDKManager::AddUploads, the time until every row has its widgets, the longest stall;
// 2. N uploads at full speed: the longest stall of the GUI thread (gaps between the ticks of a
//    5 ms timer), the same without the time it waited for a CPU, its CPU time, the throughput;
// 3. with --throttle, N uploads held by the platform to that many bytes per second each, for
//    --seconds: a long steady run whose GUI thread CPU is the page's refresh alone.
//   bench/transfer/run-transfer-bench [BUILD_DIR] [--uploads N] [--mib SIZE] [--add FILES]
//                                     [--throttle BYTES_PER_SECOND --seconds S]
// BENCH_TRACE=1 prints every stall over 40 ms with its CPU wait and the events the GUI thread
// spent most of its own time on during it.
#include <algorithm>
#include <cstdio>
#include <time.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
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

qint64 WallNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// One event the GUI thread delivered, with the wall clock and CPU time its handling took.
struct TracedEvent
{
    qint64 endNs = 0;
    double wallMs = 0;
    double cpuMs = 0;
    double waitMs = 0;  // runnable but waiting for a CPU
    QByteArray what;
};

// With tracing on, times the outermost delivery of every event on the GUI thread and keeps
// those that took over a millisecond (wall clock; the CPU part beside it: the rest was spent
// blocked in a call or waiting for a CPU).
class TracingApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!tracing || QThread::currentThread() != thread()) {
            return QApplication::notify(receiver, event);
        }
        if (depth > 0) {
            ++depth;
            const bool result = QApplication::notify(receiver, event);
            --depth;
            return result;
        }
        // A deferred delete (or a handler) may destroy the receiver: it is named only if alive.
        const char* className = receiver->metaObject()->className();
        const int type = int(event->type());
        const QPointer<QObject> alive(receiver);
        ++depth;
        const double start = ThreadCpuSeconds();
        const qint64 startNs = WallNs();
        const qint64 startWait = RunQueueWaitNs();
        const bool result = QApplication::notify(receiver, event);
        --depth;
        const double cpuMs = (ThreadCpuSeconds() - start) * 1e3;
        const qint64 endNs = WallNs();
        const double wallMs = (endNs - startNs) / 1e6;
        const double waitMs = (RunQueueWaitNs() - startWait) / 1e6;
        if (wallMs > 1.0) {
            QByteArray what = className;
            if (alive && !alive->objectName().isEmpty()) {
                what += " " + alive->objectName().toUtf8();
            }
            if (alive && alive->parent()) {
                what += QByteArray(" in ") + alive->parent()->metaObject()->className();
            }
            what += " event " + QByteArray::number(type);
            events.append({endNs, wallMs, cpuMs, waitMs, what});
        }
        return result;
    }

    // The longest events that ended between fromNs and toNs: "12.3 ms (CPU 1.2) what; ...".
    QByteArray Costliest(qint64 fromNs, qint64 toNs, int count) const
    {
        QVector<TracedEvent> inside;
        for (const TracedEvent& event : events) {
            if (event.endNs > fromNs && event.endNs <= toNs) {
                inside.append(event);
            }
        }
        std::sort(inside.begin(), inside.end(),
                  [](const TracedEvent& a, const TracedEvent& b) { return a.wallMs > b.wallMs; });
        QByteArray text;
        for (int i = 0; i < std::min(count, int(inside.size())); ++i) {
            const TracedEvent& event = inside.at(i);
            text += QByteArray::number(event.wallMs, 'f', 1) + " ms (CPU " +
                    QByteArray::number(event.cpuMs, 'f', 1) + ", blocked " +
                    QByteArray::number(event.wallMs - event.cpuMs - event.waitMs, 'f', 1) + ") " +
                    event.what + "; ";
        }
        return text;
    }

    // The events that took the most CPU over the whole run (a figure the machine's load does
    // not change), as one line each.
    QByteArray Heaviest(int count) const
    {
        QVector<TracedEvent> all = events;
        std::sort(all.begin(), all.end(),
                  [](const TracedEvent& a, const TracedEvent& b) { return a.cpuMs > b.cpuMs; });
        QByteArray text;
        for (int i = 0; i < std::min(count, int(all.size())); ++i) {
            const TracedEvent& event = all.at(i);
            text += "  CPU " + QByteArray::number(event.cpuMs, 'f', 1) + " ms (wall " +
                    QByteArray::number(event.wallMs, 'f', 1) + ", blocked " +
                    QByteArray::number(event.wallMs - event.cpuMs - event.waitMs, 'f', 1) + ") " +
                    event.what + "\n";
        }
        return text;
    }

    // The events that spent the most time blocked in a call (neither running nor waiting for
    // a CPU: disk writes, locks), as one line each.
    QByteArray MostBlocked(int count) const
    {
        QVector<TracedEvent> all = events;
        const auto blocked = [](const TracedEvent& e) { return e.wallMs - e.cpuMs - e.waitMs; };
        std::sort(all.begin(), all.end(), [&](const TracedEvent& a, const TracedEvent& b) {
            return blocked(a) > blocked(b);
        });
        QByteArray text;
        for (int i = 0; i < std::min(count, int(all.size())); ++i) {
            text += "  blocked " + QByteArray::number(blocked(all.at(i)), 'f', 1) + " ms " +
                    all.at(i).what + "\n";
        }
        return text;
    }

    bool tracing = false;

private:
    int depth = 0;
    QVector<TracedEvent> events;
};

// A 5 ms timer whose late ticks show how long the GUI thread was busy or waiting for a CPU.
class StallProbe
{
public:
    explicit StallProbe(TracingApplication& app) : app(app)
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { Tick(); });
    }

    void Start()
    {
        gaps.clear();
        longest = 0;
        longestOwn = 0;
        last = WallNs();
        lastWait = RunQueueWaitNs();
        timer.start();
    }
    void Stop() { timer.stop(); }

    // The longest gap beyond the 5 ms interval, in ms, with and without the CPU wait.
    double LongestMs() const { return longest / 1e6 - 5; }
    double LongestOwnMs() const { return longestOwn / 1e6 - 5; }
    double Percentile(double p)
    {
        std::sort(gaps.begin(), gaps.end());
        return gaps.isEmpty() ? 0.0 : gaps.at(int((gaps.size() - 1) * p)) / 1e6;
    }

private:
    void Tick()
    {
        const qint64 now = WallNs();
        const qint64 gap = now - last;
        const qint64 wait = RunQueueWaitNs();
        gaps.append(gap);
        longest = std::max(longest, gap);
        longestOwn = std::max(longestOwn, gap - (wait - lastWait));
        if (app.tracing && gap > 40000000) {
            std::printf("stall %5.1f ms (%5.1f ms waiting for a CPU): %s\n", gap / 1e6,
                        (wait - lastWait) / 1e6, app.Costliest(last, now, 3).constData());
        }
        last = now;
        lastWait = wait;
    }

    TracingApplication& app;
    QTimer timer;
    qint64 last = 0;
    qint64 lastWait = 0;
    qint64 longest = 0;
    qint64 longestOwn = 0;  // a gap without the time spent waiting for a CPU
    QVector<qint64> gaps;
};

// Runs the event loop until done() or timeoutMs.
void RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    check.setInterval(20);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    check.start();
    loop.exec();
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

DBManager::Upload File(const QString& path)
{
    DBManager::Upload file;
    file.fileName = path;
    file.cateId = 1;
    file.catePath = QStringLiteral("Root");
    return file;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TracingApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption uploadsOption(QStringLiteral("uploads"), QStringLiteral("uploads"),
                                           QStringLiteral("n"), QStringLiteral("10"));
    const QCommandLineOption sizeOption(QStringLiteral("mib"), QStringLiteral("MiB per file"),
                                        QStringLiteral("mib"), QStringLiteral("100"));
    const QCommandLineOption addOption(QStringLiteral("add"),
                                       QStringLiteral("files added at once first (0: none)"),
                                       QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption throttleOption(
        QStringLiteral("throttle"), QStringLiteral("bytes per second and upload (0: full speed)"),
        QStringLiteral("bytes"), QStringLiteral("0"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("length of a throttled run"),
                                           QStringLiteral("s"), QStringLiteral("30"));
    parser.addOptions({uploadsOption, sizeOption, addOption, throttleOption, secondsOption});
    parser.process(app);
    const int count = parser.value(uploadsOption).toInt();
    const int addCount = parser.value(addOption).toInt();
    const qint64 throttle = parser.value(throttleOption).toLongLong();
    const int seconds = parser.value(secondsOption).toInt();
    qint64 size = parser.value(sizeOption).toLongLong() << 20;
    if (throttle > 0) {
        // Not one finishes within the run.
        size = std::max(size, throttle * seconds * 2);
    }
    qInstallMessageHandler(Quiet);
    app.tracing = qEnvironmentVariableIsSet("BENCH_TRACE");

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
    StallProbe probe(app);
    const double loadStart = [] {
        QFile load(QStringLiteral("/proc/loadavg"));
        return load.open(QIODevice::ReadOnly) ? load.readAll().split(' ').value(0).toDouble() : 0.0;
    }();
    std::printf("machine load average      %.1f on %d cores at the start\n", loadStart,
                QThread::idealThreadCount());

    // 1. Many files at once, as the dialog hands them over; nothing runs.
    if (addCount > 0) {
        QVector<DBManager::Upload> files;
        QDir(dir.path()).mkpath(QStringLiteral("add"));
        for (int i = 0; i < addCount; ++i) {
            files << File(TransferTestPlatform::MakeFile(QDir(dir.filePath(QStringLiteral("add"))),
                                                         QStringLiteral("add-%1.mp4").arg(i),
                                                         64 * 1024));
        }
        uploads.SetMaxTasks(0);
        RecordTableWidget* table = page.RecordTable();
        probe.Start();
        QElapsedTimer adding;
        adding.start();
        const QVector<bool> added = uploads.AddUploads(files);
        const double callMs = adding.nsecsElapsed() / 1e6;
        RunUntil([table] { return table->PendingRows() == 0; }, 60000);
        const double rowsMs = adding.nsecsElapsed() / 1e6;
        RunFor(200);  // the last rows painted before the stall is read
        probe.Stop();
        std::printf(
            "adding %d files at once   %.1f ms in AddUploads (%d queued), every row built "
            "after %.0f ms, longest stall %.1f ms (without run-queue wait %.1f ms)\n",
            addCount, callMs, int(std::count(added.cbegin(), added.cend(), true)), rowsMs,
            probe.LongestMs(), probe.LongestOwnMs());
        uploads.Release();
        DBManager::instance()->RemoveAllUploads();
        table->OnRemoveAllItems();
        // The 200 rows' widgets and tasks are deleted now, not inside the next measurement.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        RunFor(200);
        if (!TransferTestPlatform::InitLibrary(login)) {
            return 1;
        }
    }

    // 2. or 3. N uploads.
    if (throttle > 0) {
        ModelsPlatform::SetFault(
            QStringLiteral("path=/upload/files/,method=PATCH,throttle=%1").arg(throttle));
    }
    uploads.SetMaxTasks(count);
    QVector<DBManager::Upload> files;
    for (int i = 0; i < count; ++i) {
        files << File(TransferTestPlatform::MakeFile(QDir(dir.path()),
                                                     QStringLiteral("bench-%1.mp4").arg(i), size));
    }
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = ThreadCpuSeconds();
    probe.Start();
    uploads.AddUploads(files);
    const double addMs = clock.nsecsElapsed() / 1e6;
    double steadyCpu = 0;
    double steadyWall = 0;
    if (throttle > 0) {
        // The first seconds start the uploads; the rest is the page refreshing steady rows.
        // The probe's own ticks (200 a second) stay out of the steady figure.
        RunFor(5000);
        probe.Stop();
        const double cpu0 = ThreadCpuSeconds();
        const qint64 wall0 = clock.nsecsElapsed();
        RunFor((seconds - 5) * 1000);
        steadyCpu = ThreadCpuSeconds() - cpu0;
        steadyWall = (clock.nsecsElapsed() - wall0) / 1e9;
    } else {
        RunUntil([&] { return page.HistoryTable()->Count() >= count; }, 600000);
    }
    const double wall = clock.nsecsElapsed() / 1e9;
    const double cpu = ThreadCpuSeconds() - cpuStart;
    probe.Stop();
    const int finished = page.HistoryTable()->Count();
    if (throttle > 0) {
        std::printf("uploads                   %d throttled to %lld KiB/s each for %d s\n", count,
                    throttle >> 10, seconds);
    } else {
        std::printf("uploads finished          %d of %d, %lld MiB each\n", finished, count,
                    size >> 20);
        std::printf("throughput                %.1f MB/s\n", finished * double(size) / 1e6 / wall);
    }
    std::printf("adding %d files           %.1f ms (on the GUI thread)\n", count, addMs);
    std::printf("wall clock                %.2f s\n", wall);
    std::printf("GUI thread longest stall  %.1f ms (probe tick every 5 ms%s; goal < 50 ms)\n",
                probe.LongestMs(), throttle > 0 ? ", first 5 s" : "");
    std::printf("  without run-queue wait  %.1f ms (the thread's own work and blocking calls)\n",
                probe.LongestOwnMs());
    std::printf("GUI thread tick gap       p50 %.1f ms, p99 %.1f ms, p99.9 %.1f ms\n",
                probe.Percentile(0.5), probe.Percentile(0.99), probe.Percentile(0.999));
    std::printf("GUI thread CPU            %.2f s = %.1f %% of one core (with the probe)\n", cpu,
                100.0 * cpu / wall);
    if (throttle > 0) {
        std::printf(
            "  steady refresh          %.1f %% of one core over the last %.0f s (goal "
            "< 2 %%)\n",
            100.0 * steadyCpu / steadyWall, steadyWall);
    }
    if (app.tracing) {
        std::printf("GUI thread's heaviest events (CPU):\n%s", app.Heaviest(8).constData());
        std::printf("GUI thread's most blocked events:\n%s", app.MostBlocked(5).constData());
    }
    uploads.Release();
    if (throttle > 0) {
        ModelsPlatform::SetFault(QString());
        return 0;
    }
    return finished == count ? 0 : 1;
}
