#include "ui/shell/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QVBoxLayout>

#include "app/Config.h"
#include "ui/common/MsgBox.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/Toast.h"
#include "ui/library/VideoListWidget.h"
#include "ui/shell/MainWindowTitleWidget.h"
#include "ui/transfer/DropToUploadEventFilter.h"
#include "ui/transfer/TransferListWidget.h"
#include "ui/transfer/UploadDialog.h"
#include "ui_MainWindow.h"
#include "upload/SDKManager.h"
#include "upload/SDKUploadTask.h"

MainWindow::MainWindow(const AppServices& services, QWidget* parent)
    : QWidget(parent), services(services), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setStyleSheet(StyleSheet::Load(QStringLiteral("MainWindow.qss")));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_StyledBackground);  // the style sheet draws the window frame
    setWindowTitle(QGuiApplication::applicationDisplayName());
    ui->titleBarWidget->SetHost(this);
    connect(this, &MainWindow::SignalExit, qApp, &QCoreApplication::exit, Qt::QueuedConnection);
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::Init()
{
    if (titleWidget) {
        return;
    }
    titleWidget = new MainWindowTitleWidget(services.account, services.config, services.uploads,
                                            ui->titleBarWidget);
    titleWidget->setObjectName(QStringLiteral("MainWindowTitleWidget"));
    ui->titleBarWidget->SetCustomWidget(titleWidget);
    connect(titleWidget, &MainWindowTitleWidget::SignalJumpToVideoList, this,
            [this] { ui->stackedWidget->setCurrentWidget(ui->videoList); });
    connect(titleWidget, &MainWindowTitleWidget::SignalJumpToTransferList, this,
            [this] { ui->stackedWidget->setCurrentWidget(ui->transferList); });
    connect(titleWidget, &MainWindowTitleWidget::SignalExit, this, [this](int code) {
        if (ExitCheck()) {
            exitAllowed = true;
            emit SignalExit(code);
        }
    });
    connect(titleWidget, &MainWindowTitleWidget::SignalQuit, this, [this] {
        quitting = true;
        QApplication::closeAllWindows();
    });
    BuildVideoListPage();
    BuildTransferListPage();
}

void MainWindow::PlacePage(QWidget* placeholder, QWidget* page)
{
    auto* layout = new QVBoxLayout(placeholder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(page);
}

// The video list page (src/ui/library): it reloads when uploads come and go, and loads the
// category tree (whose first load selects the top category and lists its videos).
void MainWindow::BuildVideoListPage()
{
    videoListPage = new VideoListWidget(services.account, services.categories, services.videos,
                                        services.uploads, ui->videoList);
    PlacePage(ui->videoList, videoListPage);
    connect(&services.uploads, &SDKManager::SignalAppendUpload, videoListPage,
            &VideoListWidget::SlotUploadTaskAppended);
    connect(&services.uploads, &SDKManager::SignalRemoveUpload, videoListPage,
            &VideoListWidget::SlotUploadTaskRemoved);
    // The upload button and files dropped on the page open the transfer page's upload dialog,
    // preset with the category shown.
    connect(videoListPage, &VideoListWidget::SignalUploadRequested, this,
            [this](qulonglong cateId) {
                if (transferPage) {
                    transferPage->OpenUploadDialog()->SetCategory(cateId);
                }
            });
    new DropToUploadEventFilter(videoListPage, [this](const QList<QUrl>& urls) {
        if (transferPage) {
            UploadDialog* dialog = transferPage->OpenUploadDialog();
            dialog->SetCategory(videoListPage->CurrentCateId());
            dialog->AddUrls(urls);
        }
    });
    videoListPage->RefreshCategory();
}

// The transfer list page (src/ui/transfer): restores the account's unfinished uploads.
void MainWindow::BuildTransferListPage()
{
    transferPage =
        new TransferListWidget(services.uploads, services.db, services.categories, services.config);
    PlacePage(ui->transferList, transferPage);
    transferPage->Init();
    connect(transferPage, &TransferListWidget::SignalJumpToTransferList, this,
            [this] { ui->stackedWidget->setCurrentWidget(ui->transferList); });
    // The post-task action "quit" and the tray's quit end the program in order.
    connect(transferPage, &TransferListWidget::SignalQuitRequested, this, [this] {
        quitting = true;
        QApplication::closeAllWindows();
    });
}

QWidget* MainWindow::CurrentPage() const
{
    return ui->stackedWidget->currentWidget();
}

void MainWindow::ShowToast(const QString& text)
{
    Toast::ShowToastInParent(ui->stackedWidget, text, 1, Qt::AlignTop | Qt::AlignVCenter, true);
}

bool MainWindow::ExitCheck()
{
    if (services.uploads.AnyUploading()) {
        const QMessageBox::StandardButton answer = MsgBox::Info(
            this, QString(),
            tr("The file has not been uploaded successfully. Are you sure you want to exit?"),
            QMessageBox::Ok | QMessageBox::Cancel);
        if (answer != QMessageBox::Ok) {
            return false;
        }
    }
    services.uploads.PauseAll();
    return true;
}

void MainWindow::OnAllOperation(bool start)
{
    if (transferPage) {
        transferPage->OnAllOperation(start);
    } else if (start) {
        services.uploads.StartAll();
    } else {
        services.uploads.PauseAll();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // "Minimise to tray": closing the window hides it while a tray shows the queue.
    if (!quitting && !exitAllowed && transferPage && transferPage->TrayShown() &&
        services.config.Value(QStringLiteral("Application"), QStringLiteral("closeBehavior"))
                .toString() == QLatin1String("hide")) {
        hide();
        event->ignore();
        return;
    }
    // Once allowed (quit closes every window, this one again) the question is not repeated.
    if (exitAllowed || ExitCheck()) {
        exitAllowed = true;
        QApplication::closeAllWindows();
        event->accept();
        return;
    }
    event->ignore();
}
