#pragma once

#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include "ui/transfer/PostTaskMenu.h"

class CategoryTreeModel;
class Config;
class DBManager;
class HistoryTableWidget;
class PostTaskController;
class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class RecordTableWidget;
class SDKManager;
class StatusButton;
class SystemPower;
class TransferTrayIcon;
class UploadDialog;

// The main window's transfer page: the uploading tab (the queue with live progress, the total
// progress header, start-all / cancel-all / upload buttons and the post-task menu) and the
// finished tab (the account's upload history, loaded page by page).
class TransferListWidget : public QWidget
{
    Q_OBJECT

public:
    // power: the system's sleep and power-off; null uses logind on the system bus.
    TransferListWidget(SDKManager& uploads, DBManager& database, CategoryTreeModel& categories,
                       Config& config, QWidget* parent = nullptr, SystemPower* power = nullptr);
    ~TransferListWidget() override;

    // After sign-in: prepares the tables, loads the first history page, restores the queue.
    void Init();

    // Opens a new upload dialog (the last one opened, while it is open).
    UploadDialog* OpenUploadDialog();
    UploadDialog* CurrentUploadDialog() const;

    void ShowUploadingTab();
    void ShowFinishedTab();

    RecordTableWidget* RecordTable() const { return recordTable; }
    HistoryTableWidget* HistoryTable() const { return historyTable; }
    PostTaskMenu* PostMenu() const { return postTaskMenu; }
    PostTaskController* PostTask() const { return postTask; }
    TransferTrayIcon* Tray() const { return tray; }
    // Whether the tray icon is on the desktop (closing the window may then hide it).
    bool TrayShown() const;
    SystemPower& Power() const { return *power; }

    // The header's texts: "45.50%" and "1.50MB/S".
    QString TotalPercentText() const;
    QString TotalSpeedText() const;

signals:
    // The main window shows this page; quit asked by the post-task action or the tray.
    void SignalJumpToTransferList();
    void SignalQuitRequested();

public slots:
    void on_uploadNowBtn_clicked();
    void on_uploadBtn_clicked();
    void SlotDrop(QList<QUrl> urls);
    void on_clearAllRecordButton_clicked();
    void on_allOperationBtn_clicked(bool start);
    void on_cancelAllBtn_clicked();
    // Start (true) or suspend (false) every upload, as the settings menu and the tray do.
    void OnAllOperation(bool start);

private:
    void BuildUi();
    QWidget* BuildRecordPage();
    QWidget* BuildHistoryPage();
    QWidget* BuildEmptyPlaceholder(const char* name, const QString& text, bool withButton);
    void ShowToast(const QString& text);
    void OnProcess(qlonglong uploadBytes, qlonglong totalBytes, QString speed);
    void OnUploadsQueued(int handedOver, int rows);

    SDKManager& uploads;
    DBManager& database;
    CategoryTreeModel& categories;
    Config& config;
    SystemPower* power = nullptr;
    QPointer<UploadDialog> uploadDialog;

    QPushButton* recordTabBtn = nullptr;
    QPushButton* historyTabBtn = nullptr;
    QStackedWidget* stackedWidget = nullptr;
    QStackedWidget* recordStack = nullptr;
    QStackedWidget* historyStack = nullptr;
    RecordTableWidget* recordTable = nullptr;
    HistoryTableWidget* historyTable = nullptr;
    QPushButton* uploadBtn = nullptr;
    QPushButton* uploadNowBtn = nullptr;
    StatusButton* allOperationBtn = nullptr;
    QPushButton* cancelAllBtn = nullptr;
    QPushButton* postTaskBtn = nullptr;
    PostTaskMenu* postTaskMenu = nullptr;
    QPushButton* clearAllRecordButton = nullptr;
    QLabel* currentTaskNumLabel = nullptr;
    QLabel* totalPercentLabel = nullptr;
    QLabel* totalSpeedLabel = nullptr;
    QProgressBar* totalProgressBar = nullptr;
    QLabel* finishedCountLabel = nullptr;
    PostTaskController* postTask = nullptr;
    TransferTrayIcon* tray = nullptr;
    double totalPercent = -1;
    bool allStarted = false;
};
