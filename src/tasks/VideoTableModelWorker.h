#pragma once

#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QUrl>
#include <QUuid>

#include "api/ApiCollection.h"
#include "tasks/TaskManager.h"

class VideoTableModel;

// Runs the video operations of a VideoTableModel: up to five tasks at once, page and thumbnail
// loads one at a time each, changes of videos alone. Thumbnails are decoded and scaled on the
// pool thread and handed to the GUI thread as images; the rows change only on the GUI thread.
class VideoTableModelWorker : public TaskManager
{
    Q_OBJECT

public:
    explicit VideoTableModelWorker(VideoTableModel* model);
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
    QUuid LoadThumbs();

    // The thumbnail a row shows until its own arrives.
    QPixmap DefaultThumbnail() const { return defaultThumbnail; }

    void TaskRunningSlowly(TaskInfo* task, bool isFinish) override;
    void TaskEnd(TaskInfo* task) override;
    QString TaskTypeToString(int type) override;

signals:
    void SignalThumbImage(QString vid, QImage image);
    void SignalThumbsDone();

private:
    TaskInfo* NewTask(int type);
    QUuid Add(TaskInfo* task);
    // Stops every listed task of the type for which `same` holds, logging `line` for each.
    void Supersede(int type, const QString& line, const std::function<bool(TaskInfo*)>& same);

    void RunRefresh(TaskInfo* task);
    void FinishRefresh(TaskInfo* task);
    void RunVideosInfo(TaskInfo* task, bool fillTable);
    void FinishVideosInfo2(TaskInfo* task);
    void PrepareDelete(TaskInfo* task);
    void RunDelete(TaskInfo* task);
    void RunMove(TaskInfo* task);
    void RunUpdateInfo(TaskInfo* task);
    void RunChangeCover(TaskInfo* task);
    void RunUploadCover(TaskInfo* task);
    void PrepareThumbs(TaskInfo* task);
    void RunThumbs(TaskInfo* task);
    void OnThumbImage(const QString& vid, const QImage& image);
    void OnThumbsDone();
    void EndListLoad(TaskInfo* task, bool aborted, const QString& error);

    VideoTableModel* model;
    QPixmap defaultThumbnail;
};
