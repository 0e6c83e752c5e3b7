#pragma once

// Small helpers the GUI-side benchmarks share: milliseconds, medians, waiting with the event
// loop running, and what the scheduler says about the calling thread.
#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <QTimer>

namespace Bench {

inline double Ms(qint64 ns)
{
    return ns / 1e6;
}

inline double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// Runs the event loop until done() or the timeout; false on the timeout. The thread sleeps
// between events, since a busy loop would take a CPU from the threads being measured (and
// would count as the GUI thread's own work); a 5 ms tick looks at done() when nothing else
// happens.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Typing a name of the large seed's categories letter by letter, then clearing the field.
inline QStringList FilterKeystrokes()
{
    return {
        QStringLiteral("B"),          QStringLiteral("Bu"),          QStringLiteral("Bul"),
        QStringLiteral("Bulk"),       QStringLiteral("Bulk "),       QStringLiteral("Bulk 1"),
        QStringLiteral("Bulk 1."),    QStringLiteral("Bulk 1.2"),    QStringLiteral("Bulk 1.2."),
        QStringLiteral("Bulk 1.2.3"), QStringLiteral("Bulk 1.2.3x"), QString()};
}

// The calling thread's scheduler account (Linux /proc/thread-self/schedstat; zeros elsewhere):
// nanoseconds spent on a CPU, and nanoseconds spent runnable but waiting for one. On a shared
// machine a late tick is often the wait, not the thread's own work.
struct ThreadTimes
{
    qint64 onCpuNs = 0;
    qint64 waitingNs = 0;
};

// Reads the file opened once per thread (opening it anew on every tick of a 2 ms heartbeat cost
// the GUI thread more than a page's paint).
inline ThreadTimes ReadThreadTimes()
{
    thread_local const int fd = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    char text[128];
    const ssize_t size = fd < 0 ? -1 : ::pread(fd, text, sizeof(text) - 1, 0);
    if (size <= 0) {
        return {};
    }
    text[size] = '\0';
    char* end = nullptr;
    ThreadTimes times;
    times.onCpuNs = std::strtoll(text, &end, 10);
    times.waitingNs = std::strtoll(end, nullptr, 10);
    return times;
}

}  // namespace Bench
