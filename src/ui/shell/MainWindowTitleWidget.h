#pragma once

#include <QWidget>

class AccountManager;
class Config;
class QMenu;
class QPushButton;
class SDKManager;
class UserInfoWidget;

namespace Ui {
class MainWindowTitleWidget;
}

// The main window's part of the title bar: logo, the two page buttons, the account menu
// (account data, switch account, quit), feedback and the settings menu.
class MainWindowTitleWidget : public QWidget
{
    Q_OBJECT

public:
    // The account menu shows account; the settings menu's dialogs get config and uploads.
    MainWindowTitleWidget(AccountManager& account, Config& config, SDKManager& uploads,
                          QWidget* parent = nullptr);
    ~MainWindowTitleWidget() override;

    QMenu* AccountMenu() const { return accountMenu; }
    QMenu* SettingsMenu() const { return settingsMenu; }
    UserInfoWidget* UserInfo() const { return userInfoWidget; }
    QPushButton* AccountButton() const;
    QPushButton* SettingsButton() const;

    // Re-reads the signed-in account into the account menu.
    void RefreshUserInfo();

signals:
    void SignalJumpToVideoList();
    void SignalJumpToTransferList();
    void SignalExit(int exitCode);
    void SignalQuit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildAccountMenu();
    void BuildSettingsMenu();
    void PlaceMenu(QMenu* menu);

    AccountManager& account;
    Config& config;
    SDKManager& uploads;
    Ui::MainWindowTitleWidget* ui;
    QMenu* accountMenu = nullptr;
    QMenu* settingsMenu = nullptr;
    UserInfoWidget* userInfoWidget = nullptr;
};
