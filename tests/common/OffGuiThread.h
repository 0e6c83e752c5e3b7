#pragma once

#include <QEventLoop>
#include <QFutureWatcher>
#include <QtConcurrent>

// Request functions refuse the GUI thread: runs one on the pool and keeps the event loop (and
// with it any local server of the test) going until it returns.
template <typename Function>
auto OffGuiThread(Function function) -> decltype(function())
{
    using Result = decltype(function());
    QFuture<Result> future = QtConcurrent::run(function);
    QFutureWatcher<Result> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    if (!future.isFinished()) {
        loop.exec();
    }
    return future.result();
}
