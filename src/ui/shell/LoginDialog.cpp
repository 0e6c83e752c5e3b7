#include "ui/shell/LoginDialog.h"

#include <QCompleter>
#include <QDebug>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QMovie>
#include <QPushButton>
#include <QScreen>
#include <QStringListModel>
#include <QStyle>
#include <QWidgetAction>

#include "account/AccountManager.h"
#include "app/DeploymentLinks.h"
#include "store/DBManager.h"
#include "ui/common/ComboBoxHelper.h"
#include "ui/common/LineEditProxyStyle.h"
#include "ui/common/StyleSheet.h"
#include "ui/shell/AccountItemWidget.h"
#include "ui/shell/NetSettingsDialog.h"
#include "ui_LoginDialog.h"

namespace {

const QString kClearAllAccount = QStringLiteral("ClearAllAccount");
const QString kPasswordMask = QStringLiteral("########");

// The text of an edited mask less what is left of the mask: what was typed into it, wherever
// the cursor stood or whatever part was selected. A deletion from the mask leaves nothing.
QString RemoveMask(const QString& text)
{
    QString typed = text;
    for (int removed = 0, i = 0; removed < kPasswordMask.size() && i < typed.size();) {
        if (typed.at(i) == QLatin1Char('#')) {
            typed.remove(i, 1);
            ++removed;
        } else {
            ++i;
        }
    }
    return typed;
}
constexpr int kRowHeight = 40;
constexpr int kMaxVisibleRows = 10;

void Repolish(QWidget* widget)
{
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

}  // namespace

LoginDialog::LoginDialog(AccountManager& accountManager, DBManager& db, Config& config,
                         SDKManager& uploads, QWidget* parent)
    : QDialog(parent),
      accountManager(accountManager),
      db(db),
      config(config),
      uploads(uploads),
      ui(new Ui::LoginDialog)
{
    ui->setupUi(this);
    setStyleSheet(StyleSheet::Load(QStringLiteral("LoginDialog.qss")));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::FramelessWindowHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_StyledBackground);  // the style sheet draws the window frame
    setFixedSize(size());

    const qreal ratio = devicePixelRatioF();
    const bool doubleDensity = !(ratio == 1.0);  // a ratio that is not a number counts as high
    waitingMovie = new QMovie(doubleDensity ? QStringLiteral(":/image/common/loading@2x.gif")
                                            : QStringLiteral(":/image/common/loading.gif"),
                              QByteArray(), this);
    // Frames are drawn by hand so the double-size animation keeps its logical size.
    ui->waitingPicLabel->setText(QString());
    connect(waitingMovie, &QMovie::frameChanged, this, [this, doubleDensity] {
        QPixmap frame = waitingMovie->currentPixmap();
        frame.setDevicePixelRatio(doubleDensity ? 2.0 : 1.0);
        ui->waitingPicLabel->setPixmap(frame);
    });

    ui->titleWidget->SetHost(this);
    ui->titleWidget->SetTitle(QStringLiteral(" "));
    ui->titleWidget->SetMoveEnabled(false);

    SetupPasswordBox();
    SetupAccountBox();

    connect(ui->loginBtn, &QPushButton::clicked, this, &LoginDialog::OnLogin);
    connect(ui->cancelBtn, &QPushButton::clicked, this, &LoginDialog::OnCancel);
    connect(ui->networkSettingBtn, &QPushButton::clicked, this, [this] {
        NetSettingsDialog dialog(this->config, this->uploads);
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
        dialog.exec();
    });

    // The agreement the sign-in accepts opens as a page of the deployment.
    ui->ua->setTextFormat(Qt::RichText);
    ui->ua->setOpenExternalLinks(true);
    ui->ua->setText(
        QStringLiteral("<a href=\"%1\" style=\"color:inherit;text-decoration:none;\">%2</a>")
            .arg(DeploymentLinks::AgreementUrl(config).toHtmlEscaped(), tr("UA").toHtmlEscaped()));

    ShowError(QString());
    EnterState(Loading);
}

LoginDialog::~LoginDialog()
{
    delete ui;
}

void LoginDialog::SetupPasswordBox()
{
    ui->passwordLineEdit->setProperty("actionIconPixelMetric", 24);
    LineEditProxyStyle::Fit(ui->passwordLineEdit);
    showPasswordButton = new QPushButton(ui->passwordLineEdit);
    showPasswordButton->setObjectName(QStringLiteral("showPasswordButton"));
    showPasswordButton->setCheckable(true);
    showPasswordButton->setFocusPolicy(Qt::NoFocus);
    showPasswordButton->setCursor(Qt::PointingHandCursor);
    showPasswordButton->setFixedSize(24, 24);
    auto* action = new QWidgetAction(ui->passwordLineEdit);
    action->setDefaultWidget(showPasswordButton);
    ui->passwordLineEdit->addAction(action, QLineEdit::TrailingPosition);
    showPasswordButton->hide();

    connect(ui->passwordLineEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        QString typed = text;
        if (!storedPasswordAccount.isEmpty()) {
            // The box showed the mask of a stored password: any edit drops the stored password,
            // and what is left is only what the user typed, never the mask's '#'s.
            typed = RemoveMask(text);
            if (typed != text) {
                ui->passwordLineEdit->setText(typed);
            }
        }
        storedPasswordAccount.clear();
        showPasswordButton->show();
        password = typed;
    });
    connect(showPasswordButton, &QPushButton::toggled, this, [this](bool checked) {
        ui->passwordLineEdit->setEchoMode(checked ? QLineEdit::Normal : QLineEdit::Password);
    });
}

void LoginDialog::SetupAccountBox()
{
    accounts.clear();
    for (const DBManager::User& user : db.GetUsers()) {
        accounts << user.account;
    }

    QComboBox* combo = ui->accountComboBox;
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->lineEdit()->setPlaceholderText(tr("Login.AccountPlaceHolderText"));
    LineEditProxyStyle::Fit(combo->lineEdit());
    completerModel = new QStringListModel(accounts, this);
    completer = new QCompleter(completerModel, this);
    completer->setCompletionMode(QCompleter::InlineCompletion);
    combo->setCompleter(completer);

    accountList = new QListWidget(this);
    accountList->setObjectName(QStringLiteral("accountList"));
    accountList->setResizeMode(QListView::Adjust);
    accountList->installEventFilter(this);
    combo->setModel(accountList->model());
    combo->setView(accountList);
    combo->view()->window()->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint |
                                            Qt::NoDropShadowWindowHint);
    ComboBoxHelper::Instance()->Install(combo);
    combo->lineEdit()->installEventFilter(this);

    for (const QString& account : qAsConst(accounts)) {
        auto* item = new QListWidgetItem(account, accountList);
        item->setData(Qt::UserRole, account);
        item->setSizeHint(QSize(0, kRowHeight));
        auto* row = new AccountItemWidget(account, true, accountList);
        accountList->setItemWidget(item, row);
        connect(row, &AccountItemWidget::AccountDelete, this,
                [this, account] { DeleteAccount(account); });
    }
    if (!accounts.isEmpty()) {
        auto* item = new QListWidgetItem(QString(), accountList);
        item->setData(Qt::UserRole, kClearAllAccount);
        item->setSizeHint(QSize(0, kRowHeight));
        auto* row = new AccountItemWidget(tr("Login.ClearAllAccount"), false, accountList);
        row->setObjectName(kClearAllAccount);
        row->installEventFilter(this);
        accountList->setItemWidget(item, row);
    }
    combo->setCurrentIndex(-1);
    combo->setEditText(QString());

    connect(combo, &QComboBox::textActivated, this, &LoginDialog::ChooseAccount);
    // A stored password belongs to the account it was chosen with: once the e-mail is changed
    // it goes, or it would be sent for another account and use up one of its attempts.
    connect(combo, &QComboBox::editTextChanged, this, [this](const QString& text) {
        if (!storedPasswordAccount.isNull() && text != storedPasswordAccount) {
            storedPasswordAccount.clear();
            password.clear();
            ui->passwordLineEdit->clear();
        }
    });
    connect(accountList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const QString account = item->data(Qt::UserRole).toString();
        if (account == kClearAllAccount) {
            ClearAllAccounts();
        } else {
            ui->accountComboBox->setEditText(account);
        }
    });
}

void LoginDialog::ChooseAccount(const QString& account)
{
    if (account.isEmpty()) {
        return;
    }
    int current = -1;
    for (int i = 0; i < accountList->count(); ++i) {
        auto* row = qobject_cast<AccountItemWidget*>(accountList->itemWidget(accountList->item(i)));
        const bool selected = accountList->item(i)->data(Qt::UserRole).toString() == account;
        if (row) {
            row->AccountLabel()->setProperty("selected", QVariant(selected));
            Repolish(row->AccountLabel());
        }
        if (selected && row && row->Deletable()) {
            current = i;
        }
    }
    accountList->setCurrentRow(current);
    ui->accountComboBox->setEditText(account);

    password.clear();
    bool remember = false;
    for (const DBManager::User& user : db.GetUsers()) {
        if (user.account == account) {
            password = user.password;
            remember = user.rememberPassword;
            break;
        }
    }
    storedPasswordAccount.clear();
    if (remember) {
        storedPasswordAccount = account;
        ui->passwordLineEdit->setText(kPasswordMask);
    } else {
        ui->passwordLineEdit->clear();
        password.clear();
    }
    showPasswordButton->setChecked(false);
    showPasswordButton->hide();
    ui->rememberPasswordCheckbox->setChecked(remember);
}

void LoginDialog::DeleteAccount(const QString& account)
{
    qDebug() << "delete" << account;
    if (accounts.size() <= 1) {
        ClearAllAccounts();
        return;
    }
    for (int i = 0; i < accountList->count(); ++i) {
        QListWidgetItem* item = accountList->item(i);
        if (item->data(Qt::UserRole).toString() == account) {
            if (QWidget* row = accountList->itemWidget(item)) {
                row->deleteLater();
            }
            delete accountList->takeItem(i);
            break;
        }
    }
    QWidget* popup = accountList->window();
    if (popup != this && accountList->count() < kMaxVisibleRows && popup->isVisible()) {
        popup->resize(popup->width(), popup->height() - kRowHeight);
    }
    accounts.removeAll(account);
    completerModel->setStringList(accounts);
    db.RemoveUser(account);
}

void LoginDialog::ClearAllAccounts()
{
    qDebug() << "Clear All Account";
    accountList->clear();
    ui->accountComboBox->setCompleter(nullptr);
    completer = nullptr;
    ui->accountComboBox->setEditText(QString());
    accounts.clear();
    completerModel->setStringList(accounts);
    db.RemoveAllUsers();
    ui->accountComboBox->hidePopup();
}

void LoginDialog::SetStatus(QWidget* widget, const QString& status)
{
    widget->setProperty("status", status);
    Repolish(widget);
}

void LoginDialog::ShowError(const QString& text)
{
    if (!text.isEmpty()) {
        qWarning() << "LoginDialog::ShowError:" << text;
    }
    ui->errorLabel->setText(text);
    ui->errorArea->setVisible(!text.isEmpty());
}

void LoginDialog::EnterState(int newState)
{
    state = newState;
    switch (state) {
        case Loading:
            ui->cancelBtn->hide();
            ui->waitingLabel->setText(tr("Login.Loading"));
            ui->stackedWidget->setCurrentWidget(ui->waitingPage);
            waitingMovie->start();
            break;
        case LoggingIn:
            ui->cancelBtn->show();
            ui->waitingLabel->setText(tr("Login.Logining"));
            ui->stackedWidget->setCurrentWidget(ui->waitingPage);
            waitingMovie->start();
            break;
        default:
            ui->stackedWidget->setCurrentWidget(ui->mainPage);
            waitingMovie->stop();
            break;
    }
}

void LoginDialog::OnLogin()
{
    if (state != Idle) {
        return;
    }
    const QString account = ui->accountComboBox->currentText();
    const bool remember = ui->rememberPasswordCheckbox->isChecked();
    SetStatus(ui->accountComboBox, QString());
    SetStatus(ui->passwordLineEdit, QString());
    if (account.isEmpty()) {
        ShowError(tr("LoginDialog.EmptyAccount"));
        SetStatus(ui->accountComboBox, QStringLiteral("error"));
        return;
    }
    if (password.isEmpty()) {
        ShowError(tr("LoginDialog.EmptyPassword"));
        SetStatus(ui->passwordLineEdit, QStringLiteral("error"));
        return;
    }
    if (!account.contains(QLatin1Char('@'))) {
        ShowError(tr("LoginDialog.AccountIsNotEmail"));
        SetStatus(ui->accountComboBox, QStringLiteral("error"));
        return;
    }
    ShowError(QString());
    EnterState(LoggingIn);
    accountManager.Login(account, password, remember);
}

void LoginDialog::OnCancel()
{
    EnterState(Idle);
    accountManager.LoginCancel();
}

void LoginDialog::OnStartupLoadingFinish()
{
    EnterState(Idle);
    ui->passwordLineEdit->setFocus();
}

void LoginDialog::OnLoginFailed(const QString& error)
{
    EnterState(Idle);
    ShowError(error);
}

void LoginDialog::OnLoginSucceed()
{
    accept();
    // Closed from the event loop: by then the main window is shown, so closing the last
    // visible window does not end the application.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void LoginDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        QRect rect = frameGeometry();
        rect.moveCenter(screen->availableGeometry().center());
        move(rect.topLeft());
    }
    activateWindow();
    setFocus();
}

void LoginDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnLogin();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == accountList && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Home:
            case Qt::Key_End:
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown:
                return true;
            default:
                break;
        }
    } else if (watched == ui->accountComboBox->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Up || key == Qt::Key_Down) && accountList->isVisible()) {
            return true;
        }
    } else if (watched->objectName() == kClearAllAccount) {
        auto* row = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            clearAllPressed = true;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease && clearAllPressed) {
            clearAllPressed = false;
            if (row->rect().contains(static_cast<QMouseEvent*>(event)->pos())) {
                // Deferred: clearing deletes the row that is delivering this event.
                QMetaObject::invokeMethod(this, &LoginDialog::ClearAllAccounts,
                                          Qt::QueuedConnection);
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void LoginDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragging = true;
        dragStart = event->globalPos() - frameGeometry().topLeft();
    }
    QDialog::mousePressEvent(event);
}

void LoginDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPos() - dragStart);
    }
    QDialog::mouseMoveEvent(event);
}

void LoginDialog::mouseReleaseEvent(QMouseEvent* event)
{
    dragging = false;
    QDialog::mouseReleaseEvent(event);
}
