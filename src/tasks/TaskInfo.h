#pragma once

#include <atomic>
#include <functional>

#include <QDebug>
#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QObject>
#include <QUuid>
#include <QVariantMap>

// The log category of the task managers and their tasks.
Q_DECLARE_LOGGING_CATEGORY(lcWorker)

// One background request and its callbacks, run by a TaskManager.
//
//   Ready --RunTask--> Running --work returned--> Finished --> ended
//     |                   |--AbortTask----------> Abort     --> ended when the work returns
//     |                   '--ThrowExceptionTask-> Exception --> ended when the work returns
//     '--CancelTask--> Cancel --> ended when next picked
//
// Thread rules: `params` is written only on the manager's thread (by the creator and by
// prepareFunc) and only read by runFunc; runFunc hands its results back in `results`, which the
// manager's thread reads only after the work returned (finishFunc). The two maps are kept apart
// so that no QVariantMap is written on one thread while another reads it. `status` is atomic
// because ThrowExceptionTask changes it from the pool thread.
class TaskInfo : public QObject
{
    Q_OBJECT

public:
    enum Status
    {
        Ready = 0,
        Running,
        Finished,
        Cancel,
        Abort,
        Exception
    };
    Q_ENUM(Status)

    explicit TaskInfo(int type);
    ~TaskInfo() override;

    using Function = std::function<void(TaskInfo*)>;

    const int type;
    std::atomic<Status> status{Ready};
    const QUuid uuid;
    Function prepareFunc;  // manager's thread, just before the work starts
    Function runFunc;      // pool thread
    Function finishFunc;   // manager's thread, when the work returned and the task is Running
    Function abortFunc;    // manager's thread, when a Running task is aborted
    QVariantMap params;
    QVariantMap results;
    QFutureWatcher<void>* watcher = nullptr;

    // The abort flag the running request polls (handed to the web API as its abort pointer).
    // Owned by the task, so it outlives the request; written by the manager's thread only.
    bool abortFlag = false;
    // Set by the slow-task timer; the task's end then reports the slow task as finished.
    bool runningSlowly = false;
};

// "(TaskInfo::Running, {uuid})", for log lines.
QDebug operator<<(QDebug debug, const TaskInfo* task);
