#include "tasks/VideoTableModelWorker.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QJsonArray>
#include <QJsonObject>
#include <QStandardItemModel>

#include "api/ApiDownload.h"
#include "api/ApiErrors.h"
#include "api/ApiVideo.h"
#include "app/DataDir.h"
#include "upload/SDKManager.h"

using namespace ApiCollection;

namespace {

constexpr int kThumbSize = 64;
const QString kResult = QStringLiteral("result");

void Keep(TaskInfo* task, const VideoTaskResult& result)
{
    task->results.insert(kResult, QVariant::fromValue(result));
}

VideoTaskResult FailedWith(const QString& error)
{
    VideoTaskResult result;
    result.outcome = VideoTaskResult::Failed;
    result.error = error;
    return result;
}

VideoTaskResult SucceededOutcome()
{
    VideoTaskResult result;
    result.outcome = VideoTaskResult::Succeeded;
    return result;
}

qreal DevicePixelRatio()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

QString Key(const char* key)
{
    return QString::fromLatin1(key);
}

}  // namespace

VideoTableModelWorker::VideoTableModelWorker(const QStandardItemModel& table, SDKManager& uploads,
                                             QObject* parent)
    : TaskManager(parent), table(table), uploads(uploads)
{
    qRegisterMetaType<VideoTaskResult>("VideoTaskResult");
    SetMaxRunning(5);
    SetTypePolicy(RefreshVideoListType, OnePerType);
    SetTypePolicy(LoadThumbsType, OnePerType);
    SetTypePolicy(MoveVideoType, Exclusive);
    SetTypePolicy(DeleteVideoType, Exclusive);
    SetTypePolicy(GetVideosInfoType, Concurrent);
    SetTypePolicy(UpdateVideoInfoType, Exclusive);
    SetTypePolicy(ChangeVideoCoverType, Exclusive);
    SetTypePolicy(UploadVideoCoverType, Exclusive);

    const qreal ratio = DevicePixelRatio();
    const QSize size = QSize(kThumbSize, kThumbSize) * ratio;
    // The icon is compiled into the executable; programs without it show no thumbnail.
    const QString iconPath = QStringLiteral(":/image/common/icon_default_video_thumbs.svg");
    if (QFile::exists(iconPath)) {
        defaultThumbnail = QIcon(iconPath).pixmap(size);
    }
    if (!defaultThumbnail.isNull()) {
        defaultThumbnail =
            defaultThumbnail.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        defaultThumbnail.setDevicePixelRatio(ratio);
    }
}

VideoTableModelWorker::~VideoTableModelWorker()
{
    StopAllTasksAndWait();
}

TaskInfo* VideoTableModelWorker::NewTask(int type)
{
    auto* task = new TaskInfo(type);
    task->abortFunc = [](TaskInfo* t) { t->abortFlag = true; };
    return task;
}

QUuid VideoTableModelWorker::Add(TaskInfo* task)
{
    const QUuid uuid = task->uuid;
    AddTask(task);
    return uuid;
}

void VideoTableModelWorker::Supersede(int type, const QString& line,
                                      const std::function<bool(TaskInfo*)>& same)
{
    for (TaskInfo* old : TasksOfType(type)) {
        if (same && !same(old)) {
            continue;
        }
        qCInfo(lcWorker).noquote() << line << old;
        StopTask(old);
    }
}

QUuid VideoTableModelWorker::RefreshVideoList(qulonglong cateId, const QString& titleFilter,
                                              bool containSubCate, int page, int pageSize, int sort)
{
    Supersede(RefreshVideoListType,
              QStringLiteral("RefreshVideoList is running, abort old refresh task:"), nullptr);
    TaskInfo* task = NewTask(RefreshVideoListType);
    task->params = {{Key("cateId"), cateId},
                    {Key("titleFilter"), titleFilter},
                    {Key("containSubCate"), containSubCate},
                    {Key("page"), page},
                    {Key("pageSize"), pageSize},
                    {Key("sort"), sort}};
    task->runFunc = [this](TaskInfo* t) { RunRefresh(t); };
    return Add(task);
}

QUuid VideoTableModelWorker::GetVideosInfo2(const QStringList& vids, int infoType)
{
    Supersede(GetVideosInfoType,
              QStringLiteral("GetVideosInfo2 is running, abort old refresh task:"), nullptr);
    TaskInfo* task = NewTask(GetVideosInfoType);
    task->params = {{Key("vids"), vids}, {Key("infoType"), infoType}};
    task->runFunc = [this](TaskInfo* t) { RunVideosInfo(t, true); };
    // TaskEnd tells the two GetVideosInfo variants apart by this key.
    task->params.insert(Key("fillTable"), true);
    return Add(task);
}

QUuid VideoTableModelWorker::GetVideosInfo(const QStringList& vids, int infoType)
{
    TaskInfo* task = NewTask(GetVideosInfoType);
    task->params = {{Key("vids"), vids}, {Key("infoType"), infoType}};
    task->runFunc = [this](TaskInfo* t) { RunVideosInfo(t, false); };
    return Add(task);
}

QUuid VideoTableModelWorker::DeleteVideos(const QStringList& vids)
{
    TaskInfo* task = NewTask(DeleteVideoType);
    task->params.insert(Key("vids"), vids);
    task->prepareFunc = [this](TaskInfo* t) { PrepareDelete(t); };
    task->runFunc = [this](TaskInfo* t) { RunDelete(t); };
    return Add(task);
}

QUuid VideoTableModelWorker::MoveVideos(const QStringList& vids, qulonglong dstCateId)
{
    TaskInfo* task = NewTask(MoveVideoType);
    task->params = {{Key("vids"), vids}, {Key("dstCateId"), dstCateId}};
    task->runFunc = [this](TaskInfo* t) { RunMove(t); };
    return Add(task);
}

QUuid VideoTableModelWorker::UpdateVideoInfo(const QString& vid, const QString& title,
                                             const QString& tags, const QString& desc)
{
    TaskInfo* task = NewTask(UpdateVideoInfoType);
    task->params = {
        {Key("vid"), vid}, {Key("title"), title}, {Key("tags"), tags}, {Key("desc"), desc}};
    task->runFunc = [this](TaskInfo* t) { RunUpdateInfo(t); };
    return Add(task);
}

QUuid VideoTableModelWorker::ChangeVideoCover(const QString& vid, const QUrl& url)
{
    Supersede(ChangeVideoCoverType,
              QStringLiteral("ChangeVideoCover is running, abort old task(vid: %1):").arg(vid),
              [vid](TaskInfo* old) { return old->params.value(Key("vid")).toString() == vid; });
    TaskInfo* task = NewTask(ChangeVideoCoverType);
    task->params = {{Key("vid"), vid}, {Key("url"), url}};
    task->runFunc = [this](TaskInfo* t) { RunChangeCover(t); };
    return Add(task);
}

QUuid VideoTableModelWorker::UploadVideoCover(const QString& vid, const QFileInfo& fileinfo)
{
    Supersede(UploadVideoCoverType,
              QStringLiteral("UploadVideoCover is running, abort old task(vid: %1):").arg(vid),
              [vid](TaskInfo* old) { return old->params.value(Key("vid")).toString() == vid; });
    TaskInfo* task = NewTask(UploadVideoCoverType);
    task->params = {{Key("vid"), vid}, {Key("fileinfo"), QVariant::fromValue(fileinfo)}};
    task->runFunc = [this](TaskInfo* t) { RunUploadCover(t); };
    return Add(task);
}

QUuid VideoTableModelWorker::LoadThumbs(const QString& userId)
{
    TaskInfo* task = NewTask(LoadThumbsType);
    task->params.insert(Key("userId"), userId);
    task->prepareFunc = [this](TaskInfo* t) { PrepareThumbs(t); };
    task->runFunc = [this](TaskInfo* t) { RunThumbs(t); };
    return Add(task);
}

void VideoTableModelWorker::RunRefresh(TaskInfo* task)
{
    emit SignalListLoadStarted();

    const QVariantMap& p = task->params;
    QByteArray response;
    QString errorText;
    ListVideoResult result;
    RequestError error = ListVideoRequest(
        task->uuid, p.value(Key("cateId")).toULongLong(), p.value(Key("titleFilter")).toString(),
        p.value(Key("containSubCate")).toBool(), quint64(p.value(Key("page")).toInt()),
        quint64(p.value(Key("pageSize")).toInt()), SortMethod(p.value(Key("sort")).toInt()),
        &response, &task->abortFlag, &errorText);
    if (error == NoError) {
        error = ParseListVideoResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        Keep(task, FailedWith(Failure(task, error, errorText, result)));
        return;
    }
    VideoTaskResult outcome = SucceededOutcome();
    for (const QJsonValue& element : result.contents) {
        const QJsonObject item = element.toObject();
        if (!element.isObject() || !item.value(QLatin1String("basicInfo")).isObject()) {
            continue;
        }
        VideoInfoTypeFlags parts;
        outcome.videos.append(parseVideoInfo(item, &parts));
    }
    outcome.cateId = p.value(Key("cateId")).toULongLong();
    outcome.pageNumber = result.pageNumber;
    outcome.totalPages = result.totalPages;
    outcome.pageSize = result.pageSize;
    Keep(task, outcome);
}

void VideoTableModelWorker::RunVideosInfo(TaskInfo* task, bool fillTable)
{
    if (fillTable) {
        emit SignalListLoadStarted();
    }
    QByteArray response;
    QString errorText;
    VideoInfosResult result;
    RequestError error =
        GetVideoInfoRequest(task->uuid, task->params.value(Key("vids")).toStringList(),
                            VideoInfoTypeFlags(task->params.value(Key("infoType")).toInt()),
                            &response, &task->abortFlag, &errorText);
    if (error == NoError) {
        error = ParseGetVideoInfoResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        Keep(task, FailedWith(Failure(task, error, errorText, result)));
        return;
    }
    VideoTaskResult outcome = SucceededOutcome();
    if (fillTable) {
        // No current category: every row's category button is enabled.
        outcome.videos = result.videos;
        outcome.cateId = ~qulonglong(0);
        outcome.pageNumber = 1;
        outcome.totalPages = 1;
        outcome.pageSize = 0;
    } else {
        outcome.infos = result;
    }
    Keep(task, outcome);
}

void VideoTableModelWorker::PrepareDelete(TaskInfo* task)
{
    QStringList vids = task->params.value(Key("vids")).toStringList();
    QStringList uploading;
    for (int row = 0; row < table.rowCount(); ++row) {
        const QStandardItem* first = table.item(row, 0);
        const QString vid = first->data(VidRole).toString();
        if (vids.contains(vid) && first->data(StatusRole).toInt() == kUploadingStatus) {
            uploading.append(vid);
        }
    }
    QStringList notInClient;
    for (const QString& vid : qAsConst(uploading)) {
        if (uploads.HasTask(vid)) {
            // Our own upload: the upload engine removes it from the platform and the queue.
            uploads.DeleteTask(vid);
            vids.removeAll(vid);
        } else {
            notInClient.append(vid);
        }
    }
    task->params.insert(Key("vids"), vids);
    task->params.insert(Key("uploadingVidsNoInClient"), notInClient);
}

void VideoTableModelWorker::RunDelete(TaskInfo* task)
{
    const QStringList vids = task->params.value(Key("vids")).toStringList();
    const QStringList notInClient =
        task->params.value(Key("uploadingVidsNoInClient")).toStringList();
    const QString type = TaskTypeToString(task->type);
    QList<QPair<QString, QString>> errors;
    for (const QString& vid : vids) {
        if (notInClient.contains(vid)) {
            const QString message = tr("DeleteUploadingVideoFromOtherClient");
            qWarning().noquote() << type << "failed:" << vid << message;
            errors.append({vid, message});
            continue;
        }
        QByteArray response;
        QString errorText;
        ApiResult result;
        RequestError error =
            DeleteVideoRequest(task->uuid, vid, &response, &task->abortFlag, &errorText);
        if (error == NoError) {
            error = ParseDeleteVideoResponse(response, &result);
            errorText.clear();
        }
        if (error != NoError) {
            QString message = errorText;
            if (error == ApiReturnFailed) {
                message = errorCodeString(result.errorCode);
            }
            if (message.isEmpty()) {
                message = requestErrorString(error);
            }
            qWarning().noquote() << type << "failed:" << vid << requestErrorKey(error) << message;
            errors.append({vid, message});
        }
    }
    VideoTaskResult outcome = SucceededOutcome();
    outcome.vids = vids;
    outcome.deleteErrors = errors;
    Keep(task, outcome);
}

void VideoTableModelWorker::RunMove(TaskInfo* task)
{
    const QStringList vids = task->params.value(Key("vids")).toStringList();
    const qulonglong dstCateId = task->params.value(Key("dstCateId")).toULongLong();
    QByteArray response;
    QString errorText;
    ApiResult result;
    RequestError error =
        MoveVideoRequest(task->uuid, vids, dstCateId, &response, &task->abortFlag, &errorText);
    if (error == NoError) {
        error = ParseMoveVideoResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        Keep(task, FailedWith(Failure(task, error, errorText, result)));
        return;
    }
    VideoTaskResult outcome = SucceededOutcome();
    outcome.vids = vids;
    outcome.cateId = dstCateId;
    Keep(task, outcome);
}

void VideoTableModelWorker::RunUpdateInfo(TaskInfo* task)
{
    const QVariantMap& p = task->params;
    QByteArray response;
    QString errorText;
    ApiResult result;
    RequestError error = UpdateVideoInfoRequest(
        task->uuid, p.value(Key("vid")).toString(), p.value(Key("title")).toString(),
        p.value(Key("tags")).toString(), p.value(Key("desc")).toString(), &response,
        &task->abortFlag, &errorText);
    if (error == NoError) {
        error = ParseUpdateVideoInfoResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        Keep(task, FailedWith(Failure(task, error, errorText, result)));
        return;
    }
    VideoTaskResult outcome = SucceededOutcome();
    outcome.vid = p.value(Key("vid")).toString();
    outcome.title = p.value(Key("title")).toString();
    outcome.tags = p.value(Key("tags")).toString();
    outcome.desc = p.value(Key("desc")).toString();
    Keep(task, outcome);
}

void VideoTableModelWorker::RunChangeCover(TaskInfo* task)
{
    const QString vid = task->params.value(Key("vid")).toString();
    QByteArray response;
    QString errorText;
    CoverResult result;
    RequestError error =
        ChangeVideoCoverRequest(task->uuid, vid, task->params.value(Key("url")).toUrl(), &response,
                                &task->abortFlag, &errorText);
    if (error == NoError) {
        error = ParseChangeVideoCoverResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        Keep(task, FailedWith(Failure(task, error, errorText, result)));
        return;
    }
    VideoTaskResult outcome = SucceededOutcome();
    outcome.vid = vid;
    outcome.coverUrl = QUrl(result.imageUrlBig);
    outcome.thumbsUrl = QUrl(result.imageUrlSmall);
    Keep(task, outcome);
}

void VideoTableModelWorker::RunUploadCover(TaskInfo* task)
{
    const QString vid = task->params.value(Key("vid")).toString();
    const QFileInfo fileinfo = task->params.value(Key("fileinfo")).value<QFileInfo>();
    QByteArray response;
    QString errorText;
    CoverResult result;
    RequestError error =
        UploadVideoCoverRequest(task->uuid, {vid}, fileinfo.absoluteFilePath(), ProgressFunction(),
                                &response, &task->abortFlag, &errorText);
    if (error == NoError) {
        error = ParseUploadVideoCoverResponse(response, &result);
        errorText.clear();
    }
    if (error != NoError) {
        Keep(task, FailedWith(Failure(task, error, errorText, result)));
        return;
    }
    VideoTaskResult outcome = SucceededOutcome();
    outcome.vid = vid;
    outcome.fileinfo = fileinfo;
    outcome.coverUrl = QUrl(result.imageUrlBig);
    outcome.thumbsUrl = QUrl(result.imageUrlSmall);
    Keep(task, outcome);
}

void VideoTableModelWorker::PrepareThumbs(TaskInfo* task)
{
    QVariantList downloads;
    for (int row = 0; row < table.rowCount(); ++row) {
        const QStandardItem* first = table.item(row, 0);
        const QUrl url = first->data(ThumbnailUrlRole).toUrl();
        if (url.isEmpty()) {
            continue;
        }
        downloads.append(
            QVariantMap{{Key("vid"), first->data(VidRole).toString()}, {Key("url"), url}});
    }
    task->params.insert(Key("downloadInfoList"), downloads);
    task->params.insert(Key("dataDir"), DataDirPath());
    task->params.insert(Key("devicePixelRatio"), DevicePixelRatio());
}

void VideoTableModelWorker::RunThumbs(TaskInfo* task)
{
    const QString userId = task->params.value(Key("userId")).toString();
    const QString dataDir = task->params.value(Key("dataDir")).toString();
    const qreal ratio = task->params.value(Key("devicePixelRatio")).toReal();
    const QVariantList entries = task->params.value(Key("downloadInfoList")).toList();

    QStringList vids;
    auto use = [this, ratio](const QString& vid, const QImage& image) {
        QImage scaled = image.scaled(QSize(kThumbSize, kThumbSize) * ratio, Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(ratio);
        emit SignalThumbImage(vid, scaled);
    };

    QList<_DownloadInfo> downloads;
    downloads.reserve(entries.size());
    for (const QVariant& entry : entries) {
        const QVariantMap map = entry.toMap();
        const QString vid = map.value(Key("vid")).toString();
        const QUrl url = map.value(Key("url")).toUrl();
        const QString dir = QStringLiteral("%1/thumbs/%2/%3").arg(dataDir, userId, vid);
        if (!QDir(dir).exists() && !QDir().mkpath(dir)) {
            qCritical() << "mkpath failed:" << dir;
        }
        QString name = url.fileName();
        if (name.isEmpty()) {
            name = QStringLiteral("thumbnail");
        }
        const QString path = dir + QLatin1Char('/') + name;
        if (QFileInfo::exists(path)) {
            const QImage cached(path);
            if (!cached.isNull()) {
                use(vid, cached);
                continue;
            }
            qWarning() << "cache image is invalid:" << path;
        }
        _DownloadInfo info;
        info.url = url;
        info.fileInfo = QFileInfo(path);
        info.userData = quint64(vids.size());
        vids.append(vid);
        downloads.append(info);
    }

    if (!downloads.isEmpty()) {
        QList<_DownloadInfo*> pointers;
        for (_DownloadInfo& info : downloads) {
            pointers.append(&info);
        }
        const RequestError result = MultiDownloadRequest(
            task->uuid, pointers,
            [&vids, &use](_DownloadInfo* info, bool success) {
                if (!success) {
                    return;
                }
                const QImage image(info->fileInfo.absoluteFilePath());
                if (image.isNull()) {
                    // The row keeps the default thumbnail; the next load fetches it again.
                    qWarning() << "downloaded image is invalid:"
                               << info->fileInfo.absoluteFilePath();
                    return;
                }
                use(vids.at(int(info->userData)), image);
            },
            &task->abortFlag);
        if (result != NoError) {
            qWarning().noquote() << "MultiDownload result:" << requestErrorKey(result);
        }
    }
    emit SignalThumbsDone();
}

void VideoTableModelWorker::TaskRunningSlowly(TaskInfo* task, bool isFinish)
{
    TaskManager::TaskRunningSlowly(task, isFinish);
    emit SignalTaskSlow(task->type, isFinish);
}

void VideoTableModelWorker::TaskEnd(TaskInfo* task)
{
    VideoTaskResult result = task->results.value(kResult).value<VideoTaskResult>();
    result.type = task->type;
    result.uuid = task->uuid;
    result.endStatus = EndStatusOf(task->status);
    result.fillsTable =
        task->type == RefreshVideoListType || task->params.value(Key("fillTable")).toBool();
    result.byVids = result.fillsTable && task->type == GetVideosInfoType;
    const bool finished = task->status == TaskInfo::Finished;
    if (result.fillsTable) {
        // A stopped list load ends as aborted however far it got; the newer load is what the
        // table shows.
        if (task->status == TaskInfo::Abort) {
            result.outcome = VideoTaskResult::Aborted;
        } else if (result.outcome == VideoTaskResult::Succeeded && !finished) {
            result.outcome = VideoTaskResult::NoOutcome;
        }
    } else if (result.outcome == VideoTaskResult::Succeeded && !finished) {
        // Moves and cover changes the server took count even when stopped afterwards; the
        // other results count only for a task that finished.
        const bool serverTook = task->type == MoveVideoType || task->type == ChangeVideoCoverType ||
                                task->type == UploadVideoCoverType;
        if (!serverTook) {
            result.outcome = VideoTaskResult::NoOutcome;
        }
    }
    emit SignalTaskEnded(result);
}

QString VideoTableModelWorker::TaskTypeToString(int type)
{
    static const char* const kNames[] = {"RefreshVideoList", "LoadThumbs",      "MoveVideo",
                                         "DeleteVideo",      "GetVideosInfo",   "UpdateVideoInfo",
                                         "ChangeVideoCover", "UploadVideoCover"};
    return type >= 0 && type < 8 ? QString::fromLatin1(kNames[type]) : QString::number(type);
}
