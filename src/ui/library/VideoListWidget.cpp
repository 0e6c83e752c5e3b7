#include "ui/library/VideoListWidget.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaEnum>
#include <QMovie>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QVBoxLayout>
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

namespace {

constexpr int kCateIdRole = int(CategoryTreeModel::DataRole::CateId);
const QString kLoadingGif = QStringLiteral(":/image/common/loading@2x.gif");

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const char* style = nullptr)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    if (style) {
        button->setProperty("Style", QLatin1String(style));
    }
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

QWidget* MakeLoadingPage(QWidget* parent, const char* pageName, const char* gifName,
                         const char* textName, const QString& text, QLabel** gifLabel,
                         QMovie** movie)
{
    auto* pageWidget = new QWidget(parent);
    pageWidget->setObjectName(QLatin1String(pageName));
    auto* layout = new QVBoxLayout(pageWidget);
    layout->addStretch(1);
    *gifLabel = MakeLabel(pageWidget, gifName);
    (*gifLabel)->setAlignment(Qt::AlignCenter);
    *movie = new QMovie(kLoadingGif, QByteArray(), pageWidget);
    (*movie)->setScaledSize(QSize(40, 40));
    (*gifLabel)->setMovie(*movie);
    layout->addWidget(*gifLabel, 0, Qt::AlignHCenter);
    QLabel* label = MakeLabel(pageWidget, textName, text);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return pageWidget;
}

}  // namespace

VideoListWidget::VideoListWidget(AccountManager& accounts, CategoryTreeModel& categories,
                                 VideoTableModel& videos, SDKManager& uploads, QWidget* parent)
    : QWidget(parent), accounts(accounts), categories(categories), videos(videos), uploads(uploads)
{
    setObjectName(QStringLiteral("VideoListWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(StyleSheet::Load(QStringLiteral("VideoListWidget.qss")));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(1);
    layout->addWidget(splitter);
    BuildCategorySide();
    BuildVideoSide();
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({232, 1000});

    ApplyPermissions();
    ConnectModels();
    ConnectDialogs();
    loadingCateMovie->start();
    loadingVideoMovie->start();
    cateTreeStackedWidget->setCurrentWidget(loadingCatePage);
    videoListStackedWidget->setCurrentWidget(loadingVideoPage);
    statusBar->hide();
}

VideoListWidget::~VideoListWidget() = default;

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
}

void VideoListWidget::BuildCategorySide()
{
    auto* cateTreeWidget = new QWidget(splitter);
    cateTreeWidget->setObjectName(QStringLiteral("cateTreeWidget"));
    cateTreeWidget->setMinimumWidth(200);
    auto* layout = new QVBoxLayout(cateTreeWidget);
    layout->setContentsMargins(16, 16, 8, 16);
    layout->setSpacing(12);

    auto* controlCateWidget = new QWidget(cateTreeWidget);
    controlCateWidget->setObjectName(QStringLiteral("controlCateWidget"));
    auto* control = new QHBoxLayout(controlCateWidget);
    control->setContentsMargins(0, 0, 0, 0);
    control->setSpacing(8);
    searchCateLineEdit = new QLineEdit(controlCateWidget);
    searchCateLineEdit->setObjectName(QStringLiteral("searchCateLineEdit"));
    searchCateLineEdit->setPlaceholderText(tr("VideoList.SearchCate"));
    searchCateLineEdit->setClearButtonEnabled(true);
    QAction* searchCate = searchCateLineEdit->addAction(
        QIcon(QStringLiteral(":/image/videoList/icon_search_normal.svg")),
        QLineEdit::TrailingPosition);
    searchCate->setObjectName(QStringLiteral("searchCateButton"));
    searchCate->setToolTip(tr("SearchCate"));
    connect(searchCate, &QAction::triggered, this, &VideoListWidget::SlotUpdateCateFilter);
    control->addWidget(searchCateLineEdit, 1);
    addCateButton = MakeButton(controlCateWidget, "addCateButton", QString());
    addCateButton->setToolTip(tr("AddCate"));
    addCateButton->setAccessibleName(tr("AddCate"));
    control->addWidget(addCateButton);
    refreshCateButton = MakeButton(controlCateWidget, "refreshCateButton", QString());
    refreshCateButton->setToolTip(tr("RefreshCate"));
    control->addWidget(refreshCateButton);
    layout->addWidget(controlCateWidget);

    cateTreeStackedWidget = new QStackedWidget(cateTreeWidget);
    cateTreeStackedWidget->setObjectName(QStringLiteral("cateTreeStackedWidget"));
    loadingCatePage = MakeLoadingPage(
        cateTreeStackedWidget, "loadingCatePage", "loadingCateGifLabel", "loadingCateStrLabel",
        tr("VideoList.LoadingCate..."), &loadingCateGifLabel, &loadingCateMovie);
    cateTreeStackedWidget->addWidget(loadingCatePage);
    cateTreeViewPage = new QWidget(cateTreeStackedWidget);
    cateTreeViewPage->setObjectName(QStringLiteral("cateTreeViewPage"));
    auto* treeLayout = new QVBoxLayout(cateTreeViewPage);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    cateProxy = new RecursiveFilterProxyModel(this);
    cateProxy->SetupForCategories(&categories);
    cateTreeView = new CategoryTreeView(accounts, categories, cateTreeViewPage);
    cateTreeView->setObjectName(QStringLiteral("cateTreeView"));
    cateTreeView->setModel(cateProxy);
    treeLayout->addWidget(cateTreeView);
    cateTreeStackedWidget->addWidget(cateTreeViewPage);
    layout->addWidget(cateTreeStackedWidget, 1);
    splitter->addWidget(cateTreeWidget);

    cateFilterRule = new CategoryFilterRule(searchCateLineEdit, categories.NamesModel(),
                                            [this] { SlotUpdateCateFilter(); });
    connect(addCateButton, &QPushButton::clicked, this, [this] {
        const QModelIndex current = cateTreeView->currentIndex();
        cateTreeView->SlotAddCategory(current.isValid() ? current : cateProxy->index(0, 0));
    });
    connect(refreshCateButton, &QPushButton::clicked, this,
            &VideoListWidget::OnRefreshCategoryClicked);
    connect(cateTreeView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VideoListWidget::OnTreeSelectionChanged);
    connect(cateTreeView, &CategoryTreeView::SignalMoveCategoryRequested, this,
            [this](qulonglong cateId) {
                SelectCategoryDialog dialog(this->accounts, this->categories, videos,
                                            SelectCategoryDialog::MoveCategory, this);
                dialog.SetCategoryToMove(cateId);
                dialog.exec();
            });
}

void VideoListWidget::BuildVideoSide()
{
    auto* videoWidget = new QWidget(splitter);
    videoWidget->setObjectName(QStringLiteral("videoWidget"));
    auto* layout = new QVBoxLayout(videoWidget);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(12);

    // Upload, return, search.
    controlVideoListStackedWidget = new QStackedWidget(videoWidget);
    controlVideoListStackedWidget->setObjectName(QStringLiteral("controlVideoListStackedWidget"));
    auto* page1 = new QWidget(controlVideoListStackedWidget);
    page1->setObjectName(QStringLiteral("controlVideoListStackedWidgetPage1"));
    auto* top = new QHBoxLayout(page1);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(12);
    uploadButton = MakeButton(page1, "uploadButton", tr("VideoList.Upload"), "blue");
    top->addWidget(uploadButton);
    returnButton = MakeButton(page1, "returnButton", tr("Return List"), "normal");
    returnButton->hide();
    top->addWidget(returnButton);
    top->addStretch(1);
    searchVideoWidget = new QWidget(page1);
    searchVideoWidget->setObjectName(QStringLiteral("searchVideoWidget"));
    auto* search = new QHBoxLayout(searchVideoWidget);
    search->setContentsMargins(0, 0, 0, 0);
    search->setSpacing(8);
    searchVideoCateTypeComboBox = new QComboBox(searchVideoWidget);
    searchVideoCateTypeComboBox->setObjectName(QStringLiteral("searchVideoCateTypeComboBox"));
    searchVideoCateTypeComboBox->addItems(
        {tr("VideoList.CurrentCategory"), tr("VideoList.AllCategory")});
    searchVideoCateTypeComboBox->hide();
    search->addWidget(searchVideoCateTypeComboBox);
    searchVideoLineEdit = new QLineEdit(searchVideoWidget);
    searchVideoLineEdit->setObjectName(QStringLiteral("searchVideoLineEdit"));
    searchVideoLineEdit->setPlaceholderText(tr("VideoList.SearchFile"));
    searchVideoLineEdit->setClearButtonEnabled(true);
    searchVideoLineEdit->setMinimumWidth(240);
    QAction* searchAction = searchVideoLineEdit->addAction(
        QIcon(QStringLiteral(":/image/videoList/icon_search_normal.svg")),
        QLineEdit::TrailingPosition);
    searchAction->setObjectName(QStringLiteral("searchVideoButton"));
    searchAction->setToolTip(tr("SearchVideo"));
    search->addWidget(searchVideoLineEdit);
    searchButton = MakeButton(searchVideoWidget, "searchButton", tr("BatchSearch"), "normal");
    search->addWidget(searchButton);
    sortComboBox = new QComboBox(searchVideoWidget);
    sortComboBox->setObjectName(QStringLiteral("sortComboBox"));
    sortComboBox->addItems(
        {tr("TimeDescSort"), tr("TimeAscSort"), tr("TitleDescSort"), tr("TitleAscSort")});
    sortComboBox->hide();
    search->addWidget(sortComboBox);
    top->addWidget(searchVideoWidget);
    controlVideoListStackedWidget->addWidget(page1);
    controlVideoListStackedWidget->setFixedHeight(36);
    layout->addWidget(controlVideoListStackedWidget);
    ComboBoxHelper::Instance()->Install(searchVideoCateTypeComboBox);
    ComboBoxHelper::Instance()->Install(sortComboBox);

    // Sub-category switch, search tip, operations.
    controlVideoTableViewWidget = new QWidget(videoWidget);
    controlVideoTableViewWidget->setObjectName(QStringLiteral("controlVideoTableViewWidget"));
    auto* control = new QHBoxLayout(controlVideoTableViewWidget);
    control->setContentsMargins(0, 0, 0, 0);
    control->setSpacing(12);
    subCateSwitchWidget = new QWidget(controlVideoTableViewWidget);
    subCateSwitchWidget->setObjectName(QStringLiteral("subCateSwitchWidget"));
    auto* switches = new QHBoxLayout(subCateSwitchWidget);
    switches->setContentsMargins(0, 0, 0, 0);
    switches->setSpacing(0);
    noContainSubCateButton =
        MakeButton(subCateSwitchWidget, "noContainSubCateButton", tr("VideoList.NoContainSub"));
    containSubCateButton =
        MakeButton(subCateSwitchWidget, "containSubCateButton", tr("VideoList.ContainSub"));
    for (QPushButton* button : {noContainSubCateButton, containSubCateButton}) {
        button->setCheckable(true);
        button->setAutoExclusive(true);
        switches->addWidget(button);
    }
    noContainSubCateButton->setChecked(true);
    control->addWidget(subCateSwitchWidget);
    searchResultTip = MakeLabel(controlVideoTableViewWidget, "searchResultTip");
    searchResultTip->hide();
    control->addWidget(searchResultTip);
    control->addStretch(1);
    auto* operate = new QWidget(controlVideoTableViewWidget);
    operate->setObjectName(QStringLiteral("operateVideoTableViewWidget"));
    auto* operations = new QHBoxLayout(operate);
    operations->setContentsMargins(0, 0, 0, 0);
    operations->setSpacing(12);
    exportButton = MakeButton(operate, "exportButton", tr("Export Data"), "normal");
    refreshVideoTableButton =
        MakeButton(operate, "refreshVideoTableButton", tr("VideoList.Refresh"), "normal");
    moveMultiVideoButton =
        MakeButton(operate, "moveMultiVideoButton", tr("VideoList.Move"), "normal");
    deleteMultiVideoButton =
        MakeButton(operate, "deleteMultiVideoButton", tr("VideoList.Delete"), "red");
    for (QPushButton* button :
         {exportButton, refreshVideoTableButton, moveMultiVideoButton, deleteMultiVideoButton}) {
        operations->addWidget(button);
    }
    control->addWidget(operate);
    layout->addWidget(controlVideoTableViewWidget);

    // Table, empty and loading pages.
    videoListStackedWidget = new QStackedWidget(videoWidget);
    videoListStackedWidget->setObjectName(QStringLiteral("videoListStackedWidget"));
    noVideoPage = new QWidget(videoListStackedWidget);
    noVideoPage->setObjectName(QStringLiteral("noVideoPage"));
    auto* empty = new QVBoxLayout(noVideoPage);
    empty->addStretch(1);
    noVideoPicLabel = MakeLabel(noVideoPage, "noVideoPicLabel");
    noVideoPicLabel->setFixedSize(160, 160);
    noVideoPicLabel->setAlignment(Qt::AlignCenter);
    empty->addWidget(noVideoPicLabel, 0, Qt::AlignHCenter);
    noVideoStrLabel = MakeLabel(noVideoPage, "noVideoStrLabel", tr("VideoList.NoVideo"));
    noVideoStrLabel->setAlignment(Qt::AlignCenter);
    empty->addWidget(noVideoStrLabel, 0, Qt::AlignHCenter);
    empty->addStretch(1);
    videoListStackedWidget->addWidget(noVideoPage);
    loadingVideoPage = MakeLoadingPage(
        videoListStackedWidget, "loadingVideoPage", "loadingVideoGifLabel", "loadingVideoStrLabel",
        tr("VideoList.LoadingVideo..."), &loadingVideoGifLabel, &loadingVideoMovie);
    videoListStackedWidget->addWidget(loadingVideoPage);
    videoTablePage = new QWidget(videoListStackedWidget);
    videoTablePage->setObjectName(QStringLiteral("videoTablePage"));
    auto* tableLayout = new QVBoxLayout(videoTablePage);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    videoTableView = new VideoTableView(videoTablePage);
    videos.SetButtonTemplates(videoTableView->CategoryButtonTemplate(),
                              videoTableView->EditButtonTemplate(),
                              videoTableView->CodeGenButtonTemplate());
    videoTableView->setModel(&videos);
    tableLayout->addWidget(videoTableView);
    videoListStackedWidget->addWidget(videoTablePage);
    layout->addWidget(videoListStackedWidget, 1);
    // The table area, not the table itself: an empty category hides the table, and a new
    // upload into it must still appear once the page is shown again.
    videoListStackedWidget->installEventFilter(this);
    smoothScroll = new SmoothScrollHelper(this);
    smoothScroll->setTarget(videoTableView);

    // Status line and paginator.
    auto* bottom = new QWidget(videoWidget);
    bottom->setObjectName(QStringLiteral("widget_2"));
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    statusBar = MakeLabel(bottom, "statusBar");
    bottomLayout->addWidget(statusBar);
    bottomLayout->addStretch(1);
    paginator = new Paginator(bottom);
    bottomLayout->addWidget(paginator);
    layout->addWidget(bottom);
    splitter->addWidget(videoWidget);

    // Triggers of the right side.
    connect(searchVideoLineEdit, &QLineEdit::textChanged, this,
            &VideoListWidget::OnSearchTextChanged);
    connect(searchVideoLineEdit, &QLineEdit::returnPressed, this, &VideoListWidget::OnSearch);
    connect(searchAction, &QAction::triggered, this, &VideoListWidget::OnSearch);
    connect(noContainSubCateButton, &QPushButton::clicked, this,
            [this] { OnSubCateSwitch(false); });
    connect(containSubCateButton, &QPushButton::clicked, this, [this] { OnSubCateSwitch(true); });
    connect(videoTableView->Header(), &CheckableHeaderView::SignalSortChange, this, [this] {
        page = 1;
        ReloadWithSearchText();
    });
    connect(paginator, &Paginator::SignalPageChanged, this,
            [this](qulonglong current, qulonglong size) {
                page = int(current);
                pageSize = int(size);
                ReloadWithSearchText();
            });
    connect(refreshVideoTableButton, &QPushButton::clicked, this, [this] {
        page = 1;
        lastRefreshUuid = SlotRefreshVideoList();
    });
    connect(uploadButton, &QPushButton::clicked, this,
            [this] { emit SignalUploadRequested(currentCateId); });
    connect(searchButton, &QPushButton::clicked, this,
            &VideoListWidget::SignalBatchSearchRequested);
    connect(returnButton, &QPushButton::clicked, this, &VideoListWidget::OnReturnClicked);
    connect(exportButton, &QPushButton::clicked, this, &VideoListWidget::ExportCsv);
    connect(moveMultiVideoButton, &QPushButton::clicked, this, &VideoListWidget::MoveVideos);
    connect(deleteMultiVideoButton, &QPushButton::clicked, this, &VideoListWidget::DeleteVideos);
    connect(videoTableView, &VideoTableView::SignalJumpCategory, this,
            [this](qulonglong cateId) { SelectCategory(cateId); });
    connect(videoTableView, &VideoTableView::SignalEditVideo, this,
            &VideoListWidget::SignalEditVideoRequested);
    connect(videoTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &VideoListWidget::UpdateStatusBar);
}

void VideoListWidget::ApplyPermissions()
{
    // An action the account may not take is not offered at all.
    auto gate = [](QWidget* widget, bool allowed) {
        widget->setEnabled(allowed);
        widget->setVisible(allowed);
    };
    gate(moveMultiVideoButton, accounts.HasPermission(AccountManager::VideoUpdateCate));
    gate(deleteMultiVideoButton, accounts.HasPermission(AccountManager::VideoDelete));
    gate(addCateButton, accounts.HasPermission(AccountManager::CateAdd));
    gate(uploadButton, accounts.HasPermission(AccountManager::VideoUpload));
    searchCateLineEdit->setEnabled(accounts.HasPermission(AccountManager::CateSearch));
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
            QItemSelectionModel* selection = videoTableView->selectionModel();
            const bool selected = selection->isRowSelected(index.row(), QModelIndex());
            if (state == Qt::Checked && !selected) {
                selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            } else if (state == Qt::Unchecked && selected) {
                selection->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
            }
        });
    connect(&videos, &VideoTableModel::SignalThumbsAlready, this,
            [this](const QString& vid) { videoTableView->UpdateThumbnail(vid); });
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
    cateTreeView->selectionModel()->select(
        found.first(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    cateTreeView->setCurrentIndex(found.first());
    cateTreeView->scrollTo(found.first());
    return true;
}

// Loading the table.

QUuid VideoListWidget::SlotRefreshWithTitleFilter(const QString& titleFilter, bool allCate)
{
    const qulonglong cateId = allCate ? categories.TopCateId() : currentCateId;
    const int sort = videoTableView->Header()->CurrentSortMethod();
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
    const QSignalBlocker blocker(searchVideoLineEdit);
    searchVideoLineEdit->clear();
    return SlotRefreshWithTitleFilter(QString(), false);
}

QUuid VideoListWidget::ReloadWithSearchText()
{
    const QString text = searchVideoLineEdit->text();
    if (!text.isEmpty()) {
        qDebug().noquote() << "search:" << text;
        return SlotRefreshWithTitleFilter(text, searchVideoCateTypeComboBox->currentIndex() != 0);
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
    const QString text = searchVideoLineEdit->text();
    if (text.isEmpty()) {
        return;
    }
    if (!TextValidator::IsValid(text)) {
        ShowError(tr("VideoListWidget.RefreshVideoListMySQLIncompatible"));
        qWarning() << "search: category name is MySQL incompatible";
        return;
    }
    qInfo().noquote() << "search:" << text;
    const bool allCate = searchVideoCateTypeComboBox->currentIndex() != 0;
    if (allCate) {
        containSubCate = true;
        containSubCateButton->setChecked(true);
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
    const QModelIndexList selected = cateTreeView->selectionModel()->selectedRows();
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
        videoListStackedWidget->setCurrentWidget(loadingVideoPage);
        loadingVideoMovie->start();
        return;
    }
    loadingVideoMovie->stop();
    if (videos.rowCount() > 0) {
        if (searchResultMode) {
            SetSearchResultMode(false, 0);
        }
        videoListStackedWidget->setCurrentWidget(videoTablePage);
    } else {
        ShowEmptyPage();
    }
}

void VideoListWidget::ShowEmptyPage()
{
    videoListStackedWidget->setCurrentWidget(noVideoPage);
    loadingVideoMovie->stop();
    const bool searched = !searchVideoLineEdit->text().isEmpty() || searchResultMode;
    const QString picture = searched ? QStringLiteral(":/image/videoList/no_search_result_img.svg")
                                     : QStringLiteral(":/image/videoList/no_video_img.svg");
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap = QIcon(picture).pixmap(noVideoPicLabel->size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    noVideoPicLabel->setPixmap(pixmap);
    noVideoStrLabel->setText(searched ? tr("VideoList.NoSearchResult") : tr("VideoList.NoVideo"));
}

void VideoListWidget::OnRefreshSucceed(qulonglong pageNumber, qulonglong totalPages,
                                       qulonglong newPageSize)
{
    if (totalPages != 0) {
        page = int(pageNumber);
        if (newPageSize != 0) {
            pageSize = int(newPageSize);
        }
        paginator->SetPages(qulonglong(page), totalPages, qulonglong(pageSize));
    }
    statusBar->setText(tr("Total %1 videos").arg(videos.rowCount()));
    statusBar->setVisible(totalPages != 0);
    paginator->setVisible(totalPages != 0 && !searchResultMode);
}

void VideoListWidget::UpdateStatusBar()
{
    const int checked = videos.CheckedCount();
    statusBar->setText(checked == 0
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
    if (videoListStackedWidget->isVisible()) {
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
    if (watched == videoListStackedWidget && event->type() == QEvent::Show &&
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
    uploadButton->hide();
    controlVideoTableViewWidget->hide();
    videos.GetVideosInfo2(vids, ApiCollection::Basic);
}

void VideoListWidget::SetSearchResultMode(bool on, int count)
{
    searchResultMode = on;
    searchResultTip->setVisible(on);
    returnButton->setVisible(on);
    searchVideoWidget->setVisible(!on);
    videoTableView->Header()->SetSortEnabled(!on);
    if (on) {
        searchResultTip->setText(tr("Search %1 Video").arg(count));
        uploadButton->hide();
        refreshVideoTableButton->hide();
        subCateSwitchWidget->hide();
        paginator->hide();
        controlVideoTableViewWidget->setVisible(count != 0);
        if (count >= 1) {
            videoTableView->selectAll();
        } else {
            ShowEmptyPage();
        }
    } else {
        uploadButton->setVisible(accounts.HasPermission(AccountManager::VideoUpload));
        refreshVideoTableButton->show();
        subCateSwitchWidget->show();
        paginator->show();
        controlVideoTableViewWidget->show();
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
    refreshVideoTableButton->click();
}

// Category side.

void VideoListWidget::OnCategoryAvailable(bool available)
{
    for (QWidget* widget :
         {static_cast<QWidget*>(addCateButton), static_cast<QWidget*>(refreshCateButton),
          static_cast<QWidget*>(uploadButton), static_cast<QWidget*>(searchVideoLineEdit)}) {
        widget->setEnabled(available);
    }
    searchCateLineEdit->setEnabled(available && accounts.HasPermission(AccountManager::CateSearch));
    addCateButton->setEnabled(available && accounts.HasPermission(AccountManager::CateAdd));
    uploadButton->setEnabled(available && accounts.HasPermission(AccountManager::VideoUpload));
    if (available) {
        cateTreeStackedWidget->setCurrentWidget(cateTreeViewPage);
        loadingCateMovie->stop();
    } else {
        cateTreeStackedWidget->setCurrentWidget(loadingCatePage);
        loadingCateMovie->start();
    }
}

void VideoListWidget::OnRefreshCategoryClicked()
{
    if (categories.IsOperating()) {
        ShowError(tr("VideoListWidget.IsOperatingCategory"));
        return;
    }
    searchCateLineEdit->clear();
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
    cateTreeView->selectionModel()->select(
        top, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    cateTreeView->setCurrentIndex(top);
    if (!cateTreeView->isExpanded(top)) {
        cateTreeView->collapseAll();
        cateTreeView->expand(top);
    }
}

void VideoListWidget::SlotUpdateCateFilter()
{
    const QString text = searchCateLineEdit->text();
    if (text == lastCateFilter) {
        return;
    }
    lastCateFilter = text;
    qInfo().noquote() << "Set cate filter:" << text;
    cateProxy->setFilterFixedString(text);
    if (!text.isEmpty()) {
        cateTreeView->clearSelection();
        cateTreeView->expandAll();
    } else {
        cateTreeView->collapseAll();
        cateTreeView->expand(cateProxy->index(0, 0));
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
