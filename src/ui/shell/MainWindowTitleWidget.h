#pragma once

#include <QWidget>

class QMenu;
class QPushButton;
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
    explicit MainWindowTitleWidget(QWidget* parent = nullptr);
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

    Ui::MainWindowTitleWidget* ui;
    QMenu* accountMenu = nullptr;
    QMenu* settingsMenu = nullptr;
    UserInfoWidget* userInfoWidget = nullptr;
};
