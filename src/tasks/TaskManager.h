#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QMap>
#include <QObject>

#include "api/ApiCollection.h"
#include "tasks/TaskInfo.h"

// The small scheduler behind every request of the library models. It keeps the tasks in order
// of addition, starts the next runnable one under per-type rules (at most one start per added
// and per ended task), runs its work on the process-wide thread pool, calls its callbacks back
// on its own (GUI) thread, reports tasks slower than two seconds, and lets a newer request
// supersede an older one. The concrete workers say what a task type is called and how a task's
// end and slowness reach their model.
class TaskManager : public QObject
{
    Q_OBJECT

public:
    enum TypePolicy
    {
        Concurrent = 0,
        OnePerType = 1,
        Exclusive = 2
    };
    Q_ENUM(TypePolicy)

    // How a task ended, as the models report it (SignalTaskEndStatus).
    enum TaskEndStatus
    {
        None = 0,
        Finished = 1,
        Cancel = 2,
        Abort = 3,
        Exception = 4
    };
    Q_ENUM(TaskEndStatus)
    static TaskEndStatus EndStatusOf(TaskInfo::Status status);

    // Threshold of the slow-task report.
    static constexpr int kSlowTaskMs = 2000;

    explicit TaskManager(QObject* parent = nullptr);
    ~TaskManager() override;

    void AddTask(TaskInfo* task);
    bool CancelTask(TaskInfo* task);
    bool AbortTask(TaskInfo* task);
    bool StopTask(TaskInfo* task);
    // The only operation a run function calls, from its pool thread.
    bool ThrowExceptionTask(TaskInfo* task);

    QList<TaskInfo*> TasksOfType(int type) const;
    bool HasTasks() const { return !tasks.isEmpty(); }
    void SetTypePolicy(int type, int policy);
    void SetMaxRunning(int count) { maxRunning = count; }
    int MaxRunning() const { return maxRunning; }

    // Stops every task (ready ones are cancelled, running ones aborted) and runs a local event
    // loop until the work of every task that was running has returned.
    void StopAllTasksAndWait();

    // The slow-task threshold is replaceable so that tests need not sleep two seconds.
    void SetSlowTaskInterval(int ms) { slowTaskMs = ms; }

public slots:
    virtual void TaskRunningSlowly(TaskInfo* task, bool isFinish);
    virtual void TaskEnd(TaskInfo* task) = 0;
    virtual QString TaskTypeToString(int type) = 0;

protected:
    // A request of a task failed: logs it, marks the task Exception unless it was aborted, and
    // returns the text for the user (the platform's code text for a refusal, else errorText,
    // else the outcome's text). Called from the task's pool thread.
    QString Failure(TaskInfo* task, ApiCollection::RequestError error, const QString& errorText,
                    const ApiCollection::ApiResult& result);

    TaskInfo* NextRunnableTask() const;
    void RunTask(TaskInfo* task);
    void EndTask(TaskInfo* task);

private:
    void OnTaskSlow(TaskInfo* task);
    void OnWorkFinished(TaskInfo* task);
    int PolicyOf(int type) const { return typePolicy.value(type, Concurrent); }

    QList<TaskInfo*> tasks;
    int maxRunning = 1;
    QMap<int, int> typePolicy;
    int slowTaskMs = kSlowTaskMs;
};
