#include "tasks/CategoryTreeModelWorker.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QStandardItem>
#include <QTime>

#include "api/ApiCategory.h"
#include "api/ApiEnvelope.h"
#include "api/ApiErrors.h"

using namespace ApiCollection;

namespace {

QString Now()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
}

}  // namespace

CategoryTreeModelWorker::CategoryTreeModelWorker(QObject* parent) : TaskManager(parent)
{
    // The icon is compiled into the executable; programs without it show none.
    const QString iconPath = QStringLiteral(":/image/videoList/icon_folder.svg");
    if (QFile::exists(iconPath)) {
        folderIcon = QIcon(iconPath);
    }
    qRegisterMetaType<CategoryTaskResult>("CategoryTaskResult");
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
    TaskInfo* task = NewTask(RefreshType);
    task->params.insert(QStringLiteral("topCateId"), topCateId);
    task->runFunc = [this](TaskInfo* t) { RunRefresh(t); };
    const QUuid uuid = task->uuid;
    AddTask(task);
    return uuid;
}

QUuid CategoryTreeModelWorker::AddCategory(qulonglong parentCateId, const QString& name)
{
    TaskInfo* task = NewTask(AddType);
    task->params.insert(QStringLiteral("parentCateId"), parentCateId);
    task->params.insert(QStringLiteral("name"), name);
    task->runFunc = [this](TaskInfo* t) { RunAdd(t); };
    const QUuid uuid = task->uuid;
    AddTask(task);
    return uuid;
}

QUuid CategoryTreeModelWorker::MoveCategory(qulonglong cateId, qulonglong dstCateId)
{
    TaskInfo* task = NewTask(MoveType);
    task->params.insert(QStringLiteral("cateId"), cateId);
    task->params.insert(QStringLiteral("dstCateId"), dstCateId);
    task->runFunc = [this](TaskInfo* t) { RunMove(t); };
    const QUuid uuid = task->uuid;
    AddTask(task);
    return uuid;
}

QUuid CategoryTreeModelWorker::RenameCategory(qulonglong cateId, const QString& name)
{
    TaskInfo* task = NewTask(RenameType);
    task->params.insert(QStringLiteral("cateId"), cateId);
    task->params.insert(QStringLiteral("name"), name);
    task->runFunc = [this](TaskInfo* t) { RunRename(t); };
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
    item->setData(qulonglong(readUInt64(node.value(QLatin1String("cateId")))), CateIdRole);
    item->setData(node.value(QLatin1String("cateTree")).toString(), CateTreeRole);
    item->setData(qulonglong(readUInt64(node.value(QLatin1String("parentId")))), ParentCateIdRole);
    item->setData(node.value(QLatin1String("videoCount")).toInt(), CateVideoCountRole);
    names->append(name);
    return item;
}

namespace {

const QString kResult = QStringLiteral("result");

void Keep(TaskInfo* task, const CategoryTaskResult& result)
{
    task->results.insert(kResult, QVariant::fromValue(result));
}

}  // namespace

void CategoryTreeModelWorker::RunRefresh(TaskInfo* task)
{
    emit SignalRefreshStarted();
    qCDebug(lcWorker).noquote() << Now() << "get-cate-tree start require";

    CategoryTaskResult outcome;
    auto fail = [this, task, &outcome](RequestError error, const QString& errorText,
                                       const ApiResult& result) {
        outcome.outcome = CategoryTaskResult::Failed;
        outcome.error = Failure(task, error, errorText, result);
        Keep(task, outcome);
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
    outcome.outcome = CategoryTaskResult::Succeeded;
    if (comparable == lastTreeResponse) {
        qCDebug(lcWorker).noquote() << Now() << "get-cate-tree no need update";
        Keep(task, outcome);
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
    names.removeDuplicates();
    outcome.tree = top;
    outcome.names = names;
    Keep(task, outcome);
    qCDebug(lcWorker).noquote() << Now() << "addChildren end";
    qCDebug(lcWorker).noquote() << Now() << "get-cate-tree end";
}

void CategoryTreeModelWorker::RunAdd(TaskInfo* task)
{
    const qulonglong parentCateId =
        task->params.value(QStringLiteral("parentCateId")).toULongLong();
    const QString name = task->params.value(QStringLiteral("name")).toString();

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
    CategoryTaskResult outcome;
    outcome.cateId = result.cateId;
    outcome.otherCateId = parentCateId;
    outcome.name = name;
    if (error != NoError) {
        outcome.outcome = CategoryTaskResult::Failed;
        outcome.error = Failure(task, error, errorText, result);
        Keep(task, outcome);
        return;
    }
    QStandardItem* item = NewItem(name);
    item->setData(qulonglong(result.cateId), CateIdRole);
    // The path follows from the parent, which the model finds when it attaches the item.
    item->setData(parentCateId, ParentCateIdRole);
    item->setData(0, CateVideoCountRole);
    outcome.outcome = CategoryTaskResult::Succeeded;
    outcome.tree = item;
    Keep(task, outcome);
}

void CategoryTreeModelWorker::RunMove(TaskInfo* task)
{
    task->abortFlag = false;
    QByteArray response;
    QString errorText;
    ApiResult result;
    CategoryTaskResult outcome;
    outcome.cateId = task->params.value(QStringLiteral("cateId")).toULongLong();
    outcome.otherCateId = task->params.value(QStringLiteral("dstCateId")).toULongLong();
    RequestError error = MoveCategoryRequest(task->uuid, outcome.cateId, outcome.otherCateId,
                                             &response, &task->abortFlag, &errorText);
    if (error == NoError) {
        error = ParseMoveCategoryResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        outcome.outcome = CategoryTaskResult::Failed;
        outcome.error = Failure(task, error, errorText, result);
    } else {
        outcome.outcome = CategoryTaskResult::Succeeded;
    }
    Keep(task, outcome);
}

void CategoryTreeModelWorker::RunRename(TaskInfo* task)
{
    task->abortFlag = false;
    QByteArray response;
    QString errorText;
    ApiResult result;
    CategoryTaskResult outcome;
    outcome.cateId = task->params.value(QStringLiteral("cateId")).toULongLong();
    outcome.name = task->params.value(QStringLiteral("name")).toString();
    RequestError error = RenameCategoryRequest(task->uuid, outcome.cateId, outcome.name, &response,
                                               &task->abortFlag, &errorText);
    if (error == NoError) {
        error = ParseRenameCategoryResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        outcome.outcome = CategoryTaskResult::Failed;
        outcome.error = Failure(task, error, errorText, result);
    } else {
        outcome.outcome = CategoryTaskResult::Succeeded;
    }
    Keep(task, outcome);
}

void CategoryTreeModelWorker::TaskRunningSlowly(TaskInfo* task, bool isFinish)
{
    TaskManager::TaskRunningSlowly(task, isFinish);
    emit SignalTaskSlow(task->type, isFinish);
}

void CategoryTreeModelWorker::TaskEnd(TaskInfo* task)
{
    CategoryTaskResult result = task->results.value(kResult).value<CategoryTaskResult>();
    result.type = task->type;
    result.uuid = task->uuid;
    result.endStatus = EndStatusOf(task->status);
    // A move or rename the server accepted changes the tree only when its task finished; a
    // stopped move still tells that the server took it.
    if (result.outcome == CategoryTaskResult::Succeeded && task->status != TaskInfo::Finished) {
        if (task->type == MoveType) {
            result.outcome = CategoryTaskResult::Accepted;
        } else if (task->type == RenameType) {
            result.outcome = CategoryTaskResult::NoOutcome;
        }
    }
    emit SignalTaskEnded(result);
}

QString CategoryTreeModelWorker::TaskTypeToString(int type)
{
    static const char* const kNames[] = {"RefreshCategory", "AddCategory", "MoveCategory",
                                         "RenameCategory"};
    return type >= 0 && type < 4 ? QString::fromLatin1(kNames[type]) : QString::number(type);
}
