#pragma once

#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QPixmap>
#include <QStandardItemModel>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include "api/ApiVideo.h"
#include "models/LibraryAccount.h"
#include "tasks/TaskManager.h"

class CategoryTreeModel;
class SDKManager;
class VideoTableModelWorker;
struct VideoTaskResult;

Q_DECLARE_METATYPE(ApiCollection::VideoInfosResult)

// One page of the account's videos for the video table, and every video operation of the
// library page (page load, list by vids, details, move, delete, edit, covers, thumbnails). Each
// operation is a background task of the model's worker, which hands back what the task came to;
// the model applies it to its rows (on the GUI thread) and announces it with its signals.
class VideoTableModel : public QStandardItemModel
{
    Q_OBJECT

public:
    // Scoped: several specified names (Status, Uploader, the task types) occur twice.
    enum class Column
    {
        Selected = 0,
        Thumbs,
        DisplayInfo,
        Uploader,
        CategoryName,
        UploadTime,
        Status,
        Edit,
        CodeGen,
        ColumnSize,
    };
    Q_ENUM(Column)

    // All on the column-0 item of a row.
    enum class DataRole
    {
        Vid = Qt::UserRole,
        CateId,
        CateName,
        Title,
        Description,
        Duration,
        ThumbnailURL,
        CoverURL,
        CreationTime,
        UpdateTime,
        FileSize,
        Status,
        Tags,
        Uploader,
        PlayTimes,
        Count,
    };
    Q_ENUM(DataRole)

    enum class VideoStatus
    {
        Uploading = 5,
        Syncing = 6,
        SyncFailed = 7,
        WaitingProcess = 10,
        Transcoding = 20,
        TranscodeFailed = 40,
        SourceFileIllegal = 41,
        WaitingReview = 50,
        ReviewNoPass = 51,
        Reviewing = 52,
        Forbidden = 53,
        Release = 60,
        ReleaseByAutoCensored = 61,
        Deleted = -1,
    };
    Q_ENUM(VideoStatus)

    enum class TaskType
    {
        RefreshVideoList = 0,
        LoadThumbs,
        MoveVideo,
        DeleteVideo,
        GetVideosInfo,
        UpdateVideoInfo,
        ChangeVideoCover,
        UploadVideoCover,
    };
    Q_ENUM(TaskType)

    // Per-cell roles read by the table view's delegate.
    static constexpr int kButtonCellRole = 512;
    static constexpr int kButtonTemplateRole = 513;
    static constexpr int kButtonEnabledRole = 514;
    static constexpr int kThumbnailRole = 520;

    using DeleteErrors = QList<QPair<QString, QString>>;

    // uploads answers which videos this client uploads itself and deletes those uploads.
    explicit VideoTableModel(SDKManager& uploads, QObject* parent = nullptr);
    ~VideoTableModel() override;

    // Where column 4 finds category names and paths; null shows none.
    void SetCategoryModel(CategoryTreeModel* categories) { categoryModel = categories; }
    CategoryTreeModel* CategoryModel() const { return categoryModel; }

    // The signed-in account; rows built afterwards follow its permissions.
    void SetAccount(const LibraryAccount& value) { account = value; }
    const LibraryAccount& Account() const { return account; }
    SDKManager& Uploads() const { return uploads; }
    // The view's never-shown template buttons (object names "categoryButton", "editButton",
    // "codeGenButton"), stored in role 513 of the button cells so the style sheet reaches them.
    void SetButtonTemplates(QObject* category, QObject* edit, QObject* codeGen);

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

    int CheckedCount() const;
    QStringList CheckedVids() const;
    QString TitleOfVid(const QString& vid) const;
    QStringList UploadingVids(const QStringList& vids) const;
    QStringList VidsByClientUpload(const QStringList& vids, bool inClient) const;
    void Clear();
    void StopAllTasksAndWait();

    // Replaces the rows by these videos. Rows whose category differs from currentCateId get an
    // enabled category button.
    void FillRows(const QList<ApiCollection::VideoInfo>& videos, qulonglong currentCateId);
    // The videos of the last successful load, for the CSV export. GUI thread only.
    static const QList<ApiCollection::VideoInfo>& LoadedVideoInfos();
    // The display text of a server status code.
    static QString StatusText(int status);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    VideoTableModelWorker* Worker() const { return worker; }

signals:
    void SignalCheckStateChanged(QModelIndex index);
    void SignalTaskRunningSlowly(VideoTableModel::TaskType type, bool isFinish);
    void SignalTaskEndStatus(QUuid uuid, TaskManager::TaskEndStatus status);
    void SignalVideoListAvailable(bool available);
    void SignalRefreshVideoListAboutToDo();
    void SignalRefreshVideoListDone();
    void SignalRefreshVideoListSucceed(qulonglong pageNumber, qulonglong totalPages,
                                       qulonglong pageSize);
    void SignalRefreshVideoListFailed(QString error);
    void SignalRefreshVideoListAbort();
    void SignalGetVideoListDone(int count);
    void SignalThumbsAlready(QString vid, QPixmap image);
    void SignalMoveVideoSucceed(QStringList vids, qulonglong dstCateId);
    void SignalMoveVideoFailed(QString error);
    void SignalDeleteVideosSucceed(QStringList vids);
    void SignalDeleteVideosFailed(QList<QPair<QString, QString>> errors);
    void SignalGetVideosInfoSucceed(ApiCollection::VideoInfosResult infos);
    void SignalGetVideosInfoFailed(QString error);
    void SignalUpdateVideoInfoSucceed(QString vid, QString title, QString tags, QString desc);
    void SignalUpdateVideoInfoFailed(QString error);
    void SignalChangeVideoCoverSucceed(QString vid, QUrl coverUrl, QUrl thumbsUrl);
    void SignalChangeVideoCoverFailed(QString error);
    void SignalUploadVideoCoverSucceed(QString vid, QFileInfo fileinfo, QUrl coverUrl,
                                       QUrl thumbsUrl);
    void SignalUploadVideoCoverFailed(QString error);

private:
    void OnListLoadStarted();
    void OnTaskEnded(const VideoTaskResult& result);
    void ApplyListLoad(const VideoTaskResult& result);
    void OnThumbImage(const QString& vid, const QImage& image);
    void OnThumbsDone();
    void OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                       const QVector<int>& roles);
    QList<QStandardItem*> BuildRow(const ApiCollection::VideoInfo& video,
                                   qulonglong currentCateId) const;
    QVariant RowData(int row, DataRole role) const;
    QString DisplayInfo(int row) const;

    SDKManager& uploads;
    LibraryAccount account;
    VideoTableModelWorker* worker = nullptr;
    CategoryTreeModel* categoryModel = nullptr;
    QObject* categoryButton = nullptr;
    QObject* editButton = nullptr;
    QObject* codeGenButton = nullptr;
};
