#include "models/CategoryTreeModel.h"

#include "app/TextValidator.h"
#include "tasks/CategoryTreeModelWorker.h"

namespace {

using Worker = CategoryTreeModelWorker;
using Role = CategoryTreeModel::DataRole;
using Type = CategoryTreeModel::TaskType;
static_assert(int(Type::RefreshCategory) == Worker::RefreshType &&
                  int(Type::AddCategory) == Worker::AddType &&
                  int(Type::MoveCategory) == Worker::MoveType &&
                  int(Type::RenameCategory) == Worker::RenameType,
              "the worker's task types are the model's");
static_assert(int(Role::CateId) == Worker::CateIdRole &&
                  int(Role::CateTree) == Worker::CateTreeRole &&
                  int(Role::ParentCateId) == Worker::ParentCateIdRole &&
                  int(Role::CateVideoCount) == Worker::CateVideoCountRole,
              "the worker fills the model's roles");

}  // namespace

CategoryTreeModel::CategoryTreeModel(QObject* parent) : QStandardItemModel(parent)
{
    qRegisterMetaType<CategoryTreeModel::TaskType>("CategoryTreeModel::TaskType");
    qRegisterMetaType<TaskManager::TaskEndStatus>("TaskManager::TaskEndStatus");
    namesModel = new QStringListModel(this);
    worker = new CategoryTreeModelWorker(this);
    // Started on a pool thread: arrives queued, in order with everything else the task reports.
    connect(worker, &CategoryTreeModelWorker::SignalRefreshStarted, this,
            &CategoryTreeModel::OnRefreshStarted, Qt::QueuedConnection);
    connect(worker, &CategoryTreeModelWorker::SignalTaskSlow, this,
            [this](int type, bool isFinish) {
                emit SignalTaskRunningSlowly(TaskType(type), isFinish);
            });
    connect(worker, &CategoryTreeModelWorker::SignalTaskEnded, this,
            &CategoryTreeModel::OnTaskEnded);
}

CategoryTreeModel::~CategoryTreeModel()
{
    // The worker's tasks may still hold items; it goes first, while the items exist.
    delete worker;
    worker = nullptr;
}

QUuid CategoryTreeModel::RefreshCategory()
{
    if (!worker->TasksOfType(int(TaskType::RefreshCategory)).isEmpty()) {
        qCInfo(lcWorker) << "RefreshCategory is running";
        return QUuid();
    }
    return worker->RefreshCategory(account.topCateId);
}

QUuid CategoryTreeModel::AddCategory(qulonglong parentCateId, const QString& name)
{
    return worker->AddCategory(parentCateId, name);
}

QUuid CategoryTreeModel::MoveCategory(qulonglong cateId, qulonglong dstCateId)
{
    return worker->MoveCategory(cateId, dstCateId);
}

QUuid CategoryTreeModel::RenameCategory(qulonglong cateId, const QString& name)
{
    QString error;
    if (name.isEmpty()) {
        error = tr("CategoryTreeModel.RenameCateNameEmpty");
    } else if (!TextValidator::IsValid(name)) {
        error = tr("CategoryTreeModel.RenameCateNameMySQLIncompatible");
    }
    if (!error.isEmpty()) {
        qWarning() << "RenameCategory failed:" << error;
        emit SignalRenameCategoryFailed(error);
        return QUuid();
    }
    return worker->RenameCategory(cateId, name);
}

QString CategoryTreeModel::CateName(qulonglong cateId) const
{
    const QStandardItem* item = itemsById.value(cateId);
    return item ? item->text() : QString();
}

QModelIndex CategoryTreeModel::IndexOfCateId(qulonglong cateId) const
{
    const QStandardItem* item = itemsById.value(cateId);
    return item ? item->index() : QModelIndex();
}

QList<QModelIndex> CategoryTreeModel::IndexPathOfCateId(qulonglong cateId) const
{
    QList<QModelIndex> path;
    for (QModelIndex index = IndexOfCateId(cateId); index.isValid(); index = index.parent()) {
        path.prepend(index);
    }
    return path;
}

qulonglong CategoryTreeModel::ParentCateId(qulonglong cateId) const
{
    const QStandardItem* item = itemsById.value(cateId);
    return item ? item->data(int(DataRole::ParentCateId)).toULongLong() : 0;
}

qulonglong CategoryTreeModel::TopCateId() const
{
    const QStandardItem* top = item(0);
    return top ? top->data(int(DataRole::CateId)).toULongLong() : 0;
}

bool CategoryTreeModel::IsCateNameAlreadyInCateId(qulonglong cateId, const QString& name) const
{
    const QStandardItem* parent = itemsById.value(cateId);
    if (!parent) {
        qWarning() << "IsCateNameAlreadyInCateId(): cateId not valid";
        return false;
    }
    if (!parent->hasChildren()) {
        return false;
    }
    const QModelIndexList hits = match(parent->child(0)->index(), Qt::DisplayRole, name, 1,
                                       Qt::MatchExactly | Qt::MatchCaseSensitive);
    return !hits.isEmpty();
}

bool CategoryTreeModel::IsOperating() const
{
    return worker->HasTasks();
}

void CategoryTreeModel::StopAllTasksAndWait()
{
    worker->StopAllTasksAndWait();
}

void CategoryTreeModel::OnRefreshStarted()
{
    emit SignalRefreshCategoryAboutToDo();
    emit SignalCategoryAvailable(false);
}

void CategoryTreeModel::OnTaskEnded(const CategoryTaskResult& result)
{
    switch (TaskType(result.type)) {
        case TaskType::RefreshCategory:
            ApplyTree(result);
            break;
        case TaskType::AddCategory:
            ApplyAdd(result);
            break;
        case TaskType::MoveCategory:
            ApplyMove(result);
            break;
        case TaskType::RenameCategory:
            ApplyRename(result);
            break;
    }
    emit SignalTaskEndStatus(result.uuid, result.endStatus);
}

void CategoryTreeModel::ApplyTree(const CategoryTaskResult& result)
{
    if (result.outcome == CategoryTaskResult::NoOutcome) {
        return;
    }
    if (result.outcome == CategoryTaskResult::Failed) {
        emit SignalRefreshCategoryFailed(result.error);
    } else if (result.tree) {
        // The whole new tree is attached in one step.
        removeRows(0, rowCount());
        itemsById.clear();
        invisibleRootItem()->appendRow(result.tree);
        IndexSubtree(result.tree);
        namesModel->setStringList(result.names);
    }
    if (result.outcome == CategoryTaskResult::Succeeded) {
        emit SignalRefreshCategorySucceed();
    }
    emit SignalCategoryAvailable(true);
    emit SignalRefreshCategoryDone();
}

void CategoryTreeModel::ApplyAdd(const CategoryTaskResult& result)
{
    if (result.outcome == CategoryTaskResult::Failed) {
        emit SignalAddCategoryFailed(result.error);
        return;
    }
    if (result.outcome != CategoryTaskResult::Succeeded) {
        return;
    }
    QStandardItem* item = result.tree;
    if (QStandardItem* parent = itemsById.value(result.otherCateId)) {
        item->setData(parent->data(int(DataRole::CateTree)).toString() + QLatin1Char(',') +
                          QString::number(result.cateId),
                      int(DataRole::CateTree));
        parent->appendRow(item);
        itemsById.insert(result.cateId, item);
    } else {
        // The parent vanished from the tree (reloaded meanwhile): the next load shows the new
        // category.
        delete item;
    }
    AddName(result.name);
    emit SignalAddCategorySucceed(result.cateId, result.otherCateId, result.name);
}

void CategoryTreeModel::ApplyMove(const CategoryTaskResult& result)
{
    if (result.outcome == CategoryTaskResult::Failed) {
        emit SignalMoveCategoryFailed(result.error);
        return;
    }
    if (result.outcome == CategoryTaskResult::NoOutcome) {
        return;
    }
    emit SignalMoveCategoryReady();
    if (result.outcome != CategoryTaskResult::Succeeded) {
        return;
    }
    const qulonglong cateId = result.cateId;
    const qulonglong dstCateId = result.otherCateId;
    QStandardItem* item = itemsById.value(cateId);
    QStandardItem* destination = itemsById.value(dstCateId);
    if (item && destination) {
        item->setData(destination->data(int(DataRole::CateTree)).toString() + QLatin1Char(',') +
                          QString::number(cateId),
                      int(DataRole::CateTree));
        item->setData(dstCateId, int(DataRole::ParentCateId));
        QStandardItem* oldParent = item->parent() ? item->parent() : invisibleRootItem();
        const QList<QStandardItem*> row = oldParent->takeRow(item->row());
        destination->appendRow(row);
        // The descendants' paths start with the moved category's path.
        RebuildPaths(item);
    }
    emit SignalMoveCategorySucceed(cateId, dstCateId);
}

void CategoryTreeModel::ApplyRename(const CategoryTaskResult& result)
{
    if (result.outcome == CategoryTaskResult::Failed) {
        emit SignalRenameCategoryFailed(result.error);
        return;
    }
    if (result.outcome != CategoryTaskResult::Succeeded) {
        return;
    }
    if (QStandardItem* item = itemsById.value(result.cateId)) {
        item->setText(result.name);
        item->setToolTip(result.name.toHtmlEscaped());
    }
    // The old name stays in the list.
    AddName(result.name);
    emit SignalRenameCategorySucceed(result.cateId, result.name);
}

void CategoryTreeModel::AddName(const QString& name)
{
    QStringList names = namesModel->stringList();
    if (!names.contains(name)) {
        names.append(name);
        namesModel->setStringList(names);
    }
}

void CategoryTreeModel::IndexSubtree(QStandardItem* item)
{
    itemsById.insert(item->data(int(DataRole::CateId)).toULongLong(), item);
    for (int row = 0; row < item->rowCount(); ++row) {
        IndexSubtree(item->child(row));
    }
}

void CategoryTreeModel::RebuildPaths(QStandardItem* item)
{
    const QString path = item->data(int(DataRole::CateTree)).toString();
    for (int row = 0; row < item->rowCount(); ++row) {
        QStandardItem* child = item->child(row);
        child->setData(path + QLatin1Char(',') +
                           QString::number(child->data(int(DataRole::CateId)).toULongLong()),
                       int(DataRole::CateTree));
        RebuildPaths(child);
    }
}
