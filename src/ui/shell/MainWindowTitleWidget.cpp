#include "ui/shell/MainWindowTitleWidget.h"

#include <QDebug>
#include <QDesktopServices>
#include <QEvent>
#include <QMenu>
#include <QUrl>
#include <QWidgetAction>

#include "account/AccountManager.h"
#include "app/DeploymentLinks.h"
#include "ui/common/CommonWidgetAction.h"
#include "ui/common/QPushButtonIconHelper.h"
#include "ui/common/UiResources.h"
#include "ui/shell/ShellDialogs.h"
#include "ui/shell/UserInfoWidget.h"
#include "ui_MainWindowTitleWidget.h"

namespace {

QMenu* NewMenu(const QString& name, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(name);
    menu->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    return menu;
}

void SetIcons(QPushButton* button, const QString& name)
{
    const QString base = QStringLiteral(":/image/MainTitlebar/icon_%1_%2.svg");
    new QPushButtonIconHelper(button, base.arg(name, QStringLiteral("normal")),
                              base.arg(name, QStringLiteral("hover")),
                              base.arg(name, QStringLiteral("pressed")));
    button->setIconSize(QSize(20, 20));
}

}  // namespace

MainWindowTitleWidget::MainWindowTitleWidget(AccountManager& account, Config& config,
                                             SDKManager& uploads, QWidget* parent)
    : QWidget(parent),
      account(account),
      config(config),
      uploads(uploads),
      ui(new Ui::MainWindowTitleWidget)
{
    UiResources::Init();
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    ui->logoLabel->setPixmap(QIcon(QStringLiteral(":/image/MainTitlebar/logo.svg"))
                                 .pixmap(window()->windowHandle(), QSize(28, 28)));

    BuildAccountMenu();
    BuildSettingsMenu();
    ui->accountBtn->setMenu(accountMenu);
    ui->settingsBtn->setMenu(settingsMenu);
    SetIcons(ui->accountBtn, QStringLiteral("account"));
    SetIcons(ui->feedbackBtn, QStringLiteral("feedback"));
    SetIcons(ui->settingsBtn, QStringLiteral("settings"));
    accountMenu->installEventFilter(this);
    settingsMenu->installEventFilter(this);

    connect(ui->videoListBtn, &QPushButton::clicked, this,
            &MainWindowTitleWidget::SignalJumpToVideoList);
    connect(ui->transferListBtn, &QPushButton::clicked, this,
            &MainWindowTitleWidget::SignalJumpToTransferList);
    connect(ui->feedbackBtn, &QPushButton::clicked, this, [this] {
        qInfo() << "open feedback page";
        QDesktopServices::openUrl(QUrl(DeploymentLinks::FeedbackUrl(this->config)));
    });
}

MainWindowTitleWidget::~MainWindowTitleWidget()
{
    delete ui;
}

QPushButton* MainWindowTitleWidget::AccountButton() const
{
    return ui->accountBtn;
}

QPushButton* MainWindowTitleWidget::SettingsButton() const
{
    return ui->settingsBtn;
}

void MainWindowTitleWidget::BuildAccountMenu()
{
    accountMenu = NewMenu(QStringLiteral("accountMenu"), this);
    userInfoWidget = new UserInfoWidget(accountMenu);
    auto* infoAction = new QWidgetAction(accountMenu);
    infoAction->setDefaultWidget(userInfoWidget);
    accountMenu->addAction(infoAction);
    accountMenu->addSeparator();
    accountMenu->addAction(new CommonWidgetAction(
        QStringLiteral("switchAccountBtn"), tr("MainWindow.SwitchAccount"),
        [this] {
            qInfo() << "Switch Account";
            emit SignalExit(1024);
        },
        accountMenu));
    accountMenu->addAction(new CommonWidgetAction(
        QStringLiteral("quitBtn"), tr("MainWindow.Quit"),
        [this] {
            qInfo() << "Quit";
            emit SignalQuit();
        },
        accountMenu));
    RefreshUserInfo();
}

void MainWindowTitleWidget::RefreshUserInfo()
{
    UserInfoWidget::Info info;
    info.account = account.UserAccount();
    info.expired = account.Expired();
    info.remainBytes = account.RemainBytes();
    info.space = account.Space();
    info.leftDay = account.LeftDay();
    info.expirationTime = account.ExpirationTime();
    userInfoWidget->SetUserInfo(info);
}

void MainWindowTitleWidget::BuildSettingsMenu()
{
    settingsMenu = NewMenu(QStringLiteral("settingsMenu"), this);
    settingsMenu->setMinimumWidth(128);
    const auto allOperation = [this](bool start) {
        qInfo() << (start ? "StartAll" : "SuspendAll");
        QMetaObject::invokeMethod(window(), "OnAllOperation", Q_ARG(bool, start));
    };
    const struct
    {
        const char* name;
        QString text;
        std::function<void()> callback;
    } rows[] = {
        {"startAllBtn", tr("MainWindow.StartAll"), [allOperation] { allOperation(true); }},
        {"suspendAllBtn", tr("MainWindow.SuspendAll"), [allOperation] { allOperation(false); }},
        {"preferencesBtn", tr("MainWindow.Preferences"),
         [this] { ShellDialogs::ShowPreferences(config, uploads); }},
        {"aboutBtn", tr("MainWindow.About"), [] { ShellDialogs::ExecAbout(); }},
        {"helpBtn", tr("MainWindow.Help"),
         [this] {
             qInfo() << "open help page";
             QDesktopServices::openUrl(QUrl(DeploymentLinks::HelpUrl(config)));
         }},
        {"updateBtn", tr("MainWindow.Update"),
         [this] { ShellDialogs::ShowUpdate(config, uploads); }},
    };
    for (const auto& row : rows) {
        settingsMenu->addAction(new CommonWidgetAction(QString::fromLatin1(row.name), row.text,
                                                       row.callback, settingsMenu));
    }
}

void MainWindowTitleWidget::PlaceMenu(QMenu* menu)
{
    QPushButton* button = menu == accountMenu ? ui->accountBtn : ui->settingsBtn;
    const QPoint buttonRight = button->mapToGlobal(QPoint(button->width(), 0));
    const int bottom = mapToGlobal(QPoint(0, height())).y();
    menu->move(buttonRight.x() - menu->width(), bottom);
}

bool MainWindowTitleWidget::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == accountMenu || watched == settingsMenu) &&
        (event->type() == QEvent::Show || event->type() == QEvent::Resize)) {
        PlaceMenu(static_cast<QMenu*>(watched));
    }
    return QWidget::eventFilter(watched, event);
}
