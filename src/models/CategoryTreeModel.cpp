#include "models/CategoryTreeModel.h"

#include "app/TextValidator.h"
#include "tasks/CategoryTreeModelWorker.h"

CategoryTreeModel::CategoryTreeModel(QObject* parent) : QStandardItemModel(parent)
{
    qRegisterMetaType<CategoryTreeModel::TaskType>("CategoryTreeModel::TaskType");
    qRegisterMetaType<TaskManager::TaskEndStatus>("TaskManager::TaskEndStatus");
    namesModel = new QStringListModel(this);
    worker = new CategoryTreeModelWorker(this);
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
    const QStandardItem* item = worker->ItemOfCateId(cateId);
    return item ? item->text() : QString();
}

QModelIndex CategoryTreeModel::IndexOfCateId(qulonglong cateId) const
{
    const QStandardItem* item = worker->ItemOfCateId(cateId);
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
    const QStandardItem* item = worker->ItemOfCateId(cateId);
    return item ? item->data(int(DataRole::ParentCateId)).toULongLong() : 0;
}

qulonglong CategoryTreeModel::TopCateId() const
{
    const QStandardItem* top = item(0);
    return top ? top->data(int(DataRole::CateId)).toULongLong() : 0;
}

bool CategoryTreeModel::IsCateNameAlreadyInCateId(qulonglong cateId, const QString& name) const
{
    const QStandardItem* parent = worker->ItemOfCateId(cateId);
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
