#pragma once

#include <QHash>
#include <QModelIndex>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QUuid>

#include "models/LibraryAccount.h"
#include "tasks/TaskManager.h"

class CategoryTreeModelWorker;
struct CategoryTaskResult;

// The account's category tree for every view that shows or picks a category, plus the four
// category operations (reload, add, move, rename). Each operation is a background task of the
// model's worker, which hands back what the task came to; the model applies it to its items (on
// the GUI thread) and announces it with its signals. The model also keeps the flat list
// of category names that the filter fields complete from.
class CategoryTreeModel : public QStandardItemModel
{
    Q_OBJECT

public:
    // Scoped: the specified names of roles and task types are also names of operations.
    enum class DataRole
    {
        CateId = Qt::UserRole,
        CateTree,
        ParentCateId,
        CateVideoCount,
    };
    Q_ENUM(DataRole)

    enum class TaskType
    {
        RefreshCategory = 0,
        AddCategory,
        MoveCategory,
        RenameCategory
    };
    Q_ENUM(TaskType)

    // Above this many names the filter fields filter on Enter instead of on every keystroke.
    static constexpr int kFilterEveryKeystrokeMaxNames = 1000;

    explicit CategoryTreeModel(QObject* parent = nullptr);
    ~CategoryTreeModel() override;

    // The signed-in account; its top category is the root of every tree load.
    void SetAccount(const LibraryAccount& value) { account = value; }
    const LibraryAccount& Account() const { return account; }

    QUuid RefreshCategory();
    QUuid AddCategory(qulonglong parentCateId, const QString& name);
    QUuid MoveCategory(qulonglong cateId, qulonglong dstCateId);
    QUuid RenameCategory(qulonglong cateId, const QString& name);

    QString CateName(qulonglong cateId) const;
    QModelIndex IndexOfCateId(qulonglong cateId) const;
    QList<QModelIndex> IndexPathOfCateId(qulonglong cateId) const;
    qulonglong ParentCateId(qulonglong cateId) const;
    qulonglong TopCateId() const;
    bool IsCateNameAlreadyInCateId(qulonglong cateId, const QString& name) const;
    bool IsOperating() const;
    QStringListModel* NamesModel() const { return namesModel; }
    void StopAllTasksAndWait();

    CategoryTreeModelWorker* Worker() const { return worker; }

signals:
    void SignalTaskRunningSlowly(CategoryTreeModel::TaskType type, bool isFinish);
    void SignalTaskEndStatus(QUuid uuid, TaskManager::TaskEndStatus status);
    void SignalCategoryAvailable(bool available);
    void SignalRefreshCategoryAboutToDo();
    void SignalRefreshCategoryDone();
    void SignalRefreshCategorySucceed();
    void SignalRefreshCategoryFailed(QString error);
    void SignalAddCategorySucceed(qulonglong newCateId, qulonglong parentCateId, QString name);
    void SignalAddCategoryFailed(QString error);
    void SignalMoveCategoryReady();
    void SignalMoveCategorySucceed(qulonglong cateId, qulonglong dstCateId);
    void SignalMoveCategoryFailed(QString error);
    void SignalRenameCategorySucceed(qulonglong cateId, QString name);
    void SignalRenameCategoryFailed(QString error);
    // Declared for the views; the tree load does not emit it.
    void SignalRefreshCategoryReady();

private:
    void OnRefreshStarted();
    void OnTaskEnded(const CategoryTaskResult& result);
    void ApplyTree(const CategoryTaskResult& result);
    void ApplyAdd(const CategoryTaskResult& result);
    void ApplyMove(const CategoryTaskResult& result);
    void ApplyRename(const CategoryTaskResult& result);
    void AddName(const QString& name);
    void IndexSubtree(QStandardItem* item);
    void RebuildPaths(QStandardItem* item);

    LibraryAccount account;
    // Category id to item; rebuilt by each tree load, extended by an add. GUI thread only.
    QHash<qulonglong, QStandardItem*> itemsById;
    CategoryTreeModelWorker* worker = nullptr;
    QStringListModel* namesModel = nullptr;
};
