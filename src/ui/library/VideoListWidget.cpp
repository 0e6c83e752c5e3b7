#include "ui/library/VideoListWidget.h"

#include <QAction>
#include <QDateTime>
#include <QDebug>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMetaEnum>
#include <QMovie>
#include <QPushButton>
#include <QStandardPaths>
#include <QVariant>

#include "account/AccountManager.h"
#include "api/ApiCollection.h"
#include "app/TextValidator.h"
#include "models/CategoryTreeModel.h"
#include "models/RecursiveFilterProxyModel.h"
#include "models/VideoCsvWriter.h"
#include "models/VideoTableModel.h"
#include "platform/ShowInFolder.h"
#include "ui/common/ComboBoxHelper.h"
#include "ui/common/MsgBox.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/Toast.h"
#include "ui/library/CategoryFilterRule.h"
#include "ui/library/CategoryTreeView.h"
#include "ui/library/CheckableHeaderView.h"
#include "ui/library/DeleteVideoFailedPromptDialog.h"
#include "ui/library/Paginator.h"
#include "ui/library/SelectCategoryDialog.h"
#include "ui/library/SmoothScrollHelper.h"
#include "ui/library/VideoBatchSearchDialog.h"
#include "ui/library/VideoEditDialog.h"
#include "ui/library/VideoTableView.h"
#include "ui_VideoListWidget.h"

namespace {

constexpr int kCateIdRole = int(CategoryTreeModel::DataRole::CateId);
const QString kLoadingGif = QStringLiteral(":/image/common/loading@2x.gif");
const QString kSearchIcon = QStringLiteral(":/image/videoList/icon_search_normal.svg");

QMovie* PlayLoadingGif(QLabel* label)
{
    auto* movie = new QMovie(kLoadingGif, QByteArray(), label);
    movie->setScaledSize(QSize(40, 40));
    label->setMovie(movie);
    return movie;
}

}  // namespace

VideoListWidget::VideoListWidget(AccountManager& accounts, CategoryTreeModel& categories,
                                 VideoTableModel& videos, SDKManager& uploads, QWidget* parent)
    : QWidget(parent),
      accounts(accounts),
      categories(categories),
      videos(videos),
      uploads(uploads),
      ui(new Ui::VideoListWidget)
{
    // The sheet comes first: widgets created under it take its rules, while a sheet set on a
    // page whose children were already polished under the main window's sheet is not applied
    // to them until they are polished again.
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(StyleSheet::Load(QStringLiteral("VideoListWidget.qss")));
    ui->setupUi(this);
    ui->splitter->setSizes({232, 1000});

    SetUpCategorySide();
    SetUpVideoSide();
    ApplyPermissions();
    ConnectCategorySide();
    ConnectVideoSide();
    ConnectModels();
    ConnectDialogs();
    loadingCateMovie->start();
    loadingVideoMovie->start();
    ui->cateTreeStackedWidget->setCurrentWidget(ui->loadingCatePage);
    ui->videoListStackedWidget->setCurrentWidget(ui->loadingVideoPage);
    ui->statusBar->hide();
}

VideoListWidget::~VideoListWidget()
{
    // The widgets outlive the form's pointers by a moment: no event may reach them through it.
    ui->videoListStackedWidget->removeEventFilter(this);
    delete ui;
}

VideoTableView* VideoListWidget::Table() const
{
    return ui->videoTableView;
}

CategoryTreeView* VideoListWidget::Tree() const
{
    return ui->cateTreeView;
}

// The page owns its dialogs while they are open: each runs modally over the page and goes when
// it closes.
void VideoListWidget::ConnectDialogs()
{
    connect(this, &VideoListWidget::SignalEditVideoRequested, this,
            [this](const QModelIndex& index) {
                VideoEditDialog dialog(videos, this);
                dialog.SetVideoRow(index);
                dialog.exec();
            });
    connect(this, &VideoListWidget::SignalBatchSearchRequested, this, [this] {
        VideoBatchSearchDialog dialog(this);
        if (dialog.exec() == QDialog::Accepted) {
            SlotShowBatchSearchResult(dialog.Vids());
        }
    });
    connect(ui->cateTreeView, &CategoryTreeView::SignalMoveCategoryRequested, this,
            [this](qulonglong cateId) {
                SelectCategoryDialog dialog(this->accounts, this->categories, videos,
                                            SelectCategoryDialog::MoveCategory, this);
                dialog.SetCategoryToMove(cateId);
                dialog.exec();
            });
}

// What the form cannot hold: the services and models of the tree, the filter rule, the field's
// search action and the loading animation.
void VideoListWidget::SetUpCategorySide()
{
    QAction* searchCate =
        ui->searchCateLineEdit->addAction(QIcon(kSearchIcon), QLineEdit::TrailingPosition);
    searchCate->setObjectName(QStringLiteral("searchCateButton"));
    searchCate->setToolTip(tr("SearchCate"));
    connect(searchCate, &QAction::triggered, this, &VideoListWidget::SlotUpdateCateFilter);
    loadingCateMovie = PlayLoadingGif(ui->loadingCateGifLabel);

    cateProxy = new RecursiveFilterProxyModel(this);
    cateProxy->SetupForCategories(&categories);
    ui->cateTreeView->SetServices(accounts, categories);
    ui->cateTreeView->setModel(cateProxy);
    cateFilterRule = new CategoryFilterRule(ui->searchCateLineEdit, categories.NamesModel(),
                                            [this] { SlotUpdateCateFilter(); });
}

// The same for the right side: the search action, the table's model and button templates,
// smooth scrolling, and the widgets hidden until their mode comes.
void VideoListWidget::SetUpVideoSide()
{
    QAction* searchAction =
        ui->searchVideoLineEdit->addAction(QIcon(kSearchIcon), QLineEdit::TrailingPosition);
    searchAction->setObjectName(QStringLiteral("searchVideoButton"));
    searchAction->setToolTip(tr("SearchVideo"));
    connect(searchAction, &QAction::triggered, this, &VideoListWidget::OnSearch);
    ComboBoxHelper::Instance()->Install(ui->searchVideoCateTypeComboBox);
    ComboBoxHelper::Instance()->Install(ui->sortComboBox);
    // Searches run in the current category; the sort order comes from the table header.
    ui->searchVideoCateTypeComboBox->hide();
    ui->sortComboBox->hide();
    ui->returnButton->hide();
    ui->searchResultTip->hide();
    loadingVideoMovie = PlayLoadingGif(ui->loadingVideoGifLabel);

    VideoTableView* table = ui->videoTableView;
    videos.SetButtonTemplates(table->CategoryButtonTemplate(), table->EditButtonTemplate(),
                              table->CodeGenButtonTemplate());
    table->setModel(&videos);
    smoothScroll = new SmoothScrollHelper(this);
    smoothScroll->setTarget(table);
    // The table area, not the table itself: an empty category hides the table, and a new
    // upload into it must still appear once the page is shown again.
    ui->videoListStackedWidget->installEventFilter(this);
}

void VideoListWidget::ConnectCategorySide()
{
    connect(ui->addCateButton, &QPushButton::clicked, this, [this] {
        const QModelIndex current = ui->cateTreeView->currentIndex();
        ui->cateTreeView->SlotAddCategory(current.isValid() ? current : cateProxy->index(0, 0));
    });
    connect(ui->refreshCateButton, &QPushButton::clicked, this,
            &VideoListWidget::OnRefreshCategoryClicked);
    connect(ui->cateTreeView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VideoListWidget::OnTreeSelectionChanged);
}

void VideoListWidget::ConnectVideoSide()
{
    connect(ui->searchVideoLineEdit, &QLineEdit::textChanged, this,
            &VideoListWidget::OnSearchTextChanged);
    connect(ui->searchVideoLineEdit, &QLineEdit::returnPressed, this, &VideoListWidget::OnSearch);
    connect(ui->noContainSubCateButton, &QPushButton::clicked, this,
            [this] { OnSubCateSwitch(false); });
    connect(ui->containSubCateButton, &QPushButton::clicked, this,
            [this] { OnSubCateSwitch(true); });
    connect(ui->videoTableView->Header(), &CheckableHeaderView::SignalSortChange, this, [this] {
        page = 1;
        ReloadWithSearchText();
    });
    connect(ui->paginator, &Paginator::SignalPageChanged, this,
            [this](qulonglong current, qulonglong size) {
                page = int(current);
                pageSize = int(size);
                ReloadWithSearchText();
            });
    connect(ui->refreshVideoTableButton, &QPushButton::clicked, this, [this] {
        page = 1;
        lastRefreshUuid = SlotRefreshVideoList();
    });
    connect(ui->uploadButton, &QPushButton::clicked, this,
            [this] { emit SignalUploadRequested(currentCateId); });
    connect(ui->searchButton, &QPushButton::clicked, this,
            &VideoListWidget::SignalBatchSearchRequested);
    connect(ui->returnButton, &QPushButton::clicked, this, &VideoListWidget::OnReturnClicked);
    connect(ui->exportButton, &QPushButton::clicked, this, &VideoListWidget::ExportCsv);
    connect(ui->moveMultiVideoButton, &QPushButton::clicked, this, &VideoListWidget::MoveVideos);
    connect(ui->deleteMultiVideoButton, &QPushButton::clicked, this,
            &VideoListWidget::DeleteVideos);
    connect(ui->videoTableView, &VideoTableView::SignalJumpCategory, this,
            [this](qulonglong cateId) { SelectCategory(cateId); });
    connect(ui->videoTableView, &VideoTableView::SignalEditVideo, this,
            &VideoListWidget::SignalEditVideoRequested);
    connect(ui->videoTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VideoListWidget::UpdateStatusBar);
}

void VideoListWidget::ApplyPermissions()
{
    // An action the account may not take is not offered at all.
    auto gate = [](QWidget* widget, bool allowed) {
        widget->setEnabled(allowed);
        widget->setVisible(allowed);
    };
    gate(ui->moveMultiVideoButton, accounts.HasPermission(AccountManager::VideoUpdateCate));
    gate(ui->deleteMultiVideoButton, accounts.HasPermission(AccountManager::VideoDelete));
    gate(ui->addCateButton, accounts.HasPermission(AccountManager::CateAdd));
    gate(ui->uploadButton, accounts.HasPermission(AccountManager::VideoUpload));
    ui->searchCateLineEdit->setEnabled(accounts.HasPermission(AccountManager::CateSearch));
}

void VideoListWidget::ConnectModels()
{
    // Video model.
    connect(&videos, &VideoTableModel::SignalTaskEndStatus, this,
            [this](const QUuid& uuid, TaskManager::TaskEndStatus status) {
                if (uuid == lastRefreshUuid && status == TaskManager::Finished) {
                    ShowSuccess(tr("VideoListWidget.RefreshVideoSucceed"));
                }
            });
    connect(&videos, &VideoTableModel::SignalVideoListAvailable, this,
            &VideoListWidget::OnVideoListAvailable);
    connect(&videos, &VideoTableModel::SignalRefreshVideoListSucceed, this,
            &VideoListWidget::OnRefreshSucceed);
    connect(&videos, &VideoTableModel::SignalRefreshVideoListFailed, this,
            [this](const QString& error) {
                ShowError(tr("VideoListWidget.RefreshVideoListFailed:") + error);
            });
    connect(&videos, &VideoTableModel::SignalRefreshVideoListDone, this,
            [this] { refreshPendingOnShow = false; });
    connect(
        &videos, &VideoTableModel::SignalCheckStateChanged, this, [this](const QModelIndex& index) {
            const int state = index.data(Qt::CheckStateRole).toInt();
            QItemSelectionModel* selection = ui->videoTableView->selectionModel();
            const bool selected = selection->isRowSelected(index.row(), QModelIndex());
            if (state == Qt::Checked && !selected) {
                selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            } else if (state == Qt::Unchecked && selected) {
                selection->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
            }
        });
    connect(&videos, &VideoTableModel::SignalThumbsAlready, this,
            [this](const QString& vid) { ui->videoTableView->UpdateThumbnail(vid); });
    connect(&videos, &VideoTableModel::SignalMoveVideoSucceed, this, [this] {
        ShowSuccess(tr("VideoListWidget.MoveVideoSucceed"));
        SlotRefreshVideoList();
    });
    connect(&videos, &VideoTableModel::SignalDeleteVideosSucceed, this, [this] {
        ShowSuccess(tr("VideoListWidget.DeleteVideoSucceed"));
        SlotRefreshVideoList();
    });
    connect(&videos, &VideoTableModel::SignalDeleteVideosFailed, this,
            &VideoListWidget::ShowDeleteFailures);
    connect(&videos, &VideoTableModel::SignalUpdateVideoInfoSucceed, this,
            [this] { SlotRefreshVideoList(); });
    connect(&videos, &VideoTableModel::SignalChangeVideoCoverSucceed, this,
            [this] { SlotRefreshVideoList(); });
    connect(&videos, &VideoTableModel::SignalUploadVideoCoverSucceed, this,
            [this] { SlotRefreshVideoList(); });
    connect(&videos, &VideoTableModel::SignalTaskRunningSlowly, this,
            [this](VideoTableModel::TaskType type, bool isFinish) {
                if (int(type) == 3) {
                    SlotTaskRunningSlowly(isFinish);
                }
            });
    connect(&videos, &VideoTableModel::SignalGetVideoListDone, this,
            [this](int count) { SetSearchResultMode(true, count); });

    // Category model.
    connect(&categories, &CategoryTreeModel::SignalTaskRunningSlowly, this,
            [this](CategoryTreeModel::TaskType type, bool isFinish) {
                if (int(type) == 3) {
                    SlotTaskRunningSlowly(isFinish);
                }
            });
    connect(&categories, &CategoryTreeModel::SignalCategoryAvailable, this,
            &VideoListWidget::OnCategoryAvailable);
    connect(&categories, &CategoryTreeModel::SignalRefreshCategorySucceed, this,
            &VideoListWidget::OnRefreshCategorySucceed);
    connect(&categories, &CategoryTreeModel::SignalRefreshCategoryFailed, this,
            [this](const QString& error) {
                ShowError(tr("VideoListWidget.RefreshCategoryFailed:") + error);
            });
    connect(&categories, &CategoryTreeModel::SignalAddCategorySucceed, this,
            [this](qulonglong newCateId) {
                SelectCategory(newCateId);
                ShowSuccess(tr("VideoListWidget.AddCategorySucceed"));
            });
    connect(&categories, &CategoryTreeModel::SignalMoveCategoryReady, this,
            [this] { movingCategory = true; });
    connect(&categories, &CategoryTreeModel::SignalMoveCategorySucceed, this,
            [this](qulonglong cateId) {
                movingCategory = false;
                SelectCategory(cateId);
                ShowSuccess(tr("VideoListWidget.MoveCategorySucceed"));
            });
    connect(&categories, &CategoryTreeModel::SignalMoveCategoryFailed, this,
            [this] { movingCategory = false; });
    connect(&categories, &CategoryTreeModel::SignalRenameCategorySucceed, this,
            [this] { ShowSuccess(tr("VideoListWidget.RenameCategorySucceed")); });
    connect(&categories, &CategoryTreeModel::SignalRenameCategoryFailed, this,
            [this](const QString& error) {
                ShowError(tr("VideoListWidget.RenameCategoryFailed:") + error);
            });
}

QUuid VideoListWidget::RefreshCategory()
{
    return categories.RefreshCategory();
}

bool VideoListWidget::SelectCategory(qulonglong cateId)
{
    const QModelIndexList found = cateProxy->match(cateProxy->index(0, 0), kCateIdRole, cateId, 1,
                                                   Qt::MatchExactly | Qt::MatchRecursive);
    if (found.isEmpty()) {
        return false;
    }
    ui->cateTreeView->selectionModel()->select(
        found.first(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ui->cateTreeView->setCurrentIndex(found.first());
    ui->cateTreeView->scrollTo(found.first());
    return true;
}

// Loading the table.

QUuid VideoListWidget::SlotRefreshWithTitleFilter(const QString& titleFilter, bool allCate)
{
    const qulonglong cateId = allCate ? categories.TopCateId() : currentCateId;
    const int sort = ui->videoTableView->Header()->CurrentSortMethod();
    const char* sortKey = QMetaEnum::fromType<ApiCollection::SortMethod>().valueToKey(sort);
    qInfo().noquote() << "RefreshVideoTable:";
    qInfo().noquote() << "  cate:" << categories.CateName(currentCateId);
    qInfo().noquote() << "  cateId:" << cateId;
    qInfo().noquote() << "  page:" << page;
    qInfo().noquote() << "  pageSize:" << pageSize;
    qInfo().noquote() << "  titleFilter:" << titleFilter;
    qInfo().noquote() << "  containSubCate:" << containSubCate;
    qInfo().noquote() << "  sort:" << (sortKey ? sortKey : "");
    return videos.RefreshVideoList(cateId, titleFilter, containSubCate, page, pageSize, sort);
}

QUuid VideoListWidget::SlotRefreshWithTitleFilter(const QString& titleFilter)
{
    return SlotRefreshWithTitleFilter(titleFilter, false);
}

QUuid VideoListWidget::SlotRefreshVideoList()
{
    const QSignalBlocker blocker(ui->searchVideoLineEdit);
    ui->searchVideoLineEdit->clear();
    return SlotRefreshWithTitleFilter(QString(), false);
}

QUuid VideoListWidget::ReloadWithSearchText()
{
    const QString text = ui->searchVideoLineEdit->text();
    if (!text.isEmpty()) {
        qDebug().noquote() << "search:" << text;
        return SlotRefreshWithTitleFilter(text,
                                          ui->searchVideoCateTypeComboBox->currentIndex() != 0);
    }
    return SlotRefreshVideoList();
}

void VideoListWidget::OnSearchTextChanged(const QString& text)
{
    if (text.isEmpty()) {
        page = 1;
        SlotRefreshVideoList();
    }
}

void VideoListWidget::OnSearch()
{
    const QString text = ui->searchVideoLineEdit->text();
    if (text.isEmpty()) {
        return;
    }
    if (!TextValidator::IsValid(text)) {
        ShowError(tr("VideoListWidget.RefreshVideoListMySQLIncompatible"));
        qWarning() << "search: category name is MySQL incompatible";
        return;
    }
    qInfo().noquote() << "search:" << text;
    const bool allCate = ui->searchVideoCateTypeComboBox->currentIndex() != 0;
    if (allCate) {
        containSubCate = true;
        ui->containSubCateButton->setChecked(true);
    }
    page = 1;
    SlotRefreshWithTitleFilter(text, allCate);
}

void VideoListWidget::OnSubCateSwitch(bool contain)
{
    if (containSubCate == contain) {
        return;
    }
    containSubCate = contain;
    page = 1;
    ReloadWithSearchText();
}

void VideoListWidget::OnTreeSelectionChanged()
{
    if (movingCategory) {
        return;
    }
    const QModelIndexList selected = ui->cateTreeView->selectionModel()->selectedRows();
    QStringList names;
    for (const QModelIndex& index : selected) {
        names.append(index.data().toString());
    }
    qDebug().noquote() << "selected" << names;
    if (selected.isEmpty()) {
        return;
    }
    currentCateId = selected.first().data(kCateIdRole).toULongLong();
    page = 1;
    SlotRefreshVideoList();
}

void VideoListWidget::OnVideoListAvailable(bool available)
{
    if (!available) {
        ui->videoListStackedWidget->setCurrentWidget(ui->loadingVideoPage);
        loadingVideoMovie->start();
        return;
    }
    loadingVideoMovie->stop();
    if (videos.rowCount() > 0) {
        if (searchResultMode) {
            SetSearchResultMode(false, 0);
        }
        ui->videoListStackedWidget->setCurrentWidget(ui->videoTablePage);
    } else {
        ShowEmptyPage();
    }
}

void VideoListWidget::ShowEmptyPage()
{
    ui->videoListStackedWidget->setCurrentWidget(ui->noVideoPage);
    loadingVideoMovie->stop();
    const bool searched = !ui->searchVideoLineEdit->text().isEmpty() || searchResultMode;
    const QString picture = searched ? QStringLiteral(":/image/videoList/no_search_result_img.svg")
                                     : QStringLiteral(":/image/videoList/no_video_img.svg");
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap = QIcon(picture).pixmap(ui->noVideoPicLabel->size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    ui->noVideoPicLabel->setPixmap(pixmap);
    ui->noVideoStrLabel->setText(searched ? tr("VideoList.NoSearchResult")
                                          : tr("VideoList.NoVideo"));
}

void VideoListWidget::OnRefreshSucceed(qulonglong pageNumber, qulonglong totalPages,
                                       qulonglong newPageSize)
{
    if (totalPages != 0) {
        page = int(pageNumber);
        if (newPageSize != 0) {
            pageSize = int(newPageSize);
        }
        ui->paginator->SetPages(qulonglong(page), totalPages, qulonglong(pageSize));
    }
    ui->statusBar->setText(tr("Total %1 videos").arg(videos.rowCount()));
    ui->statusBar->setVisible(totalPages != 0);
    ui->paginator->setVisible(totalPages != 0 && !searchResultMode);
}

void VideoListWidget::UpdateStatusBar()
{
    const int checked = videos.CheckedCount();
    ui->statusBar->setText(checked == 0
                               ? tr("Total %1 videos").arg(videos.rowCount())
                               : tr("Selected %1/%2 videos").arg(checked).arg(videos.rowCount()));
}

void VideoListWidget::SlotTaskRunningSlowly(bool isFinish)
{
    if (!isFinish) {
        if (!slowToast) {
            slowToast = Toast::ShowToastInParent(this, tr("TaskRunningSlowly"), 1,
                                                 Qt::AlignTop | Qt::AlignVCenter, false);
        } else {
            slowToast->show();
        }
    } else if (slowToast) {
        slowToast->hide();
    }
}

void VideoListWidget::SlotUploadTaskAppended()
{
    if (ui->videoListStackedWidget->isVisible()) {
        SlotRefreshVideoList();
    } else {
        refreshPendingOnShow = true;
    }
}

void VideoListWidget::SlotUploadTaskRemoved()
{
    SlotUploadTaskAppended();
}

bool VideoListWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->videoListStackedWidget && event->type() == QEvent::Show &&
        refreshPendingOnShow) {
        // Cleared here too, so several show events before the answer reload only once.
        refreshPendingOnShow = false;
        SlotRefreshVideoList();
    }
    return QWidget::eventFilter(watched, event);
}

// Batch-search result.

void VideoListWidget::SlotShowBatchSearchResult(const QStringList& vids)
{
    ui->uploadButton->hide();
    ui->controlVideoTableViewWidget->hide();
    videos.GetVideosInfo2(vids, ApiCollection::Basic);
}

void VideoListWidget::SetSearchResultMode(bool on, int count)
{
    searchResultMode = on;
    ui->searchResultTip->setVisible(on);
    ui->returnButton->setVisible(on);
    ui->searchVideoWidget->setVisible(!on);
    ui->videoTableView->Header()->SetSortEnabled(!on);
    if (on) {
        ui->searchResultTip->setText(tr("Search %1 Video").arg(count));
        ui->uploadButton->hide();
        ui->refreshVideoTableButton->hide();
        ui->subCateSwitchWidget->hide();
        ui->paginator->hide();
        ui->controlVideoTableViewWidget->setVisible(count != 0);
        if (count >= 1) {
            ui->videoTableView->selectAll();
        } else {
            ShowEmptyPage();
        }
    } else {
        ui->uploadButton->setVisible(accounts.HasPermission(AccountManager::VideoUpload));
        ui->refreshVideoTableButton->show();
        ui->subCateSwitchWidget->show();
        ui->paginator->show();
        ui->controlVideoTableViewWidget->show();
    }
}

void VideoListWidget::OnReturnClicked()
{
    if (videos.rowCount() > 0 &&
        MsgBox::Info(this, tr("SystemTip"), tr("Return To Video List"),
                     QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok) {
        return;
    }
    SetSearchResultMode(false, 0);
    ui->refreshVideoTableButton->click();
}

// Category side.

void VideoListWidget::OnCategoryAvailable(bool available)
{
    for (QWidget* widget :
         {static_cast<QWidget*>(ui->addCateButton), static_cast<QWidget*>(ui->refreshCateButton),
          static_cast<QWidget*>(ui->uploadButton),
          static_cast<QWidget*>(ui->searchVideoLineEdit)}) {
        widget->setEnabled(available);
    }
    ui->searchCateLineEdit->setEnabled(available &&
                                       accounts.HasPermission(AccountManager::CateSearch));
    ui->addCateButton->setEnabled(available && accounts.HasPermission(AccountManager::CateAdd));
    ui->uploadButton->setEnabled(available && accounts.HasPermission(AccountManager::VideoUpload));
    if (available) {
        ui->cateTreeStackedWidget->setCurrentWidget(ui->cateTreeViewPage);
        loadingCateMovie->stop();
    } else {
        ui->cateTreeStackedWidget->setCurrentWidget(ui->loadingCatePage);
        loadingCateMovie->start();
    }
}

void VideoListWidget::OnRefreshCategoryClicked()
{
    if (categories.IsOperating()) {
        ShowError(tr("VideoListWidget.IsOperatingCategory"));
        return;
    }
    ui->searchCateLineEdit->clear();
    SlotUpdateCateFilter();
    qInfo() << "RefreshCategory";
    categories.RefreshCategory();
}

void VideoListWidget::OnRefreshCategorySucceed()
{
    cateFilterRule->Rewire();
    const QModelIndex top = cateProxy->index(0, 0);
    if (!top.isValid()) {
        return;
    }
    ui->cateTreeView->selectionModel()->select(
        top, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ui->cateTreeView->setCurrentIndex(top);
    if (!ui->cateTreeView->isExpanded(top)) {
        ui->cateTreeView->collapseAll();
        ui->cateTreeView->expand(top);
    }
}

void VideoListWidget::SlotUpdateCateFilter()
{
    if (cateFilterRule->ApplyTo(cateProxy, ui->cateTreeView) &&
        ui->searchCateLineEdit->text().isEmpty()) {
        SelectCategory(currentCateId);
    }
}

// Operations on the checked videos.

bool VideoListWidget::ExportCsvTo(const QString& path)
{
    const QStringList vids = videos.CheckedVids();
    QList<ApiCollection::VideoInfo> chosen;
    for (const ApiCollection::VideoInfo& info : VideoTableModel::LoadedVideoInfos()) {
        if (vids.contains(info.vid)) {
            chosen.append(info);
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) ||
        !VideoCsvWriter::Write(&file, chosen) || !file.flush()) {
        qWarning().noquote() << "export csv failed:" << path << file.errorString();
        ShowError(tr("VideoListWidget.ExportFailed:") + file.errorString());
        return false;
    }
    file.close();
    return true;
}

void VideoListWidget::ExportCsv()
{
    const QStringList vids = videos.CheckedVids();
    if (vids.isEmpty()) {
        ShowError(QObject::tr("Select Video Is Empty"));
        return;
    }
    const QString suggested = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                              QStringLiteral("/%1-%2%3-%4")
                                  .arg(QObject::tr("Select Video Data"))
                                  .arg(vids.size())
                                  .arg(QObject::tr("Count"))
                                  .arg(QDateTime::currentSecsSinceEpoch()) +
                              QStringLiteral(".csv");
    const QString path = QFileDialog::getSaveFileName(
        this, QObject::tr("Export csv video data file"), suggested,
        QStringLiteral("%1 (%2)").arg(QObject::tr("CsvFiles"), QStringLiteral("*.csv")));
    if (path.isEmpty()) {
        return;
    }
    if (ExportCsvTo(path)) {
        ShowInFolder(path);
    }
}

void VideoListWidget::MoveVideos()
{
    const QStringList vids = videos.CheckedVids();
    if (vids.isEmpty()) {
        ShowError(tr("VideoListWidget.NoSelected"));
        return;
    }
    if (!videos.UploadingVids(vids).isEmpty()) {
        ShowError(tr("VideoListWidget.CanNotMoveUploadingVideo"));
        return;
    }
    SelectCategoryDialog dialog(accounts, categories, videos, SelectCategoryDialog::MoveVideo,
                                this);
    dialog.SetVidsToMove(vids);
    dialog.exec();
}

void VideoListWidget::DeleteVideos()
{
    const QStringList vids = videos.CheckedVids();
    if (vids.isEmpty()) {
        ShowError(tr("VideoListWidget.NoSelected"));
        return;
    }
    MsgBox box(this);
    box.SetType(MsgBox::TypeWarning);
    box.SetTitle(tr("VideoListWidget.DeleteVideoConfirmTitle"));
    box.SetStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    auto* label = box.findChild<QLabel*>(QStringLiteral("msgLabel"));
    QString text = tr("VideoListWidget.DeleteVideoConfirmMessage");
    if (vids.size() == 1) {
        const QString title = videos.TitleOfVid(vids.first()).toHtmlEscaped();
        const QFontMetrics metrics(label ? label->font() : font());
        const QString elided = metrics.elidedText(title, Qt::ElideMiddle, 200);
        text += tr("File\"%1\"").arg(elided);
        if (label && elided != title) {
            label->setToolTip(title);
        }
    } else {
        text += tr("Selected <span style=color:rgb(241,91,52);>%1</span> videos").arg(vids.size());
    }
    if (!videos.VidsByClientUpload(videos.UploadingVids(vids), true).isEmpty()) {
        text += QStringLiteral("<br><span style=color:rgb(241,91,52);>%1</span>")
                    .arg(tr("VideoListWidget.DeleteVideoContainsUploadTask"));
    }
    box.SetText(text);
    if (auto* buttons = box.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))) {
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) {
            ok->setText(tr("Delete"));
        }
    }
    box.exec();
    if (box.ClickedButton() == QMessageBox::Ok) {
        videos.DeleteVideos(vids);
    }
}

void VideoListWidget::ShowDeleteFailures(const QList<QPair<QString, QString>>& errors)
{
    auto* dialog = new DeleteVideoFailedPromptDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    for (const auto& error : errors) {
        const QString title = videos.TitleOfVid(error.first);
        dialog->AddFailure(
            title.isEmpty() ? error.first : QStringLiteral("%1(%2)").arg(title, error.first),
            error.second);
    }
    dialog->open();
    SlotRefreshVideoList();
}

void VideoListWidget::ShowSuccess(const QString& text)
{
    Toast::ShowToastInParent(this, text, 0);
}

void VideoListWidget::ShowError(const QString& text)
{
    Toast::ShowToastInParent(this, text, 1);
}
