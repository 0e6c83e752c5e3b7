#pragma once

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include "tasks/TaskManager.h"

class AccountManager;
class CategoryFilterRule;
class CategoryTreeModel;
class CategoryTreeView;
class QMovie;
class RecursiveFilterProxyModel;
class SDKManager;
class SmoothScrollHelper;
class Toast;
class VideoTableModel;
class VideoTableView;

namespace Ui {
class VideoListWidget;
}

// The library page: the category tree with its filter on the left; on the right the paged
// video table with search, sort (by the header), the sub-category switch, export, refresh,
// move and delete, a status line and the paginator. The widgets come from the form
// (VideoListWidget.ui); the class drives the category and video models it is handed and
// answers their signals with page switches and toasts.
class VideoListWidget : public QWidget
{
    Q_OBJECT

public:
    VideoListWidget(AccountManager& accounts, CategoryTreeModel& categories,
                    VideoTableModel& videos, SDKManager& uploads, QWidget* parent = nullptr);
    ~VideoListWidget() override;

    // Loads the category tree (the main window calls it once the page exists).
    QUuid RefreshCategory();

    qulonglong CurrentCateId() const { return currentCateId; }
    int Page() const { return page; }
    int PageSize() const { return pageSize; }
    bool ContainSubCate() const { return containSubCate; }
    bool RefreshPendingOnShow() const { return refreshPendingOnShow; }
    bool InSearchResultMode() const { return searchResultMode; }
    VideoTableView* Table() const;
    CategoryTreeView* Tree() const;
    RecursiveFilterProxyModel* TreeProxy() const { return cateProxy; }

    // Selects a category of the tree (through the filter); false when it is not shown.
    bool SelectCategory(qulonglong cateId);
    // Writes the checked videos to path as CSV; false (and a toast) when that failed.
    bool ExportCsvTo(const QString& path);

public slots:
    QUuid SlotRefreshWithTitleFilter(const QString& titleFilter, bool allCate);
    QUuid SlotRefreshWithTitleFilter(const QString& titleFilter);
    QUuid SlotRefreshVideoList();
    void SlotUploadTaskAppended();
    void SlotUploadTaskRemoved();
    void SlotUpdateCateFilter();
    void SlotTaskRunningSlowly(bool isFinish);
    // The batch-search dialog was accepted with these vids: show exactly these videos.
    void SlotShowBatchSearchResult(const QStringList& vids);

signals:
    // The upload button (or files dropped on the page): open the upload dialog for cateId.
    void SignalUploadRequested(qulonglong cateId);
    // The batch-search button: open the batch-search dialog; its result comes back through
    // SlotShowBatchSearchResult.
    void SignalBatchSearchRequested();
    // The edit button of a row (column-0 index of the video model): open the edit dialog.
    void SignalEditVideoRequested(QModelIndex index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpCategorySide();
    void SetUpVideoSide();
    void ConnectCategorySide();
    void ConnectVideoSide();
    void ApplyPermissions();
    void ConnectDialogs();
    void ConnectModels();

    QUuid ReloadWithSearchText();
    void OnSearch();
    void OnSearchTextChanged(const QString& text);
    void OnSubCateSwitch(bool contain);
    void OnTreeSelectionChanged();
    void OnVideoListAvailable(bool available);
    void OnRefreshSucceed(qulonglong pageNumber, qulonglong totalPages, qulonglong newPageSize);
    void OnCategoryAvailable(bool available);
    void OnRefreshCategoryClicked();
    void OnRefreshCategorySucceed();
    void OnReturnClicked();
    void SetSearchResultMode(bool on, int count);
    void ShowEmptyPage();
    void UpdateStatusBar();
    void ExportCsv();
    void MoveVideos();
    void DeleteVideos();
    void ShowDeleteFailures(const QList<QPair<QString, QString>>& errors);
    void ShowSuccess(const QString& text);
    void ShowError(const QString& text);

    AccountManager& accounts;
    CategoryTreeModel& categories;
    VideoTableModel& videos;
    SDKManager& uploads;

    Ui::VideoListWidget* ui;
    RecursiveFilterProxyModel* cateProxy = nullptr;
    CategoryFilterRule* cateFilterRule = nullptr;
    QMovie* loadingCateMovie = nullptr;
    QMovie* loadingVideoMovie = nullptr;
    SmoothScrollHelper* smoothScroll = nullptr;

    // Page state.
    qulonglong currentCateId = 0;
    int page = 1;
    int pageSize = 20;
    bool containSubCate = false;
    bool refreshPendingOnShow = false;
    bool movingCategory = false;
    bool searchResultMode = false;
    QUuid lastRefreshUuid;
    QPointer<Toast> slowToast;
};
