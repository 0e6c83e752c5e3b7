#include "tasks/VideoTableModelWorker.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaEnum>

#include "api/ApiDownload.h"
#include "api/ApiErrors.h"
#include "api/ApiVideo.h"
#include "app/DataDir.h"
#include "models/VideoTableModel.h"
#include "upload/SDKManager.h"

using namespace ApiCollection;
using TaskType = VideoTableModel::TaskType;

namespace {

constexpr int kThumbSize = 64;
const QString kReported = QStringLiteral("reported");

qreal DevicePixelRatio()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

QString Key(const char* key)
{
    return QString::fromLatin1(key);
}

}  // namespace

VideoTableModelWorker::VideoTableModelWorker(VideoTableModel* model)
    : TaskManager(model), model(model)
{
    SetMaxRunning(5);
    SetTypePolicy(int(TaskType::RefreshVideoList), OnePerType);
    SetTypePolicy(int(TaskType::LoadThumbs), OnePerType);
    SetTypePolicy(int(TaskType::MoveVideo), Exclusive);
    SetTypePolicy(int(TaskType::DeleteVideo), Exclusive);
    SetTypePolicy(int(TaskType::GetVideosInfo), Concurrent);
    SetTypePolicy(int(TaskType::UpdateVideoInfo), Exclusive);
    SetTypePolicy(int(TaskType::ChangeVideoCover), Exclusive);
    SetTypePolicy(int(TaskType::UploadVideoCover), Exclusive);

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

    connect(this, &VideoTableModelWorker::SignalThumbImage, this,
            &VideoTableModelWorker::OnThumbImage);
    connect(this, &VideoTableModelWorker::SignalThumbsDone, this,
            &VideoTableModelWorker::OnThumbsDone);
    connect(model, &VideoTableModel::SignalRefreshVideoListSucceed, this,
            [this]() { LoadThumbs(); });
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
    Supersede(int(TaskType::RefreshVideoList),
              QStringLiteral("RefreshVideoList is running, abort old refresh task:"), nullptr);
    TaskInfo* task = NewTask(int(TaskType::RefreshVideoList));
    task->params = {{Key("cateId"), cateId},
                    {Key("titleFilter"), titleFilter},
                    {Key("containSubCate"), containSubCate},
                    {Key("page"), page},
                    {Key("pageSize"), pageSize},
                    {Key("sort"), sort}};
    task->runFunc = [this](TaskInfo* t) { RunRefresh(t); };
    task->finishFunc = [this](TaskInfo* t) { FinishRefresh(t); };
    return Add(task);
}

QUuid VideoTableModelWorker::GetVideosInfo2(const QStringList& vids, int infoType)
{
    Supersede(int(TaskType::GetVideosInfo),
              QStringLiteral("GetVideosInfo2 is running, abort old refresh task:"), nullptr);
    TaskInfo* task = NewTask(int(TaskType::GetVideosInfo));
    task->params = {{Key("vids"), vids}, {Key("infoType"), infoType}};
    task->runFunc = [this](TaskInfo* t) { RunVideosInfo(t, true); };
    task->finishFunc = [this](TaskInfo* t) { FinishVideosInfo2(t); };
    // TaskEnd tells the two GetVideosInfo variants apart by this key.
    task->params.insert(Key("fillTable"), true);
    return Add(task);
}

QUuid VideoTableModelWorker::GetVideosInfo(const QStringList& vids, int infoType)
{
    TaskInfo* task = NewTask(int(TaskType::GetVideosInfo));
    task->params = {{Key("vids"), vids}, {Key("infoType"), infoType}};
    task->runFunc = [this](TaskInfo* t) { RunVideosInfo(t, false); };
    task->finishFunc = [this](TaskInfo* t) {
        emit model->SignalGetVideosInfoSucceed(
            t->results.value(Key("result")).value<VideoInfosResult>());
    };
    return Add(task);
}

QUuid VideoTableModelWorker::DeleteVideos(const QStringList& vids)
{
    TaskInfo* task = NewTask(int(TaskType::DeleteVideo));
    task->params.insert(Key("vids"), vids);
    task->prepareFunc = [this](TaskInfo* t) { PrepareDelete(t); };
    task->runFunc = [this](TaskInfo* t) { RunDelete(t); };
    task->finishFunc = [this](TaskInfo* t) {
        const auto errors =
            t->results.value(Key("deleteVidsError")).value<VideoTableModel::DeleteErrors>();
        if (!errors.isEmpty()) {
            emit model->SignalDeleteVideosFailed(errors);
        } else {
            emit model->SignalDeleteVideosSucceed(t->params.value(Key("vids")).toStringList());
        }
    };
    return Add(task);
}

QUuid VideoTableModelWorker::MoveVideos(const QStringList& vids, qulonglong dstCateId)
{
    TaskInfo* task = NewTask(int(TaskType::MoveVideo));
    task->params = {{Key("vids"), vids}, {Key("dstCateId"), dstCateId}};
    task->runFunc = [this](TaskInfo* t) { RunMove(t); };
    return Add(task);
}

QUuid VideoTableModelWorker::UpdateVideoInfo(const QString& vid, const QString& title,
                                             const QString& tags, const QString& desc)
{
    TaskInfo* task = NewTask(int(TaskType::UpdateVideoInfo));
    task->params = {
        {Key("vid"), vid}, {Key("title"), title}, {Key("tags"), tags}, {Key("desc"), desc}};
    task->runFunc = [this](TaskInfo* t) { RunUpdateInfo(t); };
    task->finishFunc = [this](TaskInfo* t) {
        emit model->SignalUpdateVideoInfoSucceed(
            t->params.value(Key("vid")).toString(), t->params.value(Key("title")).toString(),
            t->params.value(Key("tags")).toString(), t->params.value(Key("desc")).toString());
    };
    return Add(task);
}

QUuid VideoTableModelWorker::ChangeVideoCover(const QString& vid, const QUrl& url)
{
    Supersede(int(TaskType::ChangeVideoCover),
              QStringLiteral("ChangeVideoCover is running, abort old task(vid: %1):").arg(vid),
              [vid](TaskInfo* old) { return old->params.value(Key("vid")).toString() == vid; });
    TaskInfo* task = NewTask(int(TaskType::ChangeVideoCover));
    task->params = {{Key("vid"), vid}, {Key("url"), url}};
    task->runFunc = [this](TaskInfo* t) { RunChangeCover(t); };
    return Add(task);
}

QUuid VideoTableModelWorker::UploadVideoCover(const QString& vid, const QFileInfo& fileinfo)
{
    Supersede(int(TaskType::UploadVideoCover),
              QStringLiteral("UploadVideoCover is running, abort old task(vid: %1):").arg(vid),
              [vid](TaskInfo* old) { return old->params.value(Key("vid")).toString() == vid; });
    TaskInfo* task = NewTask(int(TaskType::UploadVideoCover));
    task->params = {{Key("vid"), vid}, {Key("fileinfo"), QVariant::fromValue(fileinfo)}};
    task->runFunc = [this](TaskInfo* t) { RunUploadCover(t); };
    return Add(task);
}

QUuid VideoTableModelWorker::LoadThumbs()
{
    TaskInfo* task = NewTask(int(TaskType::LoadThumbs));
    task->prepareFunc = [this](TaskInfo* t) { PrepareThumbs(t); };
    task->runFunc = [this](TaskInfo* t) { RunThumbs(t); };
    return Add(task);
}

void VideoTableModelWorker::EndListLoad(TaskInfo* task, bool aborted, const QString& error)
{
    if (aborted) {
        emit model->SignalRefreshVideoListAbort();
    } else {
        emit model->SignalRefreshVideoListFailed(error);
    }
    emit model->SignalVideoListAvailable(true);
    emit model->SignalRefreshVideoListDone();
    task->results.insert(kReported, true);
}

void VideoTableModelWorker::RunRefresh(TaskInfo* task)
{
    emit model->SignalRefreshVideoListAboutToDo();
    emit model->SignalVideoListAvailable(false);

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
        const QString message = Failure(task, error, errorText, result);
        EndListLoad(task, task->status == TaskInfo::Abort, message);
        return;
    }
    if (task->status == TaskInfo::Abort) {
        // Superseded after the answer arrived: the newer page is what the table shows.
        EndListLoad(task, true, QString());
        return;
    }
    task->results.insert(Key("contents"), result.contents);
    task->results.insert(Key("pageNumber"), qulonglong(result.pageNumber));
    task->results.insert(Key("totalPages"), qulonglong(result.totalPages));
    task->results.insert(Key("pageSize"), qulonglong(result.pageSize));
}

void VideoTableModelWorker::FinishRefresh(TaskInfo* task)
{
    QList<VideoInfo> videos;
    const QJsonArray contents = task->results.value(Key("contents")).toJsonArray();
    for (const QJsonValue& element : contents) {
        const QJsonObject item = element.toObject();
        if (!element.isObject() || !item.value(QLatin1String("basicInfo")).isObject()) {
            continue;
        }
        VideoInfoTypeFlags parts;
        videos.append(parseVideoInfo(item, &parts));
    }
    model->FillRows(videos, task->params.value(Key("cateId")).toULongLong());
    task->results.insert(kReported, true);
    emit model->SignalRefreshVideoListSucceed(task->results.value(Key("pageNumber")).toULongLong(),
                                              task->results.value(Key("totalPages")).toULongLong(),
                                              task->results.value(Key("pageSize")).toULongLong());
    emit model->SignalVideoListAvailable(true);
    emit model->SignalRefreshVideoListDone();
}

void VideoTableModelWorker::RunVideosInfo(TaskInfo* task, bool fillTable)
{
    if (fillTable) {
        emit model->SignalRefreshVideoListAboutToDo();
        emit model->SignalVideoListAvailable(false);
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
        const QString message = Failure(task, error, errorText, result);
        if (fillTable) {
            EndListLoad(task, task->status == TaskInfo::Abort, message);
        } else {
            emit model->SignalGetVideosInfoFailed(message);
        }
        return;
    }
    if (fillTable && task->status == TaskInfo::Abort) {
        EndListLoad(task, true, QString());
        return;
    }
    task->results.insert(Key("result"), QVariant::fromValue(result));
}

void VideoTableModelWorker::FinishVideosInfo2(TaskInfo* task)
{
    const auto result = task->results.value(Key("result")).value<VideoInfosResult>();
    // No current category: every row's category button is enabled.
    model->FillRows(result.videos, ~qulonglong(0));
    task->results.insert(kReported, true);
    emit model->SignalRefreshVideoListSucceed(1, 1, 0);
    emit model->SignalVideoListAvailable(true);
    emit model->SignalRefreshVideoListDone();
    emit model->SignalGetVideoListDone(result.videos.size());
}

void VideoTableModelWorker::PrepareDelete(TaskInfo* task)
{
    QStringList vids = task->params.value(Key("vids")).toStringList();
    SDKManager& uploads = model->Uploads();
    QStringList notInClient;
    for (const QString& vid : model->UploadingVids(vids)) {
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
    VideoTableModel::DeleteErrors errors;
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
    task->results.insert(Key("deleteVidsError"), QVariant::fromValue(errors));
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
        emit model->SignalMoveVideoFailed(Failure(task, error, errorText, result));
        return;
    }
    emit model->SignalMoveVideoSucceed(vids, dstCateId);
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
        emit model->SignalUpdateVideoInfoFailed(Failure(task, error, errorText, result));
    }
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
        emit model->SignalChangeVideoCoverFailed(Failure(task, error, errorText, result));
        return;
    }
    emit model->SignalChangeVideoCoverSucceed(vid, QUrl(result.imageUrlBig),
                                              QUrl(result.imageUrlSmall));
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
        emit model->SignalUploadVideoCoverFailed(Failure(task, error, errorText, result));
        return;
    }
    emit model->SignalUploadVideoCoverSucceed(vid, fileinfo, QUrl(result.imageUrlBig),
                                              QUrl(result.imageUrlSmall));
}

void VideoTableModelWorker::PrepareThumbs(TaskInfo* task)
{
    QVariantList downloads;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QStandardItem* first = model->item(row, 0);
        const QUrl url = first->data(int(VideoTableModel::DataRole::ThumbnailURL)).toUrl();
        if (url.isEmpty()) {
            continue;
        }
        downloads.append(
            QVariantMap{{Key("vid"), first->data(int(VideoTableModel::DataRole::Vid)).toString()},
                        {Key("url"), url}});
    }
    task->params.insert(Key("userId"), model->Account().userId);
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

void VideoTableModelWorker::OnThumbImage(const QString& vid, const QImage& image)
{
    const QPixmap pixmap = QPixmap::fromImage(image);
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->item(row, 0)->data(int(VideoTableModel::DataRole::Vid)).toString() != vid) {
            continue;
        }
        // One repaint at the end of the batch instead of one per thumbnail.
        const bool blocked = model->blockSignals(true);
        model->item(row, int(VideoTableModel::Column::Thumbs))
            ->setData(pixmap, VideoTableModel::kThumbnailRole);
        model->blockSignals(blocked);
        break;
    }
    emit model->SignalThumbsAlready(vid, pixmap);
}

void VideoTableModelWorker::OnThumbsDone()
{
    if (model->rowCount() > 0) {
        emit model->dataChanged(model->index(0, 0),
                                model->index(model->rowCount() - 1, model->columnCount() - 1));
    }
}

void VideoTableModelWorker::TaskRunningSlowly(TaskInfo* task, bool isFinish)
{
    TaskManager::TaskRunningSlowly(task, isFinish);
    emit model->SignalTaskRunningSlowly(TaskType(task->type), isFinish);
}

void VideoTableModelWorker::TaskEnd(TaskInfo* task)
{
    // A list load aborted after its answer arrived has told nobody yet; the page still waits
    // for its end.
    const bool listLoad = task->type == int(TaskType::RefreshVideoList) ||
                          task->params.value(Key("fillTable")).toBool();
    if (listLoad && task->status == TaskInfo::Abort && !task->results.contains(kReported)) {
        emit model->SignalRefreshVideoListAbort();
        emit model->SignalVideoListAvailable(true);
        emit model->SignalRefreshVideoListDone();
    }
    emit model->SignalTaskEndStatus(task->uuid, EndStatusOf(task->status));
}

QString VideoTableModelWorker::TaskTypeToString(int type)
{
    return QString::fromLatin1(QMetaEnum::fromType<TaskType>().valueToKey(type));
}
