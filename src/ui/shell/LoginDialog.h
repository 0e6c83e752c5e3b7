#pragma once

#include <QDialog>
#include <QPoint>
#include <QStringList>

class AccountManager;
class Config;
class DBManager;
class QCompleter;
class QListWidget;
class QListWidgetItem;
class QMovie;
class QPushButton;
class QStringListModel;
class SDKManager;

namespace Ui {
class LoginDialog;
}

// The first window of every run: waits on its loading page for the start-up work, then offers
// the remembered accounts, the password, remember-password and the network settings, checks
// the input and signs in through the account manager.
//
// State: 0 loading -> 1 idle -> 2 logging in -> 1 (failure, cancel) or closed (success).
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    enum State
    {
        Loading = 0,
        Idle = 1,
        LoggingIn = 2
    };

    // The remembered accounts come from db, the sign-in goes to account; config and uploads
    // are for the network settings.
    LoginDialog(AccountManager& accountManager, DBManager& db, Config& config, SDKManager& uploads,
                QWidget* parent = nullptr);
    ~LoginDialog() override;

    int CurrentState() const { return state; }
    QString Password() const { return password; }
    QStringList Accounts() const { return accounts; }
    QListWidget* AccountList() const { return accountList; }

public slots:
    void OnStartupLoadingFinish();
    void OnLoginSucceed();
    void OnLoginFailed(const QString& error);
    void OnLogin();
    void OnCancel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void SetupAccountBox();
    void SetupPasswordBox();
    void ChooseAccount(const QString& account);
    void DeleteAccount(const QString& account);
    void ClearAllAccounts();
    void ShowError(const QString& text);
    void SetStatus(QWidget* widget, const QString& status);
    void EnterState(int newState);

    AccountManager& accountManager;
    DBManager& db;
    Config& config;
    SDKManager& uploads;
    Ui::LoginDialog* ui;
    QStringList accounts;
    int state = Loading;
    QString password;
    // The account whose stored password is in password; null when the password was typed.
    QString storedPasswordAccount;

    QListWidget* accountList = nullptr;
    QCompleter* completer = nullptr;
    QStringListModel* completerModel = nullptr;
    QPushButton* showPasswordButton = nullptr;
    QMovie* waitingMovie = nullptr;

    bool clearAllPressed = false;
    bool dragging = false;
    QPoint dragStart;
};
