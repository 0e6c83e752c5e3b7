#pragma once

#include <QDialog>
#include <QFuture>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QUrl>
#include <QUuid>

#include "api/ApiVideo.h"
#include "tasks/TaskManager.h"
#include "ui/library/VideoEditDialogForm.h"

class QLabel;
class QModelIndex;
class VideoTableModel;

// Edits the title, description and tags of a video and, for a video of the library, chooses
// its cover among the platform's six snapshots or uploads an own cover image.
//
// Modes: 0 a file about to be uploaded (basic page only, the server-side rows hidden, nothing
// is sent: the caller reads the edited texts), 1 a library video's texts only, 2 (default) a
// library video with both pages. Requests run as tasks of the video model's worker; while one
// runs the dialog refuses to close.
class VideoEditDialog : public QDialog
{
    Q_OBJECT

public:
    // One cover label: a snapshot, the current cover or the own cover.
    struct LabelInfo
    {
        QLabel* label = nullptr;
        QUrl url;
        QImage image;   // the full image, as downloaded
        QImage scaled;  // scaled to the label on the download thread
        QPixmap pixmap;
    };

    static constexpr int kTitleMax = VideoEditDialogForm::kTitleMax;
    static constexpr int kTagsMax = VideoEditDialogForm::kTagsMax;
    static constexpr int kDescMax = 1000;
    static constexpr int kSnapshotCount = VideoEditDialogForm::kSnapshotCount;

    // A file about to be uploaded: no service is needed, only mode 0 makes sense.
    explicit VideoEditDialog(QWidget* parent = nullptr);
    // A video of the library; the covers are cached beside the account's thumbnails, in
    // "thumbs/<userId>/<vid>".
    explicit VideoEditDialog(VideoTableModel& videos, QWidget* parent = nullptr);
    ~VideoEditDialog() override;

    void SetMode(int mode);
    int Mode() const { return mode; }

    void SetTitle(const QString& title);
    void SetTags(const QString& tags);
    void SetDescription(const QString& desc);
    void SetFileSize(quint64 bytes);
    void SetVid(const QString& vid);
    void SetDuration(double seconds);
    void SetUploadTime(const QString& time);
    void SetModifyTime(const QString& time);
    // Every setter above from one record of the library.
    void SetVideoInfo(const ApiCollection::VideoInfo& info);
    // Every setter above from a row of the video table (any column of the row).
    void SetVideoRow(const QModelIndex& index);

    QString Title() const;
    QString Tags() const;
    QString Description() const;
    QString Vid() const { return vid; }

    // Checks the chosen file and, when it passes, uploads it as the video's cover. The upload
    // button runs the confirmation and the file dialog first.
    void UploadCover(const QString& path);
    bool IsBusy() const;
    bool IsLoadingCovers() const;

signals:
    void SignalLoadUrlDone();
    void SignalLabelUpdatePixmap(VideoEditDialog::LabelInfo* info);
    void SignalCoverClicked(QLabel* label);

public slots:
    void DownloadUploadCover();
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    void ConnectModel();
    void ShowPage(int index);
    void UpdateCounters();
    void OnDescriptionChanged();
    bool Validate();
    void OnOkClicked();
    void SetButtonsEnabled(bool enabled);
    void Tip(const QString& text);

    void LoadCoverInfo();
    void OnVideosInfo(const ApiCollection::VideoInfosResult& infos);
    void StartDownloads(const QList<LabelInfo*>& infos);
    void OnLabelUpdatePixmap(LabelInfo* info);
    void ShowOnLabel(LabelInfo* info);
    void OnCoverClicked(QLabel* label);
    void SetSelected(QLabel* label);
    void OnUploadCoverClicked();
    void OnDeleteCoverClicked();
    void ShowOwnCover(const QImage& image, bool uploading);
    void OnTaskEnd(const QUuid& uuid, TaskManager::TaskEndStatus status);
    void StopDownloads();
    QString CacheDir() const;
    LabelInfo* InfoOf(QLabel* label);

    VideoEditDialogForm* ui;
    VideoTableModel* videos = nullptr;

    int mode = 2;
    QString loadedTitle;
    QString loadedTags;
    QString loadedDesc;
    QString vid;
    QUuid updateTask;
    QUuid changeCoverTask;
    QUuid uploadCoverTask;
    QUuid infoTask;
    QList<LabelInfo*> labelInfos;  // six snapshots, then the selected cover
    QLabel* previousSelected = nullptr;
    QImage ownCover;
    QUrl uploadedCoverUrl;
    QFuture<void> download;
    bool downloadCancel = false;
    // Set while downloaded pictures may still be on their way to the labels: cleared on the GUI
    // thread after the last of them, so a finished download means every label is filled.
    bool coversArriving = false;
    bool coversRequested = false;
    bool coverInfoArrived = false;
    // The last failure text of each kind of request, shown when the dialog's own task ends.
    QString infoError;
    QString updateError;
    QString changeError;
    QString uploadError;
};

Q_DECLARE_METATYPE(VideoEditDialog::LabelInfo*)
