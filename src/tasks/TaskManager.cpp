#include "tasks/TaskManager.h"

#include <QDebug>
#include <QEventLoop>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent>

#include "api/ApiErrors.h"

Q_LOGGING_CATEGORY(lcWorker, "Worker")

namespace {

// The pool's threads wait on the network, not on the CPU: a pool sized by the core count
// (two here) would let one slow page load hold back thumbnails, details and the login.
// Aborted tasks also keep their thread until their request notices the flag.
constexpr int kMinPoolThreads = 16;

}  // namespace

TaskManager::TaskManager(QObject* parent) : QObject(parent)
{
    QThreadPool* pool = QThreadPool::globalInstance();
    if (pool->maxThreadCount() < kMinPoolThreads) {
        pool->setMaxThreadCount(kMinPoolThreads);
    }
}

TaskManager::~TaskManager()
{
    // The owner normally drained everything with StopAllTasksAndWait; whatever is left must not
    // outlive its run function, which still holds the task pointer.
    for (TaskInfo* task : qAsConst(tasks)) {
        if (task->status == TaskInfo::Running && task->abortFunc) {
            task->abortFunc(task);
        }
        task->status = TaskInfo::Abort;
    }
    for (TaskInfo* task : qAsConst(tasks)) {
        if (task->watcher) {
            task->watcher->disconnect(this);
            task->watcher->waitForFinished();
        }
    }
    qDeleteAll(tasks);
    tasks.clear();
}

TaskManager::TaskEndStatus TaskManager::EndStatusOf(TaskInfo::Status status)
{
    switch (status) {
        case TaskInfo::Finished:
            return Finished;
        case TaskInfo::Cancel:
            return Cancel;
        case TaskInfo::Abort:
            return Abort;
        case TaskInfo::Exception:
            return Exception;
        default:
            return None;
    }
}

void TaskManager::AddTask(TaskInfo* task)
{
    // All bookkeeping happens on the manager's thread; only the work runs elsewhere.
    Q_ASSERT(QThread::currentThread() == thread());
    tasks.append(task);
    qCDebug(lcWorker).noquote() << "Add task:" << TaskTypeToString(task->type) << task;
    if (TaskInfo* next = NextRunnableTask()) {
        RunTask(next);
    }
}

bool TaskManager::CancelTask(TaskInfo* task)
{
    TaskInfo::Status expected = TaskInfo::Ready;
    if (!task->status.compare_exchange_strong(expected, TaskInfo::Cancel)) {
        qWarning() << "CancelTask: the task is not Ready";
        return false;
    }
    qCDebug(lcWorker).noquote() << "Cancel task:" << TaskTypeToString(task->type) << task;
    return true;
}

bool TaskManager::AbortTask(TaskInfo* task)
{
    if (task->status != TaskInfo::Running) {
        qWarning() << "AbortTask: the task is not Running";
        return false;
    }
    qCDebug(lcWorker).noquote() << "Abort task:" << TaskTypeToString(task->type) << task;
    if (task->abortFunc) {
        task->abortFunc(task);
    }
    // The run function may have marked the task Exception meanwhile; either way it is no longer
    // Running, and its finish callback will not run.
    TaskInfo::Status expected = TaskInfo::Running;
    task->status.compare_exchange_strong(expected, TaskInfo::Abort);
    return true;
}

bool TaskManager::StopTask(TaskInfo* task)
{
    switch (task->status.load()) {
        case TaskInfo::Ready:
            return CancelTask(task);
        case TaskInfo::Running:
            return AbortTask(task);
        default:
            return false;
    }
}

bool TaskManager::ThrowExceptionTask(TaskInfo* task)
{
    TaskInfo::Status expected = TaskInfo::Running;
    if (!task->status.compare_exchange_strong(expected, TaskInfo::Exception)) {
        qWarning() << "ThrowExceptionTask: the task is not Running";
        return false;
    }
    // TaskTypeToString only reads the meta-object, so it is safe from the pool thread.
    qCInfo(lcWorker).noquote() << "Throw exception of task:" << TaskTypeToString(task->type)
                               << task;
    return true;
}

QList<TaskInfo*> TaskManager::TasksOfType(int type) const
{
    QList<TaskInfo*> result;
    for (TaskInfo* task : tasks) {
        if (task->type == type) {
            result.append(task);
        }
    }
    return result;
}

void TaskManager::SetTypePolicy(int type, int policy)
{
    typePolicy.insert(type, policy);
}

TaskInfo* TaskManager::NextRunnableTask() const
{
    int running = 0;
    QList<int> runningTypes;
    for (TaskInfo* task : tasks) {
        const int policy = PolicyOf(task->type);
        switch (task->status.load()) {
            case TaskInfo::Running:
                if (policy == Exclusive) {
                    return nullptr;
                }
                ++running;
                runningTypes.append(task->type);
                if (running >= maxRunning) {
                    return nullptr;
                }
                break;
            case TaskInfo::Ready:
                if (policy == Exclusive) {
                    return running == 0 ? task : nullptr;
                }
                if (policy == Concurrent || !runningTypes.contains(task->type)) {
                    return task;
                }
                break;
            case TaskInfo::Cancel:
                return task;
            default:
                break;
        }
    }
    return nullptr;
}

void TaskManager::RunTask(TaskInfo* task)
{
    qCDebug(lcWorker).noquote() << "Run task:" << TaskTypeToString(task->type) << task;
    if (task->status != TaskInfo::Ready) {
        qCDebug(lcWorker).noquote() << "Run task abnormal:" << TaskTypeToString(task->type) << task;
        EndTask(task);
        return;
    }
    task->status = TaskInfo::Running;

    auto* timer = new QTimer(task);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, task, [this, task]() { OnTaskSlow(task); });
    timer->start(slowTaskMs);

    if (task->prepareFunc) {
        task->prepareFunc(task);
    }

    auto* watcher = new QFutureWatcher<void>(this);
    connect(
        watcher, &QFutureWatcher<void>::finished, this, [this, task]() { OnWorkFinished(task); },
        Qt::DirectConnection);
    task->watcher = watcher;

    const TaskInfo::Function run = task->runFunc;
    watcher->setFuture(QtConcurrent::run(QThreadPool::globalInstance(), [run, task]() {
        if (run) {
            run(task);
        }
    }));
}

void TaskManager::OnTaskSlow(TaskInfo* task)
{
    task->runningSlowly = true;
    if (task->status != TaskInfo::Abort) {
        TaskRunningSlowly(task, false);
    }
}

void TaskManager::TaskRunningSlowly(TaskInfo* task, bool isFinish)
{
    qCInfo(lcWorker).noquote() << "Task running slowly:" << TaskTypeToString(task->type) << task
                               << "isFinish:" << isFinish;
}

void TaskManager::OnWorkFinished(TaskInfo* task)
{
    QFutureWatcher<void>* watcher = task->watcher;
    if (task->status == TaskInfo::Running) {
        if (task->finishFunc) {
            task->finishFunc(task);
        }
        task->status = TaskInfo::Finished;
    } else {
        qCDebug(lcWorker).noquote()
            << "Finish task abnormal:" << TaskTypeToString(task->type) << task;
    }
    EndTask(task);
    watcher->deleteLater();
}

void TaskManager::EndTask(TaskInfo* task)
{
    qCDebug(lcWorker).noquote() << "End task:" << TaskTypeToString(task->type) << task;
    if (task->runningSlowly) {
        TaskRunningSlowly(task, true);
    }
    TaskEnd(task);
    tasks.removeOne(task);
    delete task;
    if (TaskInfo* next = NextRunnableTask()) {
        RunTask(next);
    }
}

void TaskManager::StopAllTasksAndWait()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (tasks.isEmpty()) {
        return;
    }
    QList<QFutureWatcher<void>*> waiting;
    // StopTask never ends a task, so the list stays as it is while we walk it.
    for (TaskInfo* task : qAsConst(tasks)) {
        if (task->watcher && task->watcher->isRunning()) {
            waiting.append(task->watcher);
        }
        StopTask(task);
    }
    if (waiting.isEmpty()) {
        return;
    }

    QEventLoop loop;
    const int count = waiting.size();
    for (QFutureWatcher<void>* watched : qAsConst(waiting)) {
        auto* extra = new QFutureWatcher<void>(this);
        connect(
            extra, &QFutureWatcher<void>::finished, this,
            [&waiting, &loop, watched, extra]() {
                waiting.removeOne(watched);
                extra->deleteLater();
                if (waiting.isEmpty()) {
                    loop.quit();
                }
            },
            Qt::DirectConnection);
        extra->setFuture(watched->future());
    }
    qCInfo(lcWorker).noquote() << "Wait for" << count << "tasks.";
    loop.exec();
}

QString TaskManager::Failure(TaskInfo* task, ApiCollection::RequestError error,
                             const QString& errorText, const ApiCollection::ApiResult& result)
{
    QString message = errorText;
    if (error == ApiCollection::ApiReturnFailed) {
        message = ApiCollection::errorCodeString(result.errorCode);
    }
    if (message.isEmpty()) {
        message = ApiCollection::requestErrorString(error);
    }
    qWarning().noquote() << TaskTypeToString(task->type)
                         << "failed:" << ApiCollection::requestErrorKey(error) << message;
    if (task->status != TaskInfo::Abort) {
        ThrowExceptionTask(task);
    }
    return message;
}
