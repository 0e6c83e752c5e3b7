#include "ui/library/VideoEditDialog.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStyle>
#include <QTextCursor>
#include <QTimer>
#include <QtConcurrent>

#include "api/ApiDownload.h"
#include "api/ApiErrors.h"
#include "app/DataDir.h"
#include "app/Format.h"
#include "app/TextValidator.h"
#include "models/CoverFileCheck.h"
#include "models/VideoTableModel.h"
#include "ui/common/MsgBox.h"
#include "ui/common/Toast.h"
#include "ui/common/UiResources.h"
#include "ui/library/VideoEditDialogForm.h"

namespace {

void Repolish(QWidget* widget)
{
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->update();
}

QImage ScaledTo(const QImage& image, const QSize& size, qreal ratio)
{
    QImage scaled = image.scaled(size * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    return scaled;
}

}  // namespace

VideoEditDialog::VideoEditDialog(QWidget* parent) : QDialog(parent), ui(new VideoEditDialogForm)
{
    Build();
    SetMode(0);
}

VideoEditDialog::VideoEditDialog(VideoTableModel& videos, QWidget* parent)
    : QDialog(parent), ui(new VideoEditDialogForm), videos(&videos)
{
    Build();
    ConnectModel();
    SetMode(2);
}

VideoEditDialog::~VideoEditDialog()
{
    StopDownloads();
    qDeleteAll(labelInfos);
    delete ui;
}

void VideoEditDialog::Build()
{
    UiResources::Init();
    qRegisterMetaType<VideoEditDialog::LabelInfo*>();
    ui->SetupUi(this);
    for (QLabel* label : qAsConst(ui->snapshotLabels)) {
        auto* info = new LabelInfo;
        info->label = label;
        label->installEventFilter(this);
        labelInfos.append(info);
    }
    auto* selected = new LabelInfo;
    selected->label = ui->coverSelectedLabel;
    labelInfos.append(selected);

    connect(ui->basicInfoButton, &QPushButton::clicked, this, [this] { ShowPage(0); });
    connect(ui->coverInfoButton, &QPushButton::clicked, this, [this] { ShowPage(1); });
    connect(ui->okButton, &QPushButton::clicked, this, &VideoEditDialog::OnOkClicked);
    connect(ui->cancelButton, &QPushButton::clicked, this, &VideoEditDialog::reject);
    connect(ui->titleLineEdit, &QLineEdit::textChanged, this, &VideoEditDialog::UpdateCounters);
    connect(ui->tagsLineEdit, &QLineEdit::textChanged, this, &VideoEditDialog::UpdateCounters);
    connect(ui->descPlainTextEdit, &QPlainTextEdit::textChanged, this,
            &VideoEditDialog::OnDescriptionChanged);
    connect(ui->uploadCoverButton, &QPushButton::clicked, this,
            &VideoEditDialog::OnUploadCoverClicked);
    connect(ui->deleteCoverButton, &QPushButton::clicked, this,
            &VideoEditDialog::OnDeleteCoverClicked);
    connect(this, &VideoEditDialog::SignalLabelUpdatePixmap, this,
            &VideoEditDialog::OnLabelUpdatePixmap, Qt::QueuedConnection);
    connect(this, &VideoEditDialog::SignalCoverClicked, this, &VideoEditDialog::OnCoverClicked);
    ShowPage(0);
    UpdateCounters();
}

void VideoEditDialog::ConnectModel()
{
    VideoTableModel* model = videos;
    connect(
        model, &VideoTableModel::SignalUpdateVideoInfoSucceed, this,
        [this](const QString& id, const QString& title, const QString& tags, const QString& desc) {
            if (updateTask.isNull() || id != vid) {
                return;
            }
            updateTask = QUuid();
            loadedTitle = title;
            loadedTags = tags;
            loadedDesc = desc;
            SetButtonsEnabled(true);
            accept();
        });
    connect(model, &VideoTableModel::SignalUpdateVideoInfoFailed, this,
            [this](const QString& error) { updateError = error; });
    connect(model, &VideoTableModel::SignalGetVideosInfoSucceed, this,
            &VideoEditDialog::OnVideosInfo);
    connect(model, &VideoTableModel::SignalGetVideosInfoFailed, this,
            [this](const QString& error) { infoError = error; });
    connect(model, &VideoTableModel::SignalChangeVideoCoverSucceed, this,
            [this](const QString& id, const QUrl& cover, const QUrl&) {
                if (changeCoverTask.isNull() || id != vid) {
                    return;
                }
                changeCoverTask = QUuid();
                LabelInfo* chosen = nullptr;
                for (int i = 0; i < kSnapshotCount; ++i) {
                    if (labelInfos.at(i)->label->property("selected").toBool()) {
                        chosen = labelInfos.at(i);
                    }
                }
                previousSelected = chosen ? chosen->label : nullptr;
                LabelInfo* current = labelInfos.last();
                current->url = cover;
                if (chosen && !chosen->image.isNull()) {
                    current->image = chosen->image;
                    current->scaled = QImage();
                    ShowOnLabel(current);
                }
                Tip(tr("VideoEditDialog.ChangeCoverSucceed"));
            });
    connect(model, &VideoTableModel::SignalChangeVideoCoverFailed, this,
            [this](const QString& error) { changeError = error; });
    connect(model, &VideoTableModel::SignalUploadVideoCoverSucceed, this,
            [this](const QString& id, const QFileInfo&, const QUrl& cover, const QUrl&) {
                if (uploadCoverTask.isNull() || id != vid) {
                    return;
                }
                uploadCoverTask = QUuid();
                uploadedCoverUrl = cover;
                ShowOwnCover(ownCover, false);
                SetSelected(nullptr);
                previousSelected = nullptr;
                Tip(tr("VideoEditDialog.UploadCoverSucceed"));
                QMetaObject::invokeMethod(this, "DownloadUploadCover", Qt::QueuedConnection);
            });
    connect(model, &VideoTableModel::SignalUploadVideoCoverFailed, this,
            [this](const QString& error) { uploadError = error; });
    connect(model, &VideoTableModel::SignalTaskEndStatus, this, &VideoEditDialog::OnTaskEnd);
    connect(model, &VideoTableModel::SignalTaskRunningSlowly, this,
            [this](VideoTableModel::TaskType, bool isFinish) {
                if (!isFinish && IsBusy()) {
                    Tip(tr("TaskRunningSlowly"));
                }
            });
}

void VideoEditDialog::SetMode(int value)
{
    mode = value;
    const bool library = mode != 0;
    for (QWidget* widget : qAsConst(ui->libraryRows)) {
        widget->setVisible(library);
    }
    // The upload mode has fewer rows, so a shorter window.
    setFixedSize(800, library ? 600 : 470);
    const bool pages = mode == 2 && videos;
    ui->basicInfoButton->parentWidget()->setVisible(pages);
    if (!pages) {
        ShowPage(0);
    }
}

void VideoEditDialog::SetTitle(const QString& title)
{
    loadedTitle = title.left(kTitleMax);
    ui->titleLineEdit->setText(loadedTitle);
}

void VideoEditDialog::SetTags(const QString& tags)
{
    loadedTags = tags.left(kTagsMax);
    ui->tagsLineEdit->setText(loadedTags);
}

void VideoEditDialog::SetDescription(const QString& desc)
{
    loadedDesc = desc.left(kDescMax);
    ui->descPlainTextEdit->setPlainText(loadedDesc);
}

void VideoEditDialog::SetFileSize(quint64 bytes)
{
    ui->fileSizeLabel->setText(FormatSize(bytes, 4));
}

void VideoEditDialog::SetVid(const QString& value)
{
    vid = value;
    ui->vidLabel->setText(value);
}

void VideoEditDialog::SetDuration(double seconds)
{
    ui->durationLabel->setText(FormatDuration(quint64(qMax(0.0, seconds))));
}

void VideoEditDialog::SetUploadTime(const QString& time)
{
    ui->uploadTimeLabel->setText(time);
}

void VideoEditDialog::SetModifyTime(const QString& time)
{
    ui->modifyTimeLabel->setText(time);
}

void VideoEditDialog::SetVideoInfo(const ApiCollection::VideoInfo& info)
{
    SetVid(info.vid);
    SetTitle(info.title);
    SetTags(info.tags);
    SetDescription(info.description);
    SetFileSize(info.size);
    SetDuration(info.duration);
    SetUploadTime(info.creationTime);
    SetModifyTime(info.updateTime);
}

void VideoEditDialog::SetVideoRow(const QModelIndex& index)
{
    using Role = VideoTableModel::DataRole;
    const QModelIndex first = index.siblingAtColumn(0);
    ApiCollection::VideoInfo info;
    info.vid = first.data(int(Role::Vid)).toString();
    info.title = first.data(int(Role::Title)).toString();
    info.tags = first.data(int(Role::Tags)).toString();
    info.description = first.data(int(Role::Description)).toString();
    info.size = first.data(int(Role::FileSize)).toULongLong();
    info.duration = first.data(int(Role::Duration)).toDouble();
    info.creationTime = first.data(int(Role::CreationTime)).toString();
    info.updateTime = first.data(int(Role::UpdateTime)).toString();
    SetVideoInfo(info);
}

QString VideoEditDialog::Title() const
{
    return ui->titleLineEdit->text();
}

QString VideoEditDialog::Tags() const
{
    return ui->tagsLineEdit->text();
}

QString VideoEditDialog::Description() const
{
    return ui->descPlainTextEdit->toPlainText();
}

bool VideoEditDialog::IsBusy() const
{
    return !updateTask.isNull() || !changeCoverTask.isNull() || !uploadCoverTask.isNull();
}

bool VideoEditDialog::IsLoadingCovers() const
{
    return !infoTask.isNull() || download.isRunning() || coversArriving;
}

void VideoEditDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QWidget* host = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect area = host       ? host->frameGeometry()
                       : screen() ? screen()->availableGeometry()
                                  : QRect();
    if (area.isValid()) {
        move(area.center() - rect().center());
    }
    activateWindow();
    setFocus();
    if (mode == 2 && videos && !coversRequested) {
        coversRequested = true;
        LoadCoverInfo();
    }
}

void VideoEditDialog::ShowPage(int index)
{
    ui->stackedWidget->setCurrentIndex(index);
    ui->basicInfoButton->setChecked(index == 0);
    ui->coverInfoButton->setChecked(index == 1);
}

void VideoEditDialog::UpdateCounters()
{
    const QString form = QStringLiteral("%1/%2");
    ui->titleCountLabel->setText(form.arg(ui->titleLineEdit->text().size()).arg(kTitleMax));
    ui->tagsCountLabel->setText(form.arg(ui->tagsLineEdit->text().size()).arg(kTagsMax));
    ui->descCountLabel->setText(
        form.arg(ui->descPlainTextEdit->document()->characterCount() - 1).arg(kDescMax));
}

void VideoEditDialog::OnDescriptionChanged()
{
    const QString text = ui->descPlainTextEdit->toPlainText();
    if (text.size() > kDescMax) {
        const QSignalBlocker blocker(ui->descPlainTextEdit);
        ui->descPlainTextEdit->setPlainText(text.left(kDescMax));
        QTextCursor cursor = ui->descPlainTextEdit->textCursor();
        cursor.movePosition(QTextCursor::End);
        ui->descPlainTextEdit->setTextCursor(cursor);
    }
    UpdateCounters();
}

bool VideoEditDialog::Validate()
{
    bool valid = true;
    const QList<QPair<QWidget*, QString>> fields = {{ui->titleLineEdit, Title()},
                                                    {ui->tagsLineEdit, Tags()},
                                                    {ui->descPlainTextEdit, Description()}};
    for (const auto& field : fields) {
        const bool ok = TextValidator::IsValid(field.second);
        field.first->setProperty("status", ok ? QString() : QStringLiteral("error"));
        Repolish(field.first);
        valid = valid && ok;
    }
    if (!valid) {
        Tip(tr("VideoEditDialog.InvalidInput"));
    }
    return valid;
}

void VideoEditDialog::OnOkClicked()
{
    if (Title().trimmed().isEmpty()) {
        Tip(tr("VideoEditDialog.EmptyTitle"));
        return;
    }
    if (mode == 0 || !videos) {
        if (Validate()) {
            loadedTitle = Title();
            loadedTags = Tags();
            loadedDesc = Description();
            accept();
        }
        return;
    }
    if (Title() == loadedTitle && Tags() == loadedTags && Description() == loadedDesc) {
        accept();
        return;
    }
    if (!Validate()) {
        return;
    }
    SetButtonsEnabled(false);
    updateTask = videos->UpdateVideoInfo(vid, Title(), Tags(), Description());
}

void VideoEditDialog::SetButtonsEnabled(bool enabled)
{
    ui->okButton->setEnabled(enabled);
    ui->cancelButton->setEnabled(enabled);
}

void VideoEditDialog::Tip(const QString& text)
{
    Toast::ShowToastInParent(this, text);
}

void VideoEditDialog::done(int result)
{
    if (!updateTask.isNull()) {
        Tip(tr("VideoEditDialog.CloseWhenUpdateVideoInfo!"));
        return;
    }
    if (!changeCoverTask.isNull()) {
        Tip(tr("VideoEditDialog.CloseWhenChanging!"));
        return;
    }
    if (!uploadCoverTask.isNull()) {
        Tip(tr("VideoEditDialog.CloseWhenUploading!"));
        return;
    }
    StopDownloads();
    QDialog::done(result);
}

// The model's result signals carry no task, so a failure is only noted when it arrives and
// acted on when one of this dialog's own tasks ends with it. A success has already cleared
// its task by then; an aborted or cancelled task ends quietly.
void VideoEditDialog::OnTaskEnd(const QUuid& uuid, TaskManager::TaskEndStatus status)
{
    if (uuid.isNull()) {
        return;
    }
    const bool failed = status == TaskManager::Exception;
    if (uuid == infoTask) {
        infoTask = QUuid();
        if (failed) {
            Tip(tr("VideoEditDialog.GetVideosInfoFailed: %1").arg(infoError));
        } else if (status == TaskManager::Finished && !coverInfoArrived) {
            qWarning() << "Api GetVideosInfo does not contain vid data:" << vid;
        }
    } else if (uuid == updateTask) {
        updateTask = QUuid();
        SetButtonsEnabled(true);
        if (failed) {
            ShowPage(0);
            Tip(tr("VideoEditDialog.UpdateVideoInfoFailed:") + updateError);
        }
    } else if (uuid == changeCoverTask) {
        changeCoverTask = QUuid();
        SetSelected(previousSelected);
        if (failed) {
            Tip(tr("VideoEditDialog.ChangeCoverFailed: %1").arg(changeError));
        }
    } else if (uuid == uploadCoverTask) {
        uploadCoverTask = QUuid();
        ownCover = QImage();
        ShowOwnCover(QImage(), false);
        if (failed) {
            Tip(tr("VideoEditDialog.UploadCoverFailed: %1").arg(uploadError));
        }
    }
}

QString VideoEditDialog::CacheDir() const
{
    if (!videos || videos->Account().userId.isEmpty()) {
        return QString();
    }
    return DataDirPath(QStringLiteral("thumbs/%1/%2").arg(videos->Account().userId, vid));
}

void VideoEditDialog::LoadCoverInfo()
{
    if (vid.isEmpty()) {
        return;
    }
    infoTask = videos->GetVideosInfo({vid}, int(ApiCollection::Basic | ApiCollection::Snapshot));
}

void VideoEditDialog::OnVideosInfo(const ApiCollection::VideoInfosResult& infos)
{
    if (infoTask.isNull() || coverInfoArrived) {
        return;
    }
    const ApiCollection::VideoInfo* video = nullptr;
    for (const ApiCollection::VideoInfo& candidate : infos.videos) {
        if (candidate.vid == vid) {
            video = &candidate;
        }
    }
    if (!video) {
        return;  // another request's answer, or none for this vid (noted when the task ends)
    }
    coverInfoArrived = true;
    if (!infos.infoTypes.testFlag(ApiCollection::Snapshot)) {
        qWarning() << "Api GetVideosInfo does not contain Snapshot data.";
    }
    if (video->bigImageUrl.size() != kSnapshotCount) {
        qWarning() << "bigImageUrl length is" << video->bigImageUrl.size();
    }
    QLabel* selected = nullptr;
    for (int i = 0; i < kSnapshotCount; ++i) {
        LabelInfo* info = labelInfos.at(i);
        info->url = video->bigImageUrl.value(i);
        const QUrl small = video->imageUrl.value(i);
        if (!video->coverURL.isEmpty() && !info->url.isEmpty() &&
            (video->coverURL == info->url || video->coverURL == small)) {
            selected = info->label;
        }
    }
    SetSelected(selected);
    previousSelected = selected;
    labelInfos.last()->url = video->coverURL;

    // Cached images are shown at once; the others are fetched together.
    const QString dir = CacheDir();
    QList<LabelInfo*> missing;
    for (LabelInfo* info : qAsConst(labelInfos)) {
        if (info->url.isEmpty()) {
            continue;
        }
        const QString file = QDir(dir).filePath(info->url.fileName());
        if (!dir.isEmpty() && QFileInfo::exists(file)) {
            QImage image(file);
            if (!image.isNull()) {
                info->image = image;
                info->scaled = QImage();
                ShowOnLabel(info);
                continue;
            }
            qWarning() << "cache image is invalid:" << file;
        }
        missing.append(info);
    }
    StartDownloads(missing);
}

void VideoEditDialog::StartDownloads(const QList<LabelInfo*>& infos)
{
    const QString dir = CacheDir();
    if (infos.isEmpty() || dir.isEmpty() || download.isRunning()) {
        emit SignalLoadUrlDone();
        return;
    }
    downloadCancel = false;
    coversArriving = true;
    const qreal ratio = devicePixelRatioF();
    download = QtConcurrent::run([this, infos, dir, ratio] {
        QList<ApiCollection::_DownloadInfo> files;
        files.reserve(infos.size());
        for (int i = 0; i < infos.size(); ++i) {
            ApiCollection::_DownloadInfo file;
            file.url = infos.at(i)->url;
            file.fileInfo = QFileInfo(QDir(dir).filePath(infos.at(i)->url.fileName()));
            file.userData = quint64(i);
            files.append(file);
        }
        QList<ApiCollection::_DownloadInfo*> pointers;
        for (auto& file : files) {
            pointers.append(&file);
        }
        const auto result = ApiCollection::MultiDownloadRequest(
            QUuid::createUuid(), pointers,
            [this, infos, ratio](ApiCollection::_DownloadInfo* file, bool ok) {
                if (!ok) {
                    return;
                }
                LabelInfo* info = infos.at(int(file->userData));
                const QImage image(file->fileInfo.absoluteFilePath());
                if (image.isNull()) {
                    qWarning() << "cache image is invalid:" << file->fileInfo.absoluteFilePath();
                    return;
                }
                info->image = image;
                info->scaled = ScaledTo(image, info->label->size(), ratio);
                emit SignalLabelUpdatePixmap(info);
            },
            &downloadCancel);
        if (result != ApiCollection::NoError) {
            qWarning() << "MultiDownload result:" << ApiCollection::requestErrorKey(result);
        }
        // Queued behind the pictures this thread has handed over.
        QMetaObject::invokeMethod(
            this, [this] { coversArriving = false; }, Qt::QueuedConnection);
        emit SignalLoadUrlDone();
    });
}

void VideoEditDialog::OnLabelUpdatePixmap(LabelInfo* info)
{
    if (labelInfos.contains(info)) {
        ShowOnLabel(info);
    }
}

void VideoEditDialog::ShowOnLabel(LabelInfo* info)
{
    if (info->image.isNull()) {
        return;
    }
    if (info->scaled.isNull()) {
        info->scaled = ScaledTo(info->image, info->label->size(), devicePixelRatioF());
    }
    info->pixmap = QPixmap::fromImage(info->scaled);
    info->label->setPixmap(info->pixmap);
    info->label->setProperty("valid", true);
    Repolish(info->label);
}

VideoEditDialog::LabelInfo* VideoEditDialog::InfoOf(QLabel* label)
{
    for (LabelInfo* info : qAsConst(labelInfos)) {
        if (info->label == label) {
            return info;
        }
    }
    return nullptr;
}

bool VideoEditDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* label = qobject_cast<QLabel*>(watched);
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (label && label->rect().contains(mouse->pos()) && label->property("valid").toBool() &&
            !download.isRunning() && InfoOf(label)) {
            emit SignalCoverClicked(label);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void VideoEditDialog::SetSelected(QLabel* label)
{
    for (int i = 0; i < kSnapshotCount; ++i) {
        QLabel* each = labelInfos.at(i)->label;
        const bool selected = each == label;
        each->setProperty("selected", selected);
        if (auto* mark = each->findChild<QLabel*>(QStringLiteral("selectedMark"))) {
            mark->setVisible(selected);
        }
        Repolish(each);
    }
}

void VideoEditDialog::OnCoverClicked(QLabel* label)
{
    LabelInfo* info = InfoOf(label);
    if (!info || !videos || label == ui->coverSelectedLabel) {
        return;
    }
    const bool already = label->property("selected").toBool();
    SetSelected(label);
    if (already || !changeCoverTask.isNull() || !uploadCoverTask.isNull()) {
        if (!already) {
            SetSelected(previousSelected);
        }
        return;
    }
    changeCoverTask = videos->ChangeVideoCover(vid, info->url);
}

void VideoEditDialog::OnUploadCoverClicked()
{
    if (!ownCover.isNull() &&
        MsgBox::Info(this, tr("SystemTip"), tr("VideoEditDialog.ReUploadCoverWillOverride?"),
                     QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
        return;
    }
    static QString lastFolder;
    if (lastFolder.isEmpty()) {
        lastFolder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    }
    const QString filter = QStringLiteral("%1 (%2)").arg(
        tr("VideoEditDialog.SupportImageFormat"), QStringLiteral("*.jpg *.png *.jpeg *.gif *.bmp"));
    const QString path =
        QFileDialog::getOpenFileName(this, tr("VideoEditDialog.ChoiceFile"), lastFolder, filter);
    if (path.isEmpty()) {
        return;
    }
    lastFolder = QFileInfo(path).absolutePath();
    UploadCover(path);
}

void VideoEditDialog::UploadCover(const QString& path)
{
    if (!videos || vid.isEmpty() || !uploadCoverTask.isNull()) {
        return;
    }
    switch (CoverFileCheck::Check(path)) {
        case CoverFileCheck::Result::Ok:
            break;
        case CoverFileCheck::Result::TooLarge:
            Tip(tr("VideoEditDialog.UploadCoverFileSizeTooLarge"));
            return;
        case CoverFileCheck::Result::ResolutionTooLarge:
            Tip(tr("VideoEditDialog.UploadCoverResolutionTooLarge"));
            return;
        case CoverFileCheck::Result::Missing:
        case CoverFileCheck::Result::Unreadable:
            Tip(tr("VideoEditDialog.UploadCoverUnreadable"));
            return;
    }
    QImage image(path);
    if (image.isNull()) {
        Tip(tr("VideoEditDialog.UploadCoverUnreadable"));
        return;
    }
    qInfo() << "Start upload cover:" << path;
    ownCover = image;
    ShowOwnCover(ownCover, true);
    uploadCoverTask = videos->UploadVideoCover(vid, QFileInfo(path));
}

void VideoEditDialog::ShowOwnCover(const QImage& image, bool uploading)
{
    ui->uploadCoverButton->setEnabled(!uploading);
    ui->deleteCoverButton->setEnabled(!uploading && !image.isNull());
    ui->uploadThumbsLabel->setProperty("valid", !image.isNull());
    if (image.isNull()) {
        VideoEditDialogForm::ShowDefaultPicture(ui->uploadThumbsLabel);
        Repolish(ui->uploadThumbsLabel);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    QImage shown = ScaledTo(image, ui->uploadThumbsLabel->size(), ratio);
    if (uploading) {
        // A darkened copy with the state written over it.
        shown = shown.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&shown);
        const QRectF area(QPointF(0, 0), QSizeF(shown.size()) / ratio);
        painter.fillRect(area, QColor(0, 0, 0, 140));
        painter.setPen(Qt::white);
        QFont font = painter.font();
        font.setPixelSize(13);
        painter.setFont(font);
        painter.drawText(area, Qt::AlignCenter, tr("VideoEditDialog.Uploading..."));
    }
    ui->uploadThumbsLabel->setPixmap(QPixmap::fromImage(shown));
    Repolish(ui->uploadThumbsLabel);
}

void VideoEditDialog::OnDeleteCoverClicked()
{
    if (!uploadCoverTask.isNull()) {
        return;
    }
    // The platform keeps the uploaded cover; only the local preview goes.
    ownCover = QImage();
    ShowOwnCover(QImage(), false);
}

void VideoEditDialog::DownloadUploadCover()
{
    if (uploadedCoverUrl.isEmpty()) {
        return;
    }
    if (download.isRunning()) {
        // The snapshots are still arriving; their download owns the cover label until then.
        QTimer::singleShot(100, this, &VideoEditDialog::DownloadUploadCover);
        return;
    }
    LabelInfo* current = labelInfos.last();
    current->url = uploadedCoverUrl;
    if (!ownCover.isNull()) {
        // Shown from the local file until the platform's copy is in the cache.
        current->image = ownCover;
        current->scaled = QImage();
        ShowOnLabel(current);
    }
    StartDownloads({current});
}

void VideoEditDialog::StopDownloads()
{
    if (download.isRunning()) {
        qInfo() << "multi download running, stop running task";
        downloadCancel = true;
        download.waitForFinished();
    }
}
