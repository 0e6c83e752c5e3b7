#pragma once

#include <QByteArray>
#include <QIcon>
#include <QMetaType>
#include <QStringList>
#include <QUuid>

#include "api/ApiCollection.h"
#include "tasks/TaskManager.h"

class QJsonObject;
class QStandardItem;

// What a category task came to. The worker hands it to its model when the task ends (GUI thread,
// before the task leaves the list); the model applies it to its items and announces it.
struct CategoryTaskResult
{
    enum Outcome
    {
        NoOutcome = 0,  // cancelled before it ran
        Succeeded,
        Failed,
        Accepted,  // a move the server accepted, ended before the tree was changed
    };

    int type = -1;
    QUuid uuid;
    TaskManager::TaskEndStatus endStatus = TaskManager::None;
    Outcome outcome = NoOutcome;
    QString error;
    // RefreshCategory: the whole new tree, built off the GUI thread and owned by the result
    // until the model attaches it; null when the answer equals the tree already shown.
    QStandardItem* tree = nullptr;
    QStringList names;
    // AddCategory: the new id and its parent (tree: the new item, without its path); MoveCategory:
    // the category and its destination; RenameCategory: the category.
    qulonglong cateId = 0;
    qulonglong otherCateId = 0;
    QString name;
};
Q_DECLARE_METATYPE(CategoryTaskResult)

// Runs the category operations of a category tree one after another (maxRunning 1, no type
// policy). It knows the web API and nothing of its model: the tree of a load is built on the
// pool thread into unattached items, and every task ends in a CategoryTaskResult.
class CategoryTreeModelWorker : public TaskManager
{
    Q_OBJECT

public:
    // The task types and item roles; CategoryTreeModel::TaskType and DataRole have these values
    // (checked where the model is built).
    enum Type
    {
        RefreshType = 0,
        AddType,
        MoveType,
        RenameType
    };
    enum Role
    {
        CateIdRole = Qt::UserRole,
        CateTreeRole,
        ParentCateIdRole,
        CateVideoCountRole,
    };

    explicit CategoryTreeModelWorker(QObject* parent = nullptr);
    // Its run functions use this object: they end before any of it goes.
    ~CategoryTreeModelWorker() override;

    QUuid RefreshCategory(qulonglong topCateId);
    QUuid AddCategory(qulonglong parentCateId, const QString& name);
    QUuid MoveCategory(qulonglong cateId, qulonglong dstCateId);
    QUuid RenameCategory(qulonglong cateId, const QString& name);

    // A category item as the tree shows it (folder icon, escaped tool tip).
    QStandardItem* NewItem(const QString& name) const;

    void TaskRunningSlowly(TaskInfo* task, bool isFinish) override;
    void TaskEnd(TaskInfo* task) override;
    QString TaskTypeToString(int type) override;

    // The answer with its echoed request id cut out, so that two answers for the same tree
    // compare equal.
    static QByteArray WithoutRequestId(const QByteArray& response);

signals:
    // A tree load started (emitted on the pool thread).
    void SignalRefreshStarted();
    void SignalTaskSlow(int type, bool isFinish);
    // Every task's end, GUI thread.
    void SignalTaskEnded(const CategoryTaskResult& result);

private:
    void RunRefresh(TaskInfo* task);
    void RunAdd(TaskInfo* task);
    void RunMove(TaskInfo* task);
    void RunRename(TaskInfo* task);
    QStandardItem* ItemFromJson(const QJsonObject& node, QStringList* names) const;
    TaskInfo* NewTask(int type);

    QIcon folderIcon;
    // The last tree answer a tree was built from (request id cut out). Read and written only by
    // tree loads, which never overlap.
    QByteArray lastTreeResponse;
};
