#include "tasks/CategoryTreeModelWorker.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaEnum>
#include <QStandardItem>
#include <QTime>

#include "api/ApiCategory.h"
#include "api/ApiEnvelope.h"
#include "api/ApiErrors.h"
#include "models/CategoryTreeModel.h"

using namespace ApiCollection;

namespace {

QString Now()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

}  // namespace

CategoryTreeModelWorker::CategoryTreeModelWorker(CategoryTreeModel* model)
    : TaskManager(model), model(model)
{
    // The icon is compiled into the executable; programs without it show none.
    const QString iconPath = QStringLiteral(":/image/videoList/icon_folder.svg");
    if (QFile::exists(iconPath)) {
        folderIcon = QIcon(iconPath);
    }
    qRegisterMetaType<QStandardItem*>("QStandardItem*");
    connect(this, &CategoryTreeModelWorker::SignalReadyToReloadCateTree, this,
            &CategoryTreeModelWorker::OnReadyToReloadCateTree);
    connect(this, &CategoryTreeModelWorker::SignalAppendRow, this,
            &CategoryTreeModelWorker::OnAppendRow);
    connect(this, &CategoryTreeModelWorker::SignalCateNamesReady, this,
            &CategoryTreeModelWorker::OnCateNamesReady);
}

CategoryTreeModelWorker::~CategoryTreeModelWorker()
{
    StopAllTasksAndWait();
}

TaskInfo* CategoryTreeModelWorker::NewTask(int type)
{
    auto* task = new TaskInfo(type);
    task->abortFunc = [](TaskInfo* t) { t->abortFlag = true; };
    return task;
}

QUuid CategoryTreeModelWorker::RefreshCategory(qulonglong topCateId)
{
    TaskInfo* task = NewTask(int(CategoryTreeModel::TaskType::RefreshCategory));
    task->params.insert(QStringLiteral("topCateId"), topCateId);
    task->runFunc = [this](TaskInfo* t) { RunRefresh(t); };
    const QUuid uuid = task->uuid;
    AddTask(task);
    return uuid;
}

QUuid CategoryTreeModelWorker::AddCategory(qulonglong parentCateId, const QString& name)
{
    TaskInfo* task = NewTask(int(CategoryTreeModel::TaskType::AddCategory));
    task->params.insert(QStringLiteral("parentCateId"), parentCateId);
    task->params.insert(QStringLiteral("name"), name);
    task->prepareFunc = [this](TaskInfo* t) {
        QStandardItem* parent =
            index.value(t->params.value(QStringLiteral("parentCateId")).toULongLong());
        t->params.insert(QStringLiteral("parent"), QVariant::fromValue(parent));
        t->params.insert(QStringLiteral("parentCateTree"),
                         parent
                             ? parent->data(int(CategoryTreeModel::DataRole::CateTree)).toString()
                             : QString());
    };
    task->runFunc = [this](TaskInfo* t) { RunAdd(t); };
    task->finishFunc = [this](TaskInfo* t) {
        const QString name = t->params.value(QStringLiteral("name")).toString();
        QStringList names = model->NamesModel()->stringList();
        if (!names.contains(name)) {
            names.append(name);
            model->NamesModel()->setStringList(names);
        }
    };
    const QUuid uuid = task->uuid;
    AddTask(task);
    return uuid;
}

QUuid CategoryTreeModelWorker::MoveCategory(qulonglong cateId, qulonglong dstCateId)
{
    TaskInfo* task = NewTask(int(CategoryTreeModel::TaskType::MoveCategory));
    task->params.insert(QStringLiteral("cateId"), cateId);
    task->params.insert(QStringLiteral("dstCateId"), dstCateId);
    task->runFunc = [this](TaskInfo* t) { RunMove(t); };
    task->finishFunc = [this](TaskInfo* t) { FinishMove(t); };
    const QUuid uuid = task->uuid;
    AddTask(task);
    return uuid;
}

QUuid CategoryTreeModelWorker::RenameCategory(qulonglong cateId, const QString& name)
{
    TaskInfo* task = NewTask(int(CategoryTreeModel::TaskType::RenameCategory));
    task->params.insert(QStringLiteral("cateId"), cateId);
    task->params.insert(QStringLiteral("name"), name);
    task->runFunc = [this](TaskInfo* t) { RunRename(t); };
    task->finishFunc = [this](TaskInfo* t) { FinishRename(t); };
    const QUuid uuid = task->uuid;
    AddTask(task);
    return uuid;
}

QByteArray CategoryTreeModelWorker::WithoutRequestId(const QByteArray& response)
{
    // The key with its colon (11 bytes), then the quoted 38-character braced uuid.
    static const QByteArray key = QByteArrayLiteral("requestId\":");
    constexpr int kRequestIdBytes = 51;
    QByteArray copy = response;
    const int at = copy.indexOf(key);
    if (at >= 0) {
        copy.remove(at, kRequestIdBytes);
    }
    return copy;
}

QStandardItem* CategoryTreeModelWorker::NewItem(const QString& name) const
{
    auto* item = new QStandardItem(folderIcon, name);
    item->setToolTip(name.toHtmlEscaped());
    return item;
}

QStandardItem* CategoryTreeModelWorker::ItemFromJson(const QJsonObject& node,
                                                     QStringList* names) const
{
    const QString name = node.value(QLatin1String("cateName")).toString();
    QStandardItem* item = NewItem(name);
    item->setData(qulonglong(readUInt64(node.value(QLatin1String("cateId")))),
                  int(CategoryTreeModel::DataRole::CateId));
    item->setData(node.value(QLatin1String("cateTree")).toString(),
                  int(CategoryTreeModel::DataRole::CateTree));
    item->setData(qulonglong(readUInt64(node.value(QLatin1String("parentId")))),
                  int(CategoryTreeModel::DataRole::ParentCateId));
    item->setData(node.value(QLatin1String("videoCount")).toInt(),
                  int(CategoryTreeModel::DataRole::CateVideoCount));
    names->append(name);
    return item;
}

void CategoryTreeModelWorker::RunRefresh(TaskInfo* task)
{
    emit model->SignalRefreshCategoryAboutToDo();
    emit model->SignalCategoryAvailable(false);
    qCDebug(lcWorker).noquote() << Now() << "get-cate-tree start require";

    auto fail = [this, task](RequestError error, const QString& errorText,
                             const ApiResult& result) {
        const QString message = Failure(task, error, errorText, result);
        emit model->SignalRefreshCategoryFailed(message);
        emit model->SignalCategoryAvailable(true);
        emit model->SignalRefreshCategoryDone();
    };

    task->abortFlag = false;
    QByteArray response;
    QString errorText;
    RequestError error = GetCateTreeRequest(
        task->uuid, task->params.value(QStringLiteral("topCateId")).toULongLong(), &response,
        &task->abortFlag, &errorText);
    if (error != NoError) {
        fail(error, errorText, ApiResult());
        return;
    }

    qCDebug(lcWorker).noquote() << Now()
                                << "get-cate-tree start check json(raw byte array) is same";
    const QByteArray comparable = WithoutRequestId(response);
    if (comparable == lastTreeResponse) {
        qCDebug(lcWorker).noquote() << Now() << "get-cate-tree no need update";
        emit model->SignalRefreshCategorySucceed();
        emit model->SignalCategoryAvailable(true);
        emit model->SignalRefreshCategoryDone();
        return;
    }
    lastTreeResponse = comparable;

    qCDebug(lcWorker).noquote() << Now() << "get-cate-tree start parse json";
    GetCateTreeResult result;
    error = ParseGetCateTreeResponse(response, &result);
    if (error != NoError) {
        // A refused answer must not count as the tree the model shows.
        lastTreeResponse.clear();
        fail(error, QString(), result);
        return;
    }

    qCDebug(lcWorker).noquote() << Now() << "get-cate-tree start parse cate tree";
    emit SignalReadyToReloadCateTree();
    QStringList names;
    QStandardItem* top = ItemFromJson(result.data, &names);
    top->setEditable(false);

    qCDebug(lcWorker).noquote() << Now() << "addChildren start";
    // Depth first, with an explicit stack so that a deep tree cannot exhaust the thread's stack.
    QList<QPair<QStandardItem*, QJsonArray>> pending;
    const QJsonValue topChildren = result.data.value(QLatin1String("children"));
    if (topChildren.isArray()) {
        pending.append({top, topChildren.toArray()});
    }
    while (!pending.isEmpty()) {
        const QPair<QStandardItem*, QJsonArray> level = pending.takeLast();
        QList<QPair<QStandardItem*, QJsonArray>> deeper;
        for (const QJsonValue& child : level.second) {
            if (!child.isObject()) {
                continue;
            }
            const QJsonObject node = child.toObject();
            QStandardItem* item = ItemFromJson(node, &names);
            level.first->appendRow(item);
            const QJsonValue grandChildren = node.value(QLatin1String("children"));
            if (grandChildren.isArray()) {
                deeper.prepend({item, grandChildren.toArray()});
            }
        }
        pending.append(deeper);
    }
    emit SignalAppendRow(top, model->invisibleRootItem());
    names.removeDuplicates();
    emit SignalCateNamesReady(names);
    qCDebug(lcWorker).noquote() << Now() << "addChildren end";

    emit model->SignalRefreshCategorySucceed();
    emit model->SignalCategoryAvailable(true);
    emit model->SignalRefreshCategoryDone();
    qCDebug(lcWorker).noquote() << Now() << "get-cate-tree end";
}

void CategoryTreeModelWorker::RunAdd(TaskInfo* task)
{
    const qulonglong parentCateId =
        task->params.value(QStringLiteral("parentCateId")).toULongLong();
    const QString name = task->params.value(QStringLiteral("name")).toString();
    auto* parent = task->params.value(QStringLiteral("parent")).value<QStandardItem*>();

    task->abortFlag = false;
    QByteArray response;
    QString errorText;
    AddCategoryResult result;
    RequestError error =
        AddCategoryRequest(task->uuid, parentCateId, name, &response, &task->abortFlag, &errorText);
    if (error == NoError) {
        error = ParseAddCategoryResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        emit model->SignalAddCategoryFailed(Failure(task, error, errorText, result));
        return;
    }
    QStandardItem* item = NewItem(name);
    item->setData(qulonglong(result.cateId), int(CategoryTreeModel::DataRole::CateId));
    item->setData(task->params.value(QStringLiteral("parentCateTree")).toString() +
                      QLatin1Char(',') + QString::number(result.cateId),
                  int(CategoryTreeModel::DataRole::CateTree));
    item->setData(parentCateId, int(CategoryTreeModel::DataRole::ParentCateId));
    item->setData(0, int(CategoryTreeModel::DataRole::CateVideoCount));
    if (parent) {
        emit SignalAppendRow(item, parent);
    } else {
        // The parent vanished from the tree (reloaded meanwhile): the next load shows the new
        // category.
        delete item;
    }
    emit model->SignalAddCategorySucceed(result.cateId, parentCateId, name);
}

void CategoryTreeModelWorker::RunMove(TaskInfo* task)
{
    task->abortFlag = false;
    QByteArray response;
    QString errorText;
    ApiResult result;
    RequestError error =
        MoveCategoryRequest(task->uuid, task->params.value(QStringLiteral("cateId")).toULongLong(),
                            task->params.value(QStringLiteral("dstCateId")).toULongLong(),
                            &response, &task->abortFlag, &errorText);
    if (error == NoError) {
        error = ParseMoveCategoryResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        emit model->SignalMoveCategoryFailed(Failure(task, error, errorText, result));
        return;
    }
    emit model->SignalMoveCategoryReady();
}

void CategoryTreeModelWorker::RunRename(TaskInfo* task)
{
    task->abortFlag = false;
    QByteArray response;
    QString errorText;
    ApiResult result;
    RequestError error = RenameCategoryRequest(
        task->uuid, task->params.value(QStringLiteral("cateId")).toULongLong(),
        task->params.value(QStringLiteral("name")).toString(), &response, &task->abortFlag,
        &errorText);
    if (error == NoError) {
        error = ParseRenameCategoryResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        emit model->SignalRenameCategoryFailed(Failure(task, error, errorText, result));
    }
}

void CategoryTreeModelWorker::FinishMove(TaskInfo* task)
{
    const qulonglong cateId = task->params.value(QStringLiteral("cateId")).toULongLong();
    const qulonglong dstCateId = task->params.value(QStringLiteral("dstCateId")).toULongLong();
    QStandardItem* item = index.value(cateId);
    QStandardItem* destination = index.value(dstCateId);
    if (item && destination) {
        item->setData(destination->data(int(CategoryTreeModel::DataRole::CateTree)).toString() +
                          QLatin1Char(',') + QString::number(cateId),
                      int(CategoryTreeModel::DataRole::CateTree));
        item->setData(dstCateId, int(CategoryTreeModel::DataRole::ParentCateId));
        QStandardItem* oldParent = item->parent() ? item->parent() : model->invisibleRootItem();
        const QList<QStandardItem*> row = oldParent->takeRow(item->row());
        destination->appendRow(row);
        // The descendants' paths start with the moved category's path.
        RebuildPaths(item);
    }
    emit model->SignalMoveCategorySucceed(cateId, dstCateId);
}

void CategoryTreeModelWorker::FinishRename(TaskInfo* task)
{
    const qulonglong cateId = task->params.value(QStringLiteral("cateId")).toULongLong();
    const QString name = task->params.value(QStringLiteral("name")).toString();
    if (QStandardItem* item = index.value(cateId)) {
        item->setText(name);
        item->setToolTip(name.toHtmlEscaped());
    }
    QStringList names = model->NamesModel()->stringList();
    names.append(name);
    names.removeDuplicates();
    model->NamesModel()->setStringList(names);
    emit model->SignalRenameCategorySucceed(cateId, name);
}

void CategoryTreeModelWorker::RebuildPaths(QStandardItem* item)
{
    const QString path = item->data(int(CategoryTreeModel::DataRole::CateTree)).toString();
    for (int row = 0; row < item->rowCount(); ++row) {
        QStandardItem* child = item->child(row);
        child->setData(path + QLatin1Char(',') +
                           QString::number(
                               child->data(int(CategoryTreeModel::DataRole::CateId)).toULongLong()),
                       int(CategoryTreeModel::DataRole::CateTree));
        RebuildPaths(child);
    }
}

void CategoryTreeModelWorker::OnReadyToReloadCateTree()
{
    model->removeRows(0, model->rowCount());
    index.clear();
}

void CategoryTreeModelWorker::OnAppendRow(QStandardItem* item, QStandardItem* parent)
{
    parent->appendRow(item);
    IndexSubtree(item);
}

void CategoryTreeModelWorker::OnCateNamesReady(const QStringList& names)
{
    model->NamesModel()->setStringList(names);
}

void CategoryTreeModelWorker::IndexSubtree(QStandardItem* item)
{
    index.insert(item->data(int(CategoryTreeModel::DataRole::CateId)).toULongLong(), item);
    for (int row = 0; row < item->rowCount(); ++row) {
        IndexSubtree(item->child(row));
    }
}

void CategoryTreeModelWorker::TaskRunningSlowly(TaskInfo* task, bool isFinish)
{
    TaskManager::TaskRunningSlowly(task, isFinish);
    emit model->SignalTaskRunningSlowly(CategoryTreeModel::TaskType(task->type), isFinish);
}

void CategoryTreeModelWorker::TaskEnd(TaskInfo* task)
{
    emit model->SignalTaskEndStatus(task->uuid, EndStatusOf(task->status));
}

QString CategoryTreeModelWorker::TaskTypeToString(int type)
{
    return QString::fromLatin1(QMetaEnum::fromType<CategoryTreeModel::TaskType>().valueToKey(type));
}
