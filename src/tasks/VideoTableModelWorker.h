#pragma once

#include <functional>

#include <QFileInfo>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QPixmap>
#include <QUrl>
#include <QUuid>

#include "api/ApiCollection.h"
#include "api/ApiVideo.h"
#include "tasks/TaskManager.h"

class QStandardItemModel;
class SDKManager;

// What a video task came to. The worker hands it to its model when the task ends (GUI thread,
// before the task leaves the list); the model applies it to its rows and announces it.
struct VideoTaskResult
{
    enum Outcome
    {
        NoOutcome = 0,  // cancelled before it ran, or stopped before its result counted
        Succeeded,
        Failed,
        Aborted,  // a list load superseded by a newer one
    };

    int type = -1;
    QUuid uuid;
    TaskManager::TaskEndStatus endStatus = TaskManager::None;
    Outcome outcome = NoOutcome;
    QString error;
    // List loads (RefreshVideoList, GetVideosInfo2): the videos, the category the rows are
    // compared with, and the page figures.
    bool fillsTable = false;
    bool byVids = false;
    QList<ApiCollection::VideoInfo> videos;
    qulonglong cateId = 0;
    qulonglong pageNumber = 0;
    qulonglong totalPages = 0;
    qulonglong pageSize = 0;
    // GetVideosInfo.
    ApiCollection::VideoInfosResult infos;
    // MoveVideo (vids, cateId = destination), DeleteVideo (vids, deleteErrors).
    QStringList vids;
    QList<QPair<QString, QString>> deleteErrors;
    // UpdateVideoInfo, ChangeVideoCover, UploadVideoCover.
    QString vid;
    QString title;
    QString tags;
    QString desc;
    QFileInfo fileinfo;
    QUrl coverUrl;
    QUrl thumbsUrl;
};
Q_DECLARE_METATYPE(VideoTaskResult)

// Runs the video operations of a video table: up to five tasks at once, page and thumbnail loads
// one at a time each, changes of videos alone. It knows the web API and reads the table's rows
// (column 0, GUI thread) but never changes them: every task ends in a VideoTaskResult, and
// thumbnails are decoded and scaled on the pool thread and handed over as images.
class VideoTableModelWorker : public TaskManager
{
    Q_OBJECT

public:
    // The task types and the row roles the worker reads; VideoTableModel::TaskType and DataRole
    // have these values (checked where the model is built).
    enum Type
    {
        RefreshVideoListType = 0,
        LoadThumbsType,
        MoveVideoType,
        DeleteVideoType,
        GetVideosInfoType,
        UpdateVideoInfoType,
        ChangeVideoCoverType,
        UploadVideoCoverType,
    };
    enum Role
    {
        VidRole = Qt::UserRole,
        ThumbnailUrlRole = Qt::UserRole + 6,
        StatusRole = Qt::UserRole + 11,
    };
    static constexpr int kUploadingStatus = 5;

    // table: the rows the worker reads; uploads: deletes this client's own uploads.
    VideoTableModelWorker(const QStandardItemModel& table, SDKManager& uploads,
                          QObject* parent = nullptr);
    // Its run functions use this object: they end before any of it goes.
    ~VideoTableModelWorker() override;

    QUuid RefreshVideoList(qulonglong cateId, const QString& titleFilter, bool containSubCate,
                           int page, int pageSize, int sort);
    QUuid GetVideosInfo2(const QStringList& vids, int infoType);
    QUuid GetVideosInfo(const QStringList& vids, int infoType);
    QUuid DeleteVideos(const QStringList& vids);
    QUuid MoveVideos(const QStringList& vids, qulonglong dstCateId);
    QUuid UpdateVideoInfo(const QString& vid, const QString& title, const QString& tags,
                          const QString& desc);
    QUuid ChangeVideoCover(const QString& vid, const QUrl& url);
    QUuid UploadVideoCover(const QString& vid, const QFileInfo& fileinfo);
    // Thumbnails of the rows the table holds when the task starts, cached per user.
    QUuid LoadThumbs(const QString& userId);

    // The thumbnail a row shows until its own arrives.
    QPixmap DefaultThumbnail() const { return defaultThumbnail; }

    void TaskRunningSlowly(TaskInfo* task, bool isFinish) override;
    void TaskEnd(TaskInfo* task) override;
    QString TaskTypeToString(int type) override;

signals:
    // A list load started (emitted on the pool thread).
    void SignalListLoadStarted();
    // Thumbnails (emitted on the pool thread): one image, then the end of the batch.
    void SignalThumbImage(QString vid, QImage image);
    void SignalThumbsDone();
    void SignalTaskSlow(int type, bool isFinish);
    // Every task's end, GUI thread.
    void SignalTaskEnded(const VideoTaskResult& result);

private:
    TaskInfo* NewTask(int type);
    QUuid Add(TaskInfo* task);
    // Stops every listed task of the type for which `same` holds, logging `line` for each.
    void Supersede(int type, const QString& line, const std::function<bool(TaskInfo*)>& same);

    void RunRefresh(TaskInfo* task);
    void RunVideosInfo(TaskInfo* task, bool fillTable);
    void PrepareDelete(TaskInfo* task);
    void RunDelete(TaskInfo* task);
    void RunMove(TaskInfo* task);
    void RunUpdateInfo(TaskInfo* task);
    void RunChangeCover(TaskInfo* task);
    void RunUploadCover(TaskInfo* task);
    void PrepareThumbs(TaskInfo* task);
    void RunThumbs(TaskInfo* task);

    const QStandardItemModel& table;
    SDKManager& uploads;
    QPixmap defaultThumbnail;
};
