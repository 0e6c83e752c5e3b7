#pragma once

#include <QByteArray>
#include <QHash>
#include <QIcon>
#include <QUuid>

#include "api/ApiCollection.h"
#include "tasks/TaskManager.h"

class CategoryTreeModel;
class QJsonObject;
class QStandardItem;

Q_DECLARE_METATYPE(QStandardItem*)

// Runs the category operations of a CategoryTreeModel one after another (maxRunning 1, no type
// policy). Trees and new items are built on the pool thread and attached on the GUI thread
// through queued signals; the id index is touched only on the GUI thread, so the views may read
// it while a load runs.
class CategoryTreeModelWorker : public TaskManager
{
    Q_OBJECT

public:
    explicit CategoryTreeModelWorker(CategoryTreeModel* model);
    // Its run functions use this object: they end before any of it goes.
    ~CategoryTreeModelWorker() override;

    QUuid RefreshCategory(qulonglong topCateId);
    QUuid AddCategory(qulonglong parentCateId, const QString& name);
    QUuid MoveCategory(qulonglong cateId, qulonglong dstCateId);
    QUuid RenameCategory(qulonglong cateId, const QString& name);

    QStandardItem* ItemOfCateId(qulonglong cateId) const { return index.value(cateId); }

    void TaskRunningSlowly(TaskInfo* task, bool isFinish) override;
    void TaskEnd(TaskInfo* task) override;
    QString TaskTypeToString(int type) override;

    // The answer with its echoed request id cut out, so that two answers for the same tree
    // compare equal.
    static QByteArray WithoutRequestId(const QByteArray& response);

signals:
    void SignalReadyToReloadCateTree();
    void SignalAppendRow(QStandardItem* item, QStandardItem* parent);
    void SignalCateNamesReady(QStringList names);

private:
    void RunRefresh(TaskInfo* task);
    void RunAdd(TaskInfo* task);
    void RunMove(TaskInfo* task);
    void RunRename(TaskInfo* task);
    void FinishMove(TaskInfo* task);
    void FinishRename(TaskInfo* task);
    void OnReadyToReloadCateTree();
    void OnAppendRow(QStandardItem* item, QStandardItem* parent);
    void OnCateNamesReady(const QStringList& names);
    void IndexSubtree(QStandardItem* item);
    void RebuildPaths(QStandardItem* item);
    QStandardItem* NewItem(const QString& name) const;
    QStandardItem* ItemFromJson(const QJsonObject& node, QStringList* names) const;
    TaskInfo* NewTask(int type);

    CategoryTreeModel* model;
    QHash<qulonglong, QStandardItem*> index;
    QIcon folderIcon;
    // The last tree answer the model was built from (request id cut out). Read and written
    // only by tree loads, which never overlap.
    QByteArray lastTreeResponse;
};
