#include "ui/shell/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>

#include "app/Application.h"
#include "ui/common/MsgBox.h"
#include "ui/common/Toast.h"
#include "ui/shell/MainWindowTitleWidget.h"
#include "ui/shell/ShellServices.h"
#include "ui_MainWindow.h"

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setStyleSheet(Application::LoadStyleSheet(QStringLiteral("MainWindow.qss")));
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
    titleWidget = new MainWindowTitleWidget(ui->titleBarWidget);
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
    connect(titleWidget, &MainWindowTitleWidget::SignalQuit, this,
            [] { QApplication::closeAllWindows(); });
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
    const ShellServices& services = ShellServices::Instance();
    if (services.HasUploadingTasks()) {
        const QMessageBox::StandardButton answer = MsgBox::Info(
            this, QString(),
            tr("The file has not been uploaded successfully. Are you sure you want to exit?"),
            QMessageBox::Ok | QMessageBox::Cancel);
        if (answer != QMessageBox::Ok) {
            return false;
        }
    }
    services.PauseAll();
    return true;
}

void MainWindow::OnAllOperation(bool start)
{
    const ShellServices& services = ShellServices::Instance();
    if (services.allOperation) {
        services.allOperation(start);
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Once allowed (quit closes every window, this one again) the question is not repeated.
    if (exitAllowed || ExitCheck()) {
        exitAllowed = true;
        QApplication::closeAllWindows();
        event->accept();
        return;
    }
    event->ignore();
}
