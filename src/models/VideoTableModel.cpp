#include "models/VideoTableModel.h"

#include "app/Format.h"
#include "models/CategoryTreeModel.h"
#include "tasks/VideoTableModelWorker.h"
#include "upload/SDKManager.h"

namespace {

constexpr Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

constexpr int Col(VideoTableModel::Column column)
{
    return int(column);
}

constexpr int Role(VideoTableModel::DataRole role)
{
    return int(role);
}

using Worker = VideoTableModelWorker;
using Type = VideoTableModel::TaskType;
static_assert(int(Type::RefreshVideoList) == Worker::RefreshVideoListType &&
                  int(Type::LoadThumbs) == Worker::LoadThumbsType &&
                  int(Type::MoveVideo) == Worker::MoveVideoType &&
                  int(Type::DeleteVideo) == Worker::DeleteVideoType &&
                  int(Type::GetVideosInfo) == Worker::GetVideosInfoType &&
                  int(Type::UpdateVideoInfo) == Worker::UpdateVideoInfoType &&
                  int(Type::ChangeVideoCover) == Worker::ChangeVideoCoverType &&
                  int(Type::UploadVideoCover) == Worker::UploadVideoCoverType,
              "the worker's task types are the model's");
static_assert(Role(VideoTableModel::DataRole::Vid) == Worker::VidRole &&
                  Role(VideoTableModel::DataRole::ThumbnailURL) == Worker::ThumbnailUrlRole &&
                  Role(VideoTableModel::DataRole::Status) == Worker::StatusRole &&
                  int(VideoTableModel::VideoStatus::Uploading) == Worker::kUploadingStatus,
              "the worker reads the model's roles");

QList<ApiCollection::VideoInfo>& LoadedInfos()
{
    static QList<ApiCollection::VideoInfo> infos;
    return infos;
}

}  // namespace

VideoTableModel::VideoTableModel(SDKManager& uploads, QObject* parent)
    : QStandardItemModel(parent), uploads(uploads)
{
    qRegisterMetaType<VideoTableModel::TaskType>("VideoTableModel::TaskType");
    qRegisterMetaType<TaskManager::TaskEndStatus>("TaskManager::TaskEndStatus");
    qRegisterMetaType<ApiCollection::VideoInfosResult>("ApiCollection::VideoInfosResult");
    qRegisterMetaType<DeleteErrors>("QList<QPair<QString,QString>>");
    qRegisterMetaType<QFileInfo>("QFileInfo");

    setColumnCount(Col(Column::ColumnSize));
    setHorizontalHeaderLabels({QString(), tr("VideoTableColumn.Thumbs"),
                               tr("VideoTableColumn.Name"), tr("VideoTableColumn.Uploader"),
                               tr("VideoTableColumn.Category"), tr("VideoTableColumn.UploadTime"),
                               tr("VideoTableColumn.Status"), QString(), QString()});
    setHeaderData(Col(Column::Selected), Qt::Horizontal, Qt::Unchecked, Qt::CheckStateRole);
    setHeaderData(Col(Column::DisplayInfo), Qt::Horizontal, int(kLeft), Qt::TextAlignmentRole);
    setHeaderData(Col(Column::UploadTime), Qt::Horizontal, int(kLeft), Qt::TextAlignmentRole);

    connect(this, &QAbstractItemModel::dataChanged, this, &VideoTableModel::OnDataChanged);
    worker = new VideoTableModelWorker(*this, uploads, this);
    // Emitted on pool threads: they arrive queued, in order with everything else a task reports.
    connect(worker, &VideoTableModelWorker::SignalListLoadStarted, this,
            &VideoTableModel::OnListLoadStarted, Qt::QueuedConnection);
    connect(worker, &VideoTableModelWorker::SignalThumbImage, this, &VideoTableModel::OnThumbImage,
            Qt::QueuedConnection);
    connect(worker, &VideoTableModelWorker::SignalThumbsDone, this, &VideoTableModel::OnThumbsDone,
            Qt::QueuedConnection);
    connect(worker, &VideoTableModelWorker::SignalTaskSlow, this, [this](int type, bool isFinish) {
        emit SignalTaskRunningSlowly(TaskType(type), isFinish);
    });
    connect(worker, &VideoTableModelWorker::SignalTaskEnded, this, &VideoTableModel::OnTaskEnded);
}

VideoTableModel::~VideoTableModel()
{
    delete worker;
    worker = nullptr;
}

void VideoTableModel::SetButtonTemplates(QObject* category, QObject* edit, QObject* codeGen)
{
    categoryButton = category;
    editButton = edit;
    codeGenButton = codeGen;
}

QUuid VideoTableModel::RefreshVideoList(qulonglong cateId, const QString& titleFilter,
                                        bool containSubCate, int page, int pageSize, int sort)
{
    return worker->RefreshVideoList(cateId, titleFilter, containSubCate, page, pageSize, sort);
}

QUuid VideoTableModel::GetVideosInfo2(const QStringList& vids, int infoType)
{
    return worker->GetVideosInfo2(vids, infoType);
}

QUuid VideoTableModel::GetVideosInfo(const QStringList& vids, int infoType)
{
    return worker->GetVideosInfo(vids, infoType);
}

QUuid VideoTableModel::DeleteVideos(const QStringList& vids)
{
    return worker->DeleteVideos(vids);
}

QUuid VideoTableModel::MoveVideos(const QStringList& vids, qulonglong dstCateId)
{
    return worker->MoveVideos(vids, dstCateId);
}

QUuid VideoTableModel::UpdateVideoInfo(const QString& vid, const QString& title,
                                       const QString& tags, const QString& desc)
{
    return worker->UpdateVideoInfo(vid, title, tags, desc);
}

QUuid VideoTableModel::ChangeVideoCover(const QString& vid, const QUrl& url)
{
    return worker->ChangeVideoCover(vid, url);
}

QUuid VideoTableModel::UploadVideoCover(const QString& vid, const QFileInfo& fileinfo)
{
    return worker->UploadVideoCover(vid, fileinfo);
}

int VideoTableModel::CheckedCount() const
{
    return CheckedVids().size();
}

QStringList VideoTableModel::CheckedVids() const
{
    QStringList vids;
    for (int row = 0; row < rowCount(); ++row) {
        const QStandardItem* first = item(row, 0);
        if (first && first->checkState() == Qt::Checked) {
            vids.append(first->data(Role(DataRole::Vid)).toString());
        }
    }
    return vids;
}

QString VideoTableModel::TitleOfVid(const QString& vid) const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (RowData(row, DataRole::Vid).toString() == vid) {
            return RowData(row, DataRole::Title).toString();
        }
    }
    return QString();
}

QStringList VideoTableModel::UploadingVids(const QStringList& vids) const
{
    QStringList uploading;
    for (int row = 0; row < rowCount(); ++row) {
        const QString vid = RowData(row, DataRole::Vid).toString();
        if (vids.contains(vid) &&
            RowData(row, DataRole::Status).toInt() == int(VideoStatus::Uploading)) {
            uploading.append(vid);
        }
    }
    return uploading;
}

QStringList VideoTableModel::VidsByClientUpload(const QStringList& vids, bool inClient) const
{
    QStringList result;
    for (const QString& vid : vids) {
        const bool held = uploads.HasTask(vid);
        if (held == inClient) {
            result.append(vid);
        }
    }
    return result;
}

void VideoTableModel::Clear()
{
    removeRows(0, rowCount());
}

void VideoTableModel::StopAllTasksAndWait()
{
    worker->StopAllTasksAndWait();
}

const QList<ApiCollection::VideoInfo>& VideoTableModel::LoadedVideoInfos()
{
    return LoadedInfos();
}

void VideoTableModel::FillRows(const QList<ApiCollection::VideoInfo>& videos,
                               qulonglong currentCateId)
{
    LoadedInfos() = videos;
    removeRows(0, rowCount());
    for (const ApiCollection::VideoInfo& video : videos) {
        appendRow(BuildRow(video, currentCateId));
    }
    emit layoutChanged();
}

QList<QStandardItem*> VideoTableModel::BuildRow(const ApiCollection::VideoInfo& video,
                                                qulonglong currentCateId) const
{
    QList<QStandardItem*> row;
    for (int column = 0; column < Col(Column::ColumnSize); ++column) {
        auto* cell = new QStandardItem;
        cell->setTextAlignment(column == Col(Column::DisplayInfo) ? kLeft : kCentre);
        row.append(cell);
    }
    QStandardItem* first = row[Col(Column::Selected)];
    first->setCheckState(Qt::Unchecked);
    first->setData(video.vid, Role(DataRole::Vid));
    first->setData(qulonglong(video.cateId), Role(DataRole::CateId));
    first->setData(video.cateName, Role(DataRole::CateName));
    first->setData(video.title, Role(DataRole::Title));
    first->setData(video.description, Role(DataRole::Description));
    first->setData(video.duration, Role(DataRole::Duration));
    first->setData(video.thumbnailURL, Role(DataRole::ThumbnailURL));
    first->setData(video.coverURL, Role(DataRole::CoverURL));
    first->setData(video.creationTime, Role(DataRole::CreationTime));
    first->setData(video.updateTime, Role(DataRole::UpdateTime));
    first->setData(qulonglong(video.size), Role(DataRole::FileSize));
    first->setData(video.status, Role(DataRole::Status));
    first->setData(video.tags, Role(DataRole::Tags));
    first->setData(video.uploader, Role(DataRole::Uploader));
    first->setData(int(video.playTimes), Role(DataRole::PlayTimes));

    row[Col(Column::Thumbs)]->setData(worker->DefaultThumbnail(), kThumbnailRole);
    row[Col(Column::Uploader)]->setText(video.uploader.isEmpty() ? tr("MainUploader")
                                                                 : video.uploader);
    auto button = [](QStandardItem* cell, QObject* buttonTemplate, bool enabled) {
        cell->setData(1, kButtonCellRole);
        cell->setData(QVariant::fromValue(buttonTemplate), kButtonTemplateRole);
        if (enabled) {
            cell->setData(1, kButtonEnabledRole);
        }
    };
    button(row[Col(Column::CategoryName)], categoryButton, video.cateId != currentCateId);
    row[Col(Column::Edit)]->setText(tr("Edit"));
    button(row[Col(Column::Edit)], editButton, account.canManage);
    row[Col(Column::CodeGen)]->setText(tr("CodeGen"));
    button(row[Col(Column::CodeGen)], codeGenButton, account.canCopyCode);
    return row;
}

QVariant VideoTableModel::RowData(int row, DataRole role) const
{
    const QStandardItem* first = item(row, 0);
    return first ? first->data(Role(role)) : QVariant();
}

QString VideoTableModel::DisplayInfo(int row) const
{
    const QString sizeAndDuration = QStringLiteral("%1 | %2").arg(
        FormatSize(RowData(row, DataRole::FileSize).toULongLong(), 4),
        FormatDuration(quint64(RowData(row, DataRole::Duration).toDouble())));
    return RowData(row, DataRole::Title).toString() + QLatin1Char('\n') + sizeAndDuration +
           QLatin1Char('\n') + RowData(row, DataRole::Vid).toString();
}

QString VideoTableModel::StatusText(int status)
{
    switch (VideoStatus(status)) {
        case VideoStatus::Uploading:
            return tr("VideoStatus.Uploading");
        case VideoStatus::Syncing:
            return tr("VideoStatus.Syncing");
        case VideoStatus::SyncFailed:
            return tr("VideoStatus.SyncFailed");
        case VideoStatus::WaitingProcess:
            return tr("VideoStatus.WaitingProcess");
        case VideoStatus::Transcoding:
            return tr("VideoStatus.Transcoding");
        case VideoStatus::TranscodeFailed:
            return tr("VideoStatus.TranscodeFailed");
        case VideoStatus::SourceFileIllegal:
            return tr("VideoStatus.SourceFileIllegal");
        case VideoStatus::WaitingReview:
            return tr("VideoStatus.WaitingReview");
        case VideoStatus::ReviewNoPass:
            return tr("VideoStatus.ReviewNoPass");
        case VideoStatus::Reviewing:
            return tr("VideoStatus.Reviewing");
        case VideoStatus::Forbidden:
            return tr("VideoStatus.Forbidden");
        case VideoStatus::Release:
        case VideoStatus::ReleaseByAutoCensored:
            return tr("VideoStatus.Release");
        default:
            return tr("unknown");
    }
}

QVariant VideoTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) {
        return QStandardItemModel::data(index, role);
    }
    const int row = index.row();
    const Column column = Column(index.column());
    if (role == Qt::DisplayRole) {
        switch (column) {
            case Column::DisplayInfo:
                return DisplayInfo(row);
            case Column::CategoryName:
                return categoryModel
                           ? categoryModel->CateName(RowData(row, DataRole::CateId).toULongLong())
                           : QString();
            case Column::UploadTime:
                return RowData(row, DataRole::CreationTime)
                    .toString()
                    .replace(QLatin1Char(' '), QLatin1Char('\n'));
            case Column::Status:
                return StatusText(RowData(row, DataRole::Status).toInt());
            default:
                break;
        }
    } else if (role == Qt::ToolTipRole) {
        if (column == Column::DisplayInfo) {
            if (QStandardItemModel::data(index, kButtonEnabledRole).toInt() != 0) {
                return tr("VideoTableView.CopyVid");
            }
            return DisplayInfo(row).toHtmlEscaped();
        }
        if (column == Column::CategoryName) {
            QStringList names;
            if (categoryModel) {
                const QList<QModelIndex> path =
                    categoryModel->IndexPathOfCateId(RowData(row, DataRole::CateId).toULongLong());
                for (const QModelIndex& step : path) {
                    names.append(step.data(Qt::DisplayRole).toString());
                }
            }
            return QStringLiteral("<p style='white-space:pre'>%1</p>")
                .arg(names.join(QLatin1Char('>')).toHtmlEscaped());
        }
    }
    return QStandardItemModel::data(index, role);
}

void VideoTableModel::OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                    const QVector<int>& roles)
{
    if (topLeft.column() != 0 || !roles.contains(Qt::CheckStateRole)) {
        return;
    }
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        emit SignalCheckStateChanged(index(row, 0, topLeft.parent()));
    }
}

void VideoTableModel::OnListLoadStarted()
{
    emit SignalRefreshVideoListAboutToDo();
    emit SignalVideoListAvailable(false);
}

void VideoTableModel::OnTaskEnded(const VideoTaskResult& result)
{
    const bool succeeded = result.outcome == VideoTaskResult::Succeeded;
    const bool failed = result.outcome == VideoTaskResult::Failed;
    if (result.fillsTable) {
        ApplyListLoad(result);
    } else {
        switch (TaskType(result.type)) {
            case TaskType::GetVideosInfo:
                if (succeeded) {
                    emit SignalGetVideosInfoSucceed(result.infos);
                } else if (failed) {
                    emit SignalGetVideosInfoFailed(result.error);
                }
                break;
            case TaskType::DeleteVideo:
                if (succeeded && !result.deleteErrors.isEmpty()) {
                    emit SignalDeleteVideosFailed(result.deleteErrors);
                } else if (succeeded) {
                    emit SignalDeleteVideosSucceed(result.vids);
                }
                break;
            case TaskType::MoveVideo:
                if (succeeded) {
                    emit SignalMoveVideoSucceed(result.vids, result.cateId);
                } else if (failed) {
                    emit SignalMoveVideoFailed(result.error);
                }
                break;
            case TaskType::UpdateVideoInfo:
                if (succeeded) {
                    emit SignalUpdateVideoInfoSucceed(result.vid, result.title, result.tags,
                                                      result.desc);
                } else if (failed) {
                    emit SignalUpdateVideoInfoFailed(result.error);
                }
                break;
            case TaskType::ChangeVideoCover:
                if (succeeded) {
                    emit SignalChangeVideoCoverSucceed(result.vid, result.coverUrl,
                                                       result.thumbsUrl);
                } else if (failed) {
                    emit SignalChangeVideoCoverFailed(result.error);
                }
                break;
            case TaskType::UploadVideoCover:
                if (succeeded) {
                    emit SignalUploadVideoCoverSucceed(result.vid, result.fileinfo, result.coverUrl,
                                                       result.thumbsUrl);
                } else if (failed) {
                    emit SignalUploadVideoCoverFailed(result.error);
                }
                break;
            default:
                break;
        }
    }
    emit SignalTaskEndStatus(result.uuid, result.endStatus);
}

void VideoTableModel::ApplyListLoad(const VideoTaskResult& result)
{
    switch (result.outcome) {
        case VideoTaskResult::NoOutcome:
            return;
        case VideoTaskResult::Succeeded:
            FillRows(result.videos, result.cateId);
            // The thumbnails of the new rows load first, then the page hears of them.
            worker->LoadThumbs(account.userId);
            emit SignalRefreshVideoListSucceed(result.pageNumber, result.totalPages,
                                               result.pageSize);
            break;
        case VideoTaskResult::Failed:
            emit SignalRefreshVideoListFailed(result.error);
            break;
        case VideoTaskResult::Aborted:
            emit SignalRefreshVideoListAbort();
            break;
    }
    emit SignalVideoListAvailable(true);
    emit SignalRefreshVideoListDone();
    if (result.outcome == VideoTaskResult::Succeeded && result.byVids) {
        emit SignalGetVideoListDone(result.videos.size());
    }
}

void VideoTableModel::OnThumbImage(const QString& vid, const QImage& image)
{
    const QPixmap pixmap = QPixmap::fromImage(image);
    for (int row = 0; row < rowCount(); ++row) {
        if (RowData(row, DataRole::Vid).toString() != vid) {
            continue;
        }
        // One repaint at the end of the batch instead of one per thumbnail.
        const bool blocked = blockSignals(true);
        item(row, Col(Column::Thumbs))->setData(pixmap, kThumbnailRole);
        blockSignals(blocked);
        break;
    }
    emit SignalThumbsAlready(vid, pixmap);
}

void VideoTableModel::OnThumbsDone()
{
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}
