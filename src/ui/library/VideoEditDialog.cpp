#include "ui/library/VideoEditDialog.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
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
#include <QVBoxLayout>
#include <QtConcurrent>

#include "api/ApiDownload.h"
#include "api/ApiErrors.h"
#include "app/Application.h"
#include "app/DataDir.h"
#include "app/Format.h"
#include "app/TextValidator.h"
#include "models/CoverFileCheck.h"
#include "models/VideoTableModel.h"
#include "ui/common/LineEditProxyStyle.h"
#include "ui/common/MsgBox.h"
#include "ui/common/TitleBar.h"
#include "ui/common/Toast.h"
#include "ui/common/UiResources.h"

namespace {

const QString kDefaultThumb = QStringLiteral(":/image/common/icon_default_video_thumbs.svg");
const QString kSelectedIcon = QStringLiteral(":/image/common/icon_selected.svg");
const QSize kSnapshotSize(150, 84);
const QSize kSelectedSize(224, 126);
const QSize kOwnCoverSize(150, 84);

QLabel* Caption(const QString& text, QWidget* parent, const char* name = nullptr)
{
    auto* label = new QLabel(text, parent);
    if (name) {
        label->setObjectName(QLatin1String(name));
    }
    return label;
}

void Repolish(QWidget* widget)
{
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->update();
}

// A cover label: the default picture until an image arrives, a check mark when chosen.
QLabel* CoverLabel(const char* name, const QSize& size, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFixedSize(size);
    label->setAlignment(Qt::AlignCenter);
    label->setProperty("valid", false);
    label->setProperty("selected", false);
    label->setPixmap(QIcon(kDefaultThumb).pixmap(QSize(48, 48)));
    auto* mark = new QLabel(label);
    mark->setObjectName(QStringLiteral("selectedMark"));
    mark->setPixmap(QIcon(kSelectedIcon).pixmap(QSize(20, 20)));
    mark->setFixedSize(20, 20);
    mark->move(size.width() - 24, 4);
    mark->hide();
    return label;
}

QImage ScaledTo(const QImage& image, const QSize& size, qreal ratio)
{
    QImage scaled = image.scaled(size * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    return scaled;
}

}  // namespace

VideoEditDialog::VideoEditDialog(QWidget* parent) : QDialog(parent)
{
    Build();
    SetMode(0);
}

VideoEditDialog::VideoEditDialog(VideoTableModel& videos, const QString& userId, QWidget* parent)
    : QDialog(parent), videos(&videos), userId(userId)
{
    Build();
    ConnectModel();
    SetMode(2);
}

VideoEditDialog::~VideoEditDialog()
{
    StopDownloads();
    qDeleteAll(labelInfos);
}

void VideoEditDialog::Build()
{
    UiResources::Init();
    qRegisterMetaType<VideoEditDialog::LabelInfo*>();
    setObjectName(QStringLiteral("VideoEditDialog"));
    setWindowTitle(tr("VideoEditDialog.WindowTitle"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(Application::LoadStyleSheet(QStringLiteral("System.qss")) +
                  Application::LoadStyleSheet(QStringLiteral("TitleBar.qss")) +
                  Application::LoadStyleSheet(QStringLiteral("VideoEditDialog.qss")));
    setFixedSize(800, 600);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    titleBar = new TitleBar(this);
    titleBar->setObjectName(QStringLiteral("titleWidget"));
    titleBar->SetHost(this);
    titleBar->SetMinimumButtonVisible(false);
    titleBar->SetMaximumButtonVisible(false);
    titleBar->SetBottomLine(true);
    layout->addWidget(titleBar);

    auto* pages = new QWidget(this);
    pages->setObjectName(QStringLiteral("pageButtonWidget"));
    pages->setAttribute(Qt::WA_StyledBackground);
    auto* pagesLayout = new QHBoxLayout(pages);
    pagesLayout->setContentsMargins(24, 0, 24, 0);
    pagesLayout->setSpacing(24);
    basicInfoButton = new QPushButton(tr("VideoEditDialog.BasicInfo"), pages);
    basicInfoButton->setObjectName(QStringLiteral("basicInfoButton"));
    coverInfoButton = new QPushButton(tr("VideoEditDialog.CoverInfo"), pages);
    coverInfoButton->setObjectName(QStringLiteral("coverInfoButton"));
    for (QPushButton* button : {basicInfoButton, coverInfoButton}) {
        button->setCheckable(true);
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::NoFocus);
        pagesLayout->addWidget(button);
    }
    pagesLayout->addStretch(1);
    layout->addWidget(pages);

    stackedWidget = new QStackedWidget(this);
    stackedWidget->setObjectName(QStringLiteral("stackedWidget"));
    stackedWidget->addWidget(BuildBasicPage());
    stackedWidget->addWidget(BuildCoverPage());
    layout->addWidget(stackedWidget, 1);

    auto* buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("buttonWidget"));
    buttons->setAttribute(Qt::WA_StyledBackground);
    auto* buttonsLayout = new QHBoxLayout(buttons);
    buttonsLayout->setContentsMargins(24, 12, 24, 20);
    buttonsLayout->setSpacing(16);
    buttonsLayout->addStretch(1);
    cancelButton = new QPushButton(tr("VideoEditDialog.Cancel"), buttons);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    okButton = new QPushButton(tr("VideoEditDialog.OK"), buttons);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setProperty("Style", QStringLiteral("blue"));
    for (QPushButton* button : {cancelButton, okButton}) {
        button->setAutoDefault(false);
    }
    buttonsLayout->addWidget(cancelButton);
    buttonsLayout->addWidget(okButton);
    layout->addWidget(buttons);

    connect(basicInfoButton, &QPushButton::clicked, this, [this] { ShowPage(0); });
    connect(coverInfoButton, &QPushButton::clicked, this, [this] { ShowPage(1); });
    connect(okButton, &QPushButton::clicked, this, &VideoEditDialog::OnOkClicked);
    connect(cancelButton, &QPushButton::clicked, this, &VideoEditDialog::reject);
    connect(titleLineEdit, &QLineEdit::textChanged, this, &VideoEditDialog::UpdateCounters);
    connect(tagsLineEdit, &QLineEdit::textChanged, this, &VideoEditDialog::UpdateCounters);
    connect(descPlainTextEdit, &QPlainTextEdit::textChanged, this,
            &VideoEditDialog::OnDescriptionChanged);
    connect(this, &VideoEditDialog::SignalLabelUpdatePixmap, this,
            &VideoEditDialog::OnLabelUpdatePixmap, Qt::QueuedConnection);
    connect(this, &VideoEditDialog::SignalCoverClicked, this, &VideoEditDialog::OnCoverClicked);
    ShowPage(0);
    UpdateCounters();
}

QWidget* VideoEditDialog::BuildBasicPage()
{
    auto* page = new QWidget(stackedWidget);
    page->setObjectName(QStringLiteral("basicPage"));
    page->setAttribute(Qt::WA_StyledBackground);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(24, 16, 24, 8);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);
    grid->setColumnStretch(1, 1);

    titleLineEdit = new QLineEdit(page);
    titleLineEdit->setObjectName(QStringLiteral("titleLineEdit"));
    titleLineEdit->setPlaceholderText(tr("VideoEditDialog.VideoTiltePlaceholder"));
    titleLineEdit->setMaxLength(kTitleMax);
    LineEditProxyStyle::Fit(titleLineEdit);
    descPlainTextEdit = new QPlainTextEdit(page);
    descPlainTextEdit->setObjectName(QStringLiteral("descPlainTextEdit"));
    descPlainTextEdit->setPlaceholderText(tr("VideoEditDialog.VideoDescPlaceholder"));
    descPlainTextEdit->setTabChangesFocus(true);
    tagsLineEdit = new QLineEdit(page);
    tagsLineEdit->setObjectName(QStringLiteral("tagsLineEdit"));
    tagsLineEdit->setPlaceholderText(tr("VideoEditDialog.VideoTagsPlaceholder"));
    tagsLineEdit->setMaxLength(kTagsMax);
    LineEditProxyStyle::Fit(tagsLineEdit);
    titleCountLabel = Caption(QString(), page, "titleCountLabel");
    descCountLabel = Caption(QString(), page, "descCountLabel");
    tagsCountLabel = Caption(QString(), page, "tagsCountLabel");

    int row = 0;
    auto addEdit = [&](const QString& caption, QWidget* edit, QLabel* counter) {
        auto* label = Caption(caption, page);
        label->setProperty("caption", true);
        const bool multiLine = edit == descPlainTextEdit;
        if (multiLine) {
            label->setContentsMargins(0, 8, 0, 0);
        }
        grid->addWidget(label, row, 0,
                        Qt::AlignRight | (multiLine ? Qt::AlignTop : Qt::AlignVCenter));
        grid->addWidget(edit, row, 1);
        grid->addWidget(counter, row, 2, Qt::AlignLeft | Qt::AlignBottom);
        ++row;
    };
    addEdit(tr("VideoEditDialog.Title:"), titleLineEdit, titleCountLabel);
    addEdit(tr("VideoEditDialog.Desc:"), descPlainTextEdit, descCountLabel);
    addEdit(tr("VideoEditDialog.Tags:"), tagsLineEdit, tagsCountLabel);

    auto addInfo = [&](const QString& caption, const char* name, bool library) {
        auto* label = Caption(caption, page);
        label->setProperty("caption", true);
        auto* value = Caption(QString(), page, name);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, row, 0, Qt::AlignRight);
        grid->addWidget(value, row, 1, 1, 2);
        ++row;
        if (library) {
            libraryRows << label << value;
        }
        return value;
    };
    vidLabel = addInfo(tr("VideoEditDialog.Vid:"), "vidLabel", true);
    durationLabel = addInfo(tr("VideoEditDialog.Duration:"), "durationLabel", true);
    fileSizeLabel = addInfo(tr("VideoEditDialog.FileSize:"), "fileSizeLabel", false);
    uploadTimeLabel = addInfo(tr("VideoEditDialog.UploadTime:"), "uploadTimeLabel", true);
    modifyTimeLabel = addInfo(tr("VideoEditDialog.ModifyTime:"), "modifyTimeLabel", true);
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* VideoEditDialog::BuildCoverPage()
{
    auto* page = new QWidget(stackedWidget);
    page->setObjectName(QStringLiteral("coverPage"));
    page->setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(24, 16, 24, 8);
    layout->setSpacing(24);

    auto* left = new QVBoxLayout;
    left->setSpacing(10);
    left->addWidget(Caption(tr("VideoEditDialog.SelectCover"), page, "selectCoverLabel"));
    auto* grid = new QGridLayout;
    grid->setSpacing(10);
    for (int i = 0; i < kSnapshotCount; ++i) {
        const QByteArray name = "thumbs" + QByteArray::number(i + 1) + "Label";
        auto* info = new LabelInfo;
        info->label = CoverLabel(name.constData(), kSnapshotSize, page);
        info->label->installEventFilter(this);
        info->label->setCursor(Qt::PointingHandCursor);
        labelInfos.append(info);
        grid->addWidget(info->label, i / 3, i % 3);
    }
    left->addLayout(grid);
    left->addSpacing(8);
    left->addWidget(Caption(tr("VideoEditDialog.OwnCover"), page, "ownCoverCaption"));
    auto* own = new QHBoxLayout;
    own->setSpacing(12);
    uploadThumbsLabel = CoverLabel("uploadThumbsLabel", kOwnCoverSize, page);
    own->addWidget(uploadThumbsLabel);
    auto* ownButtons = new QVBoxLayout;
    uploadCoverButton = new QPushButton(tr("VideoEditDialog.UploadCover"), page);
    uploadCoverButton->setObjectName(QStringLiteral("uploadCoverButton"));
    deleteCoverButton = new QPushButton(tr("VideoEditDialog.Delete"), page);
    deleteCoverButton->setObjectName(QStringLiteral("deleteCoverButton"));
    deleteCoverButton->setEnabled(false);
    for (QPushButton* button : {uploadCoverButton, deleteCoverButton}) {
        button->setAutoDefault(false);
        ownButtons->addWidget(button);
    }
    ownButtons->addStretch(1);
    own->addLayout(ownButtons);
    own->addStretch(1);
    left->addLayout(own);
    left->addStretch(1);
    layout->addLayout(left);

    auto* right = new QVBoxLayout;
    right->setSpacing(10);
    right->addWidget(Caption(tr("VideoEditDialog.SelectedCover"), page, "selectedCoverCaption"));
    auto* selected = new LabelInfo;
    selected->label = CoverLabel("coverSelectedLabel", kSelectedSize, page);
    coverSelectedLabel = selected->label;
    labelInfos.append(selected);
    right->addWidget(coverSelectedLabel);
    auto* notice = Caption(tr("VideoEditDialog.CoverNotice"), page, "noticeLabel");
    notice->setWordWrap(true);
    notice->setFixedWidth(kSelectedSize.width());
    right->addWidget(notice);
    right->addStretch(1);
    layout->addLayout(right);

    connect(uploadCoverButton, &QPushButton::clicked, this, &VideoEditDialog::OnUploadCoverClicked);
    connect(deleteCoverButton, &QPushButton::clicked, this, &VideoEditDialog::OnDeleteCoverClicked);
    return page;
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
            [this](const QString& error) {
                if (updateTask.isNull()) {
                    return;
                }
                updateTask = QUuid();
                ShowPage(0);
                SetButtonsEnabled(true);
                Tip(tr("VideoEditDialog.UpdateVideoInfoFailed:") + error);
            });
    connect(model, &VideoTableModel::SignalGetVideosInfoSucceed, this,
            &VideoEditDialog::OnVideosInfo);
    connect(model, &VideoTableModel::SignalGetVideosInfoFailed, this,
            &VideoEditDialog::OnVideosInfoFailed);
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
            [this](const QString& error) {
                if (changeCoverTask.isNull()) {
                    return;
                }
                changeCoverTask = QUuid();
                SetSelected(previousSelected);
                Tip(tr("VideoEditDialog.ChangeCoverFailed: %1").arg(error));
            });
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
            [this](const QString& error) {
                if (uploadCoverTask.isNull()) {
                    return;
                }
                uploadCoverTask = QUuid();
                ownCover = QImage();
                ShowOwnCover(QImage(), false);
                Tip(tr("VideoEditDialog.UploadCoverFailed: %1").arg(error));
            });
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
    for (QWidget* widget : qAsConst(libraryRows)) {
        widget->setVisible(library);
    }
    // The upload mode has fewer rows, so a shorter window.
    setFixedSize(800, library ? 600 : 470);
    const bool pages = mode == 2 && videos;
    basicInfoButton->parentWidget()->setVisible(pages);
    if (!pages) {
        ShowPage(0);
    }
}

void VideoEditDialog::SetTitle(const QString& title)
{
    loadedTitle = title.left(kTitleMax);
    titleLineEdit->setText(loadedTitle);
}

void VideoEditDialog::SetTags(const QString& tags)
{
    loadedTags = tags.left(kTagsMax);
    tagsLineEdit->setText(loadedTags);
}

void VideoEditDialog::SetDescription(const QString& desc)
{
    loadedDesc = desc.left(kDescMax);
    descPlainTextEdit->setPlainText(loadedDesc);
}

void VideoEditDialog::SetFileSize(quint64 bytes)
{
    fileSizeLabel->setText(FormatSize(bytes, 4));
}

void VideoEditDialog::SetVid(const QString& value)
{
    vid = value;
    vidLabel->setText(value);
}

void VideoEditDialog::SetDuration(double seconds)
{
    durationLabel->setText(FormatDuration(quint64(qMax(0.0, seconds))));
}

void VideoEditDialog::SetUploadTime(const QString& time)
{
    uploadTimeLabel->setText(time);
}

void VideoEditDialog::SetModifyTime(const QString& time)
{
    modifyTimeLabel->setText(time);
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
    return titleLineEdit->text();
}

QString VideoEditDialog::Tags() const
{
    return tagsLineEdit->text();
}

QString VideoEditDialog::Description() const
{
    return descPlainTextEdit->toPlainText();
}

bool VideoEditDialog::IsBusy() const
{
    return !updateTask.isNull() || !changeCoverTask.isNull() || !uploadCoverTask.isNull();
}

bool VideoEditDialog::IsLoadingCovers() const
{
    return !infoTask.isNull() || download.isRunning();
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
    stackedWidget->setCurrentIndex(index);
    basicInfoButton->setChecked(index == 0);
    coverInfoButton->setChecked(index == 1);
}

void VideoEditDialog::UpdateCounters()
{
    const QString form = QStringLiteral("%1/%2");
    titleCountLabel->setText(form.arg(titleLineEdit->text().size()).arg(kTitleMax));
    tagsCountLabel->setText(form.arg(tagsLineEdit->text().size()).arg(kTagsMax));
    descCountLabel->setText(
        form.arg(descPlainTextEdit->document()->characterCount() - 1).arg(kDescMax));
}

void VideoEditDialog::OnDescriptionChanged()
{
    const QString text = descPlainTextEdit->toPlainText();
    if (text.size() > kDescMax) {
        const QSignalBlocker blocker(descPlainTextEdit);
        descPlainTextEdit->setPlainText(text.left(kDescMax));
        QTextCursor cursor = descPlainTextEdit->textCursor();
        cursor.movePosition(QTextCursor::End);
        descPlainTextEdit->setTextCursor(cursor);
    }
    UpdateCounters();
}

bool VideoEditDialog::Validate()
{
    bool valid = true;
    const QList<QPair<QWidget*, QString>> fields = {
        {titleLineEdit, Title()}, {tagsLineEdit, Tags()}, {descPlainTextEdit, Description()}};
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
    okButton->setEnabled(enabled);
    cancelButton->setEnabled(enabled);
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

void VideoEditDialog::OnTaskEnd(const QUuid& uuid, TaskManager::TaskEndStatus status)
{
    if (uuid == infoTask) {
        infoTask = QUuid();
    }
    // Finished and failed tasks report through their own signals first; a cancelled or
    // aborted one only ends.
    if (status != TaskManager::Abort && status != TaskManager::Cancel) {
        return;
    }
    if (uuid == updateTask) {
        updateTask = QUuid();
        SetButtonsEnabled(true);
    } else if (uuid == changeCoverTask) {
        changeCoverTask = QUuid();
        SetSelected(previousSelected);
    } else if (uuid == uploadCoverTask) {
        uploadCoverTask = QUuid();
        ShowOwnCover(QImage(), false);
    }
}

QString VideoEditDialog::CacheDir() const
{
    return DataDirPath(QStringLiteral("thumbs/%1/%2").arg(userId, vid));
}

void VideoEditDialog::LoadCoverInfo()
{
    if (vid.isEmpty()) {
        return;
    }
    infoTask = videos->GetVideosInfo({vid}, int(ApiCollection::Basic | ApiCollection::Snapshot));
}

void VideoEditDialog::OnVideosInfoFailed(const QString& error)
{
    if (infoTask.isNull()) {
        return;
    }
    infoTask = QUuid();
    Tip(tr("VideoEditDialog.GetVideosInfoFailed: %1").arg(error));
}

void VideoEditDialog::OnVideosInfo(const ApiCollection::VideoInfosResult& infos)
{
    if (infoTask.isNull()) {
        return;
    }
    infoTask = QUuid();
    const ApiCollection::VideoInfo* video = nullptr;
    for (const ApiCollection::VideoInfo& candidate : infos.videos) {
        if (candidate.vid == vid) {
            video = &candidate;
        }
    }
    if (!video) {
        qWarning() << "Api GetVideosInfo does not contain vid data:" << vid;
        return;
    }
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
    if (!info || !videos || label == coverSelectedLabel) {
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
    uploadCoverButton->setEnabled(!uploading);
    deleteCoverButton->setEnabled(!uploading && !image.isNull());
    uploadThumbsLabel->setProperty("valid", !image.isNull());
    if (image.isNull()) {
        uploadThumbsLabel->setPixmap(QIcon(kDefaultThumb).pixmap(QSize(48, 48)));
        Repolish(uploadThumbsLabel);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    QImage shown = ScaledTo(image, uploadThumbsLabel->size(), ratio);
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
    uploadThumbsLabel->setPixmap(QPixmap::fromImage(shown));
    Repolish(uploadThumbsLabel);
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
