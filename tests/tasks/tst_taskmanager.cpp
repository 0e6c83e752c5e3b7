// The task manager with real pool threads: policies, limits, slow reports, superseding, and
// stopping everything at the end of the run.
#include <atomic>

#include <QSemaphore>
#include <QtTest>

#include "tasks/TaskManager.h"

namespace {

// A manager that records what the models would be told.
class RecordingManager : public TaskManager
{
public:
    using TaskManager::TaskManager;

    QList<QPair<QUuid, TaskInfo::Status>> ends;
    QList<QPair<int, bool>> slowReports;

    void TaskRunningSlowly(TaskInfo* task, bool isFinish) override
    {
        TaskManager::TaskRunningSlowly(task, isFinish);
        slowReports.append({task->type, isFinish});
    }
    void TaskEnd(TaskInfo* task) override { ends.append({task->uuid, task->status.load()}); }
    QString TaskTypeToString(int type) override { return QStringLiteral("Type%1").arg(type); }

    TaskInfo::Status EndOf(const QUuid& uuid) const
    {
        for (const auto& end : ends) {
            if (end.first == uuid) {
                return end.second;
            }
        }
        return TaskInfo::Ready;
    }
};

// Work that runs until released or aborted, and counts how many of a kind run at once.
struct Gate
{
    QSemaphore release;
    std::atomic<int> running{0};
    std::atomic<int> peak{0};
    std::atomic<int> finished{0};
};

TaskInfo* GatedTask(int type, Gate* gate)
{
    auto* task = new TaskInfo(type);
    task->abortFunc = [](TaskInfo* t) { t->abortFlag = true; };
    task->runFunc = [gate](TaskInfo* t) {
        const int now = ++gate->running;
        for (int peak = gate->peak; now > peak && !gate->peak.compare_exchange_weak(peak, now);) {
        }
        while (!gate->release.tryAcquire(1, 5)) {
            if (t->abortFlag) {
                break;
            }
        }
        --gate->running;
        ++gate->finished;
    };
    return task;
}

TaskInfo* AddGatedTask(TaskManager* manager, int type, Gate* gate)
{
    TaskInfo* task = GatedTask(type, gate);
    manager->AddTask(task);
    return task;
}

}  // namespace

class TestTaskManager : public QObject
{
    Q_OBJECT

private slots:
    void limitsStartOneWaitingTaskPerEnd_data()
    {
        QTest::addColumn<bool>("onePerType");  // else at most two tasks run
        QTest::addColumn<int>("running");      // of the four tasks of type 1 at once
        QTest::newRow("two at most") << false << 2;
        QTest::newRow("one per type") << true << 1;
    }

    // Of four tasks of a type, as many run as the limit or the type's policy allows, and each end
    // starts one waiting task. A task of another type runs beside them while the limit has room.
    void limitsStartOneWaitingTaskPerEnd()
    {
        QFETCH(bool, onePerType);
        QFETCH(int, running);
        RecordingManager manager;
        manager.SetMaxRunning(onePerType ? 5 : 2);
        if (onePerType) {
            manager.SetTypePolicy(1, TaskManager::OnePerType);
        }
        Gate gate;  // the tasks of type 1 only
        Gate otherGate;
        QList<TaskInfo*> tasks;
        for (int i = 0; i < 4; ++i) {
            tasks.append(AddGatedTask(&manager, 1, &gate));
        }
        TaskInfo* other = AddGatedTask(&manager, 2, &otherGate);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(tasks[i]->status.load(), i < running ? TaskInfo::Running : TaskInfo::Ready);
        }
        QCOMPARE(other->status.load(), onePerType ? TaskInfo::Running : TaskInfo::Ready);
        QTRY_COMPARE(gate.running.load(), running);

        gate.release.release(1);
        QTRY_COMPARE(manager.ends.size(), 1);
        QCOMPARE(tasks[running]->status.load(), TaskInfo::Running);
        QCOMPARE(tasks[running + 1]->status.load(), TaskInfo::Ready);

        gate.release.release(3);
        otherGate.release.release(1);
        QTRY_COMPARE(manager.ends.size(), 5);
        QCOMPARE(gate.peak.load(), running);
        for (const auto& end : qAsConst(manager.ends)) {
            QCOMPARE(end.second, TaskInfo::Finished);
        }
        QVERIFY(!manager.HasTasks());
    }

    void exclusiveWaitsForAllAndBlocksAll()
    {
        RecordingManager manager;
        manager.SetMaxRunning(5);
        manager.SetTypePolicy(7, TaskManager::Exclusive);
        Gate gate;
        AddGatedTask(&manager, 0, &gate);
        TaskInfo* exclusive = AddGatedTask(&manager, 7, &gate);
        const QUuid exclusiveId = exclusive->uuid;
        TaskInfo* later = AddGatedTask(&manager, 0, &gate);

        // The exclusive task waits for the running one, and nothing passes it in the queue.
        QCOMPARE(exclusive->status.load(), TaskInfo::Ready);
        QCOMPARE(later->status.load(), TaskInfo::Ready);

        gate.release.release(1);
        QTRY_COMPARE(manager.ends.size(), 1);
        QCOMPARE(exclusive->status.load(), TaskInfo::Running);
        QCOMPARE(later->status.load(), TaskInfo::Ready);
        TaskInfo* added = AddGatedTask(&manager, 0, &gate);
        QCOMPARE(added->status.load(), TaskInfo::Ready);
        QTRY_COMPARE(gate.running.load(), 1);

        gate.release.release(1);
        QTRY_COMPARE(manager.ends.size(), 2);
        QCOMPARE(manager.ends[1].first, exclusiveId);
        // One start per end: the next waiting task starts, the one after it on a later event.
        QCOMPARE(later->status.load(), TaskInfo::Running);
        QCOMPARE(added->status.load(), TaskInfo::Ready);
        gate.release.release(2);
        QTRY_COMPARE(manager.ends.size(), 4);
        QCOMPARE(gate.peak.load(), 1);
    }

    void slowReports_data()
    {
        QTest::addColumn<int>("runMs");
        QTest::addColumn<int>("abortAfterMs");  // -1: never aborted
        QTest::addColumn<QList<bool>>("reports");
        QTest::addColumn<TaskInfo::Status>("end");

        QTest::newRow("fast") << 0 << -1 << QList<bool>{} << TaskInfo::Finished;
        QTest::newRow("slow") << 400 << -1 << QList<bool>{false, true} << TaskInfo::Finished;
        QTest::newRow("aborted before threshold")
            << 400 << 0 << QList<bool>{true} << TaskInfo::Abort;
        QTest::newRow("aborted after report")
            << 600 << 300 << QList<bool>{false, true} << TaskInfo::Abort;
    }

    void slowReports()
    {
        QFETCH(int, runMs);
        QFETCH(int, abortAfterMs);

        RecordingManager manager;
        manager.SetSlowTaskInterval(150);
        auto* task = new TaskInfo(3);
        // The work ignores the abort flag, so an aborted task keeps running past the threshold.
        task->runFunc = [runMs](TaskInfo*) { QThread::msleep(runMs); };
        manager.AddTask(task);
        if (abortAfterMs >= 0) {
            QTest::qWait(abortAfterMs);
            QVERIFY(manager.StopTask(task));
        }
        QTRY_COMPARE(manager.ends.size(), 1);
        QTEST(manager.ends.first().second, "end");
        QList<bool> seen;
        for (const auto& report : qAsConst(manager.slowReports)) {
            QCOMPARE(report.first, 3);
            seen.append(report.second);
        }
        QTEST(seen, "reports");
    }

    void supersededTaskEndsAbortWithoutFinish()
    {
        RecordingManager manager;
        manager.SetMaxRunning(5);
        manager.SetTypePolicy(0, TaskManager::OnePerType);
        Gate gate;
        bool oldFinished = false;
        TaskInfo* old = GatedTask(0, &gate);
        old->finishFunc = [&oldFinished](TaskInfo*) { oldFinished = true; };
        const QUuid oldId = old->uuid;
        manager.AddTask(old);
        QTRY_COMPARE(gate.running.load(), 1);

        for (TaskInfo* listed : manager.TasksOfType(0)) {
            QVERIFY(manager.StopTask(listed));
        }
        TaskInfo* newer = AddGatedTask(&manager, 0, &gate);
        const QUuid newId = newer->uuid;
        QCOMPARE(newer->status.load(), TaskInfo::Running);

        QTRY_COMPARE(manager.ends.size(), 1);
        QCOMPARE(manager.ends.first().first, oldId);
        QCOMPARE(manager.ends.first().second, TaskInfo::Abort);
        gate.release.release(1);
        QTRY_COMPARE(manager.ends.size(), 2);
        QCOMPARE(manager.EndOf(newId), TaskInfo::Finished);
        QVERIFY(!oldFinished);
    }

    void exceptionSkipsFinish()
    {
        RecordingManager manager;
        bool finished = false;
        bool thrown = false;
        bool thrownTwice = true;
        auto* task = new TaskInfo(0);
        task->runFunc = [&](TaskInfo* t) {
            thrown = manager.ThrowExceptionTask(t);
            thrownTwice = manager.ThrowExceptionTask(t);
        };
        task->finishFunc = [&finished](TaskInfo*) { finished = true; };
        manager.AddTask(task);
        QTRY_COMPARE(manager.ends.size(), 1);
        QCOMPARE(manager.ends.first().second, TaskInfo::Exception);
        QVERIFY(thrown);
        QVERIFY(!thrownTwice);
        QVERIFY(!finished);
    }

    void wrongStateOperationsChangeNothing()
    {
        RecordingManager manager;
        Gate gate;
        TaskInfo* running = AddGatedTask(&manager, 0, &gate);
        TaskInfo* ready = AddGatedTask(&manager, 0, &gate);
        QVERIFY(!manager.CancelTask(running));
        QVERIFY(!manager.AbortTask(ready));
        QVERIFY(!manager.ThrowExceptionTask(ready));
        QCOMPARE(running->status.load(), TaskInfo::Running);
        QCOMPARE(ready->status.load(), TaskInfo::Ready);

        // A cancelled task ends as Cancel when it would have started, without running its work.
        bool cancelledRan = false;
        ready->prepareFunc = [&cancelledRan](TaskInfo*) { cancelledRan = true; };
        QVERIFY(manager.StopTask(ready));
        QVERIFY(!manager.StopTask(ready));
        gate.release.release(1);
        QTRY_COMPARE(manager.ends.size(), 2);
        QCOMPARE(manager.ends[0].second, TaskInfo::Finished);
        QCOMPARE(manager.ends[1].second, TaskInfo::Cancel);
        QVERIFY(!cancelledRan);
        QCOMPARE(gate.finished.load(), 1);
    }

    void stopAllTasksAndWaitDrains()
    {
        RecordingManager manager;
        manager.SetMaxRunning(2);
        Gate gate;
        QList<QUuid> ids;
        for (int i = 0; i < 4; ++i) {
            ids.append(AddGatedTask(&manager, 0, &gate)->uuid);
        }
        QTRY_COMPARE(gate.running.load(), 2);
        manager.StopAllTasksAndWait();

        // Returning means the work of both running tasks has returned; the aborted and the
        // cancelled tasks have all ended through the normal path.
        QCOMPARE(gate.running.load(), 0);
        QVERIFY(!manager.HasTasks());
        QCOMPARE(manager.ends.size(), 4);
        QCOMPARE(manager.EndOf(ids[0]), TaskInfo::Abort);
        QCOMPARE(manager.EndOf(ids[1]), TaskInfo::Abort);
        QCOMPARE(manager.EndOf(ids[2]), TaskInfo::Cancel);
        QCOMPARE(manager.EndOf(ids[3]), TaskInfo::Cancel);

        // With nothing left it returns at once; a finished task that is still listed (its end not
        // yet delivered) needs no waiting either.
        manager.StopAllTasksAndWait();
        QCOMPARE(manager.ends.size(), 4);
        auto* task = new TaskInfo(0);
        task->runFunc = [](TaskInfo*) {};
        manager.AddTask(task);
        task->watcher->waitForFinished();
        manager.StopAllTasksAndWait();
        QCOMPARE(manager.ends.size(), 4);
        QTRY_COMPARE(manager.ends.size(), 5);
        QCOMPARE(manager.ends.last().second, TaskInfo::Abort);
    }
};

QTEST_MAIN(TestTaskManager)
#include "tst_taskmanager.moc"
