#include "ui/transfer/TransferListWidget.h"

#include <QCoreApplication>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/Config.h"
#include "models/CategoryTreeModel.h"
#include "platform/SystemPower.h"
#include "store/DBManager.h"
#include "ui/common/MsgBox.h"
#include "ui/common/StatusButton.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/Toast.h"
#include "ui/transfer/DropToUploadEventFilter.h"
#include "ui/transfer/HistoryTableWidget.h"
#include "ui/transfer/PostTaskController.h"
#include "ui/transfer/RecordTableWidget.h"
#include "ui/transfer/TransferTrayIcon.h"
#include "ui/transfer/UploadDialog.h"
#include "upload/SDKManager.h"
#include "upload/SDKUploadTask.h"

TransferListWidget::TransferListWidget(SDKManager& uploads, DBManager& database,
                                       CategoryTreeModel& categories, Config& config,
                                       QWidget* parent, SystemPower* systemPower)
    : QWidget(parent),
      uploads(uploads),
      database(database),
      categories(categories),
      config(config),
      power(systemPower ? systemPower : new SystemPower(this))
{
    setObjectName(QStringLiteral("TransferListWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(StyleSheet::Load(QStringLiteral("TransferListWidget.qss")));
    BuildUi();

    connect(&uploads, &SDKManager::SignalAppendUpload, recordTable,
            &RecordTableWidget::OnAppendItem);
    connect(&uploads, &SDKManager::SignalRemoveUpload, recordTable,
            &RecordTableWidget::OnRemoveItem);
    connect(&uploads, &SDKManager::SignalRemoveAllUploads, recordTable,
            &RecordTableWidget::OnRemoveAllItems);
    connect(&uploads, &SDKManager::SignalAllUploadStatus, this, [this](bool allStart) {
        allStarted = allStart;
        allOperationBtn->setChecked(allStart);
    });
    connect(&database, &DBManager::SignalAppendHistory, historyTable,
            &HistoryTableWidget::OnAppendItem);
    connect(&database, &DBManager::SignalRemoveHistory, historyTable,
            &HistoryTableWidget::OnRemoveItem);
    connect(&database, &DBManager::SignalRemoveAllHistories, historyTable,
            &HistoryTableWidget::OnRemoveAllItems);
    connect(recordTable, &RecordTableWidget::SignalProcess, this, &TransferListWidget::OnProcess);
    connect(recordTable, &RecordTableBase::SignalCountChange, this, [this](int count) {
        currentTaskNumLabel->setText(tr("Mainwindow.CurrentTaskNum:") +
                                     QStringLiteral("%1").arg(count, 4));
        tray->SetQueue(count, totalPercent, allStarted);
    });
    connect(historyTable, &RecordTableBase::SignalCountChange, this, [this](int count) {
        finishedCountLabel->setText(tr("MainWindow.TotalTransFinish") + QString::number(count) +
                                    tr("MainWindow.TotalTransFinishFiles"));
    });
    connect(recordTable, &RecordTableBase::SignalContentStatus, this,
            [this](bool empty) { recordStack->setCurrentIndex(empty ? 0 : 1); });
    connect(historyTable, &RecordTableBase::SignalContentStatus, this,
            [this](bool empty) { historyStack->setCurrentIndex(empty ? 0 : 1); });
    connect(&categories, &CategoryTreeModel::SignalCategoryAvailable, this, [this](bool available) {
        uploadBtn->setEnabled(available);
        uploadNowBtn->setEnabled(available);
    });

    postTask = new PostTaskController(*power, this, this);
    connect(postTaskMenu, &PostTaskMenu::SignalChoiceChanged, postTask,
            &PostTaskController::SetChoice);
    connect(recordTable, &RecordTableWidget::SignalQueueState, postTask,
            &PostTaskController::OnQueueState);
    connect(postTask, &PostTaskController::SignalQuitRequested, this,
            &TransferListWidget::SignalQuitRequested);

    tray = new TransferTrayIcon(window(), this);
    connect(tray, &TransferTrayIcon::SignalAllOperation, this, &TransferListWidget::OnAllOperation);
    connect(tray, &TransferTrayIcon::SignalQuit, this, &TransferListWidget::SignalQuitRequested);
}

TransferListWidget::~TransferListWidget()
{
    // The latest progress of every upload survives the page.
    uploads.SaveUploadProgress();
}

void TransferListWidget::Init()
{
    // The tray belongs to the top-level window the page now sits in.
    delete tray->Menu();
    tray->deleteLater();
    tray = new TransferTrayIcon(window(), this);
    connect(tray, &TransferTrayIcon::SignalAllOperation, this, &TransferListWidget::OnAllOperation);
    connect(tray, &TransferTrayIcon::SignalQuit, this, &TransferListWidget::SignalQuitRequested);
    if (TransferTrayIcon::Available()) {
        tray->show();
    }
    recordTable->OnRemoveAllItems();
    historyTable->LoadNextPage();
    uploads.LoadUploads();
}

void TransferListWidget::BuildUi()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 16);
    layout->setSpacing(12);

    auto* tabRow = new QHBoxLayout;
    tabRow->setSpacing(8);
    recordTabBtn = new QPushButton(tr("TransferList.Uploading"), this);
    recordTabBtn->setObjectName(QStringLiteral("recordTabBtn"));
    historyTabBtn = new QPushButton(tr("TransferList.Finished"), this);
    historyTabBtn->setObjectName(QStringLiteral("historyTabBtn"));
    for (QPushButton* tab : {recordTabBtn, historyTabBtn}) {
        tab->setCheckable(true);
        tab->setAutoExclusive(true);
        tab->setCursor(Qt::PointingHandCursor);
        tabRow->addWidget(tab);
    }
    recordTabBtn->setChecked(true);
    tabRow->addStretch(1);
    layout->addLayout(tabRow);

    stackedWidget = new QStackedWidget(this);
    stackedWidget->setObjectName(QStringLiteral("transferStackedWidget"));
    stackedWidget->addWidget(BuildRecordPage());
    stackedWidget->addWidget(BuildHistoryPage());
    layout->addWidget(stackedWidget, 1);
    connect(recordTabBtn, &QPushButton::clicked, this, &TransferListWidget::ShowUploadingTab);
    connect(historyTabBtn, &QPushButton::clicked, this, &TransferListWidget::ShowFinishedTab);
}

QWidget* TransferListWidget::BuildEmptyPlaceholder(const char* name, const QString& text,
                                                   bool withButton)
{
    auto* empty = new QWidget(this);
    empty->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(empty);
    layout->setSpacing(12);
    layout->addStretch(1);
    auto* icon = new QLabel(empty);
    icon->setObjectName(QStringLiteral("emptyIcon"));
    icon->setPixmap(QIcon(QStringLiteral(":/image/transferList/icon_empty.svg")).pixmap(96, 96));
    icon->setAlignment(Qt::AlignCenter);
    auto* label = new QLabel(text, empty);
    label->setObjectName(QStringLiteral("emptyLabel"));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    layout->addWidget(label);
    if (withButton) {
        uploadNowBtn = new QPushButton(tr("TransferList.UploadNow"), empty);
        uploadNowBtn->setObjectName(QStringLiteral("uploadNowBtn"));
        uploadNowBtn->setProperty("Style", QStringLiteral("blue"));
        uploadNowBtn->setFixedWidth(140);
        auto* row = new QHBoxLayout;
        row->addStretch(1);
        row->addWidget(uploadNowBtn);
        row->addStretch(1);
        layout->addLayout(row);
        connect(uploadNowBtn, &QPushButton::clicked, this,
                &TransferListWidget::on_uploadNowBtn_clicked);
    }
    layout->addStretch(2);
    new DropToUploadEventFilter(empty, [this](const QList<QUrl>& urls) { SlotDrop(urls); });
    return empty;
}

QWidget* TransferListWidget::BuildRecordPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("recordPage"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto* toolbar = new QHBoxLayout;
    toolbar->setSpacing(12);
    uploadBtn = new QPushButton(tr("TransferList.Upload"), page);
    uploadBtn->setObjectName(QStringLiteral("uploadBtn"));
    uploadBtn->setProperty("Style", QStringLiteral("blue"));
    allOperationBtn = new StatusButton(QStringLiteral("allOperationBtn"), tr("StartAll"),
                                       tr("SuspendAll"), true, page);
    cancelAllBtn = new QPushButton(tr("CancelAll"), page);
    cancelAllBtn->setObjectName(QStringLiteral("cancelAllBtn"));
    postTaskBtn = new QPushButton(tr("MainWindow.PostTaskBtn"), page);
    postTaskBtn->setObjectName(QStringLiteral("postTaskBtn"));
    postTaskMenu = new PostTaskMenu(postTaskBtn);
    postTaskBtn->setMenu(postTaskMenu);
    toolbar->addWidget(uploadBtn);
    toolbar->addWidget(allOperationBtn);
    toolbar->addWidget(cancelAllBtn);
    toolbar->addStretch(1);
    toolbar->addWidget(postTaskBtn);
    layout->addLayout(toolbar);

    auto* header = new QWidget(page);
    header->setObjectName(QStringLiteral("totalProgressWidget"));
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(16, 10, 16, 10);
    headerLayout->setSpacing(12);
    currentTaskNumLabel =
        new QLabel(tr("Mainwindow.CurrentTaskNum:") + QStringLiteral("   0"), header);
    currentTaskNumLabel->setObjectName(QStringLiteral("currentTaskNumLabel"));
    totalProgressBar = new QProgressBar(header);
    totalProgressBar->setObjectName(QStringLiteral("totalProgressBar"));
    totalProgressBar->setRange(0, 100);
    totalProgressBar->setValue(0);
    totalProgressBar->setTextVisible(false);
    totalProgressBar->setFixedHeight(6);
    totalPercentLabel = new QLabel(header);
    totalPercentLabel->setObjectName(QStringLiteral("totalPercentLabel"));
    totalPercentLabel->setMinimumWidth(64);
    totalSpeedLabel = new QLabel(header);
    totalSpeedLabel->setObjectName(QStringLiteral("totalSpeedLabel"));
    totalSpeedLabel->setMinimumWidth(90);
    totalSpeedLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    headerLayout->addWidget(currentTaskNumLabel);
    headerLayout->addWidget(totalProgressBar, 1);
    headerLayout->addWidget(totalPercentLabel);
    headerLayout->addWidget(totalSpeedLabel);
    layout->addWidget(header);

    recordStack = new QStackedWidget(page);
    recordStack->setObjectName(QStringLiteral("recordStack"));
    recordStack->addWidget(
        BuildEmptyPlaceholder("recordEmptyWidget", tr("TransferList.NoUploads"), true));
    recordTable = new RecordTableWidget(uploads, database, categories, page);
    recordStack->addWidget(recordTable);
    layout->addWidget(recordStack, 1);
    new DropToUploadEventFilter(recordTable, [this](const QList<QUrl>& urls) { SlotDrop(urls); });

    connect(uploadBtn, &QPushButton::clicked, this, &TransferListWidget::on_uploadBtn_clicked);
    connect(allOperationBtn, &QPushButton::clicked, this,
            &TransferListWidget::on_allOperationBtn_clicked);
    connect(cancelAllBtn, &QPushButton::clicked, this,
            &TransferListWidget::on_cancelAllBtn_clicked);
    const bool available = categories.rowCount() > 0;
    uploadBtn->setEnabled(available);
    uploadNowBtn->setEnabled(available);
    return page;
}

QWidget* TransferListWidget::BuildHistoryPage()
{
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("historyPage"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* toolbar = new QHBoxLayout;
    finishedCountLabel = new QLabel(tr("MainWindow.TotalTransFinish") + QStringLiteral("0") +
                                        tr("MainWindow.TotalTransFinishFiles"),
                                    page);
    finishedCountLabel->setObjectName(QStringLiteral("finishedCountLabel"));
    clearAllRecordButton = new QPushButton(tr("TransferList.ClearHistory"), page);
    clearAllRecordButton->setObjectName(QStringLiteral("clearAllRecordButton"));
    clearAllRecordButton->setIcon(
        QIcon(QStringLiteral(":/image/transferList/icon_delete_tasks_normal.svg")));
    toolbar->addWidget(finishedCountLabel);
    toolbar->addStretch(1);
    toolbar->addWidget(clearAllRecordButton);
    layout->addLayout(toolbar);

    historyStack = new QStackedWidget(page);
    historyStack->setObjectName(QStringLiteral("historyStack"));
    historyStack->addWidget(
        BuildEmptyPlaceholder("historyEmptyWidget", tr("TransferList.NoHistory"), false));
    historyTable = new HistoryTableWidget(uploads, database, page);
    historyStack->addWidget(historyTable);
    layout->addWidget(historyStack, 1);
    new DropToUploadEventFilter(historyTable, [this](const QList<QUrl>& urls) { SlotDrop(urls); });
    connect(clearAllRecordButton, &QPushButton::clicked, this,
            &TransferListWidget::on_clearAllRecordButton_clicked);
    return page;
}

void TransferListWidget::ShowUploadingTab()
{
    recordTabBtn->setChecked(true);
    stackedWidget->setCurrentIndex(0);
    qInfo() << "the record page:" << 0 << ",the page index:" << recordStack->currentIndex();
}

void TransferListWidget::ShowFinishedTab()
{
    historyTabBtn->setChecked(true);
    stackedWidget->setCurrentIndex(1);
    qInfo() << "the history page:" << 1 << ",the page index:" << historyStack->currentIndex();
}

UploadDialog* TransferListWidget::OpenUploadDialog()
{
    auto* dialog = new UploadDialog(uploads, categories, config, window());
    connect(dialog, &UploadDialog::SignalUploadsQueued, this, &TransferListWidget::OnUploadsQueued);
    uploadDialog = dialog;
    dialog->show();
    return dialog;
}

UploadDialog* TransferListWidget::CurrentUploadDialog() const
{
    return uploadDialog.data();
}

void TransferListWidget::on_uploadNowBtn_clicked()
{
    OpenUploadDialog();
}

void TransferListWidget::on_uploadBtn_clicked()
{
    OpenUploadDialog();
}

void TransferListWidget::SlotDrop(QList<QUrl> urls)
{
    OpenUploadDialog()->AddUrls(urls);
}

void TransferListWidget::OnUploadsQueued(int handedOver, int rows)
{
    if (handedOver > 0) {
        ShowUploadingTab();
        emit SignalJumpToTransferList();
    }
    if (handedOver < rows) {
        ShowToast(QCoreApplication::translate("UploadDialog", "UploadDialog.UploadFileDuplicated"));
    }
}

void TransferListWidget::on_clearAllRecordButton_clicked()
{
    if (MsgBox::Info(this, tr("SystemTip"),
                     tr("Are you sure you want to remove all history records?"),
                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok) {
        database.RemoveAllHistories(true);
    }
}

void TransferListWidget::on_allOperationBtn_clicked(bool start)
{
    OnAllOperation(start);
}

void TransferListWidget::OnAllOperation(bool start)
{
    if (start) {
        uploads.StartAll();
    } else {
        uploads.PauseAll();
    }
    allOperationBtn->setChecked(start);
}

void TransferListWidget::on_cancelAllBtn_clicked()
{
    if (MsgBox::Info(this, tr("SystemTip"),
                     tr("The file has not been uploaded successfully. Are you sure you want to "
                        "cancel all uploads?"),
                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok) {
        uploads.DeleteAll();
    }
}

void TransferListWidget::ShowToast(const QString& text)
{
    Toast::ShowToastInParent(window(), text, 1, Qt::AlignTop | Qt::AlignVCenter, true);
}

void TransferListWidget::OnProcess(qlonglong uploadBytes, qlonglong totalBytes, QString speed)
{
    if (totalBytes < 1) {
        totalPercent = -1;
        totalPercentLabel->clear();
        totalProgressBar->setValue(0);
    } else {
        totalPercent = double(uploadBytes) / double(totalBytes) * 100;
        totalPercentLabel->setText(
            QStringLiteral("%1%").arg(QString::number(totalPercent, 'f', 2)));
        totalProgressBar->setValue(int(totalPercent));
    }
    totalSpeedLabel->setText(speed);
    tray->SetQueue(recordTable->Count(), totalPercent, allStarted);
}

bool TransferListWidget::TrayShown() const
{
    return tray && tray->isVisible();
}

QString TransferListWidget::TotalPercentText() const
{
    return totalPercentLabel->text();
}

QString TransferListWidget::TotalSpeedText() const
{
    return totalSpeedLabel->text();
}
