// The shell windows offscreen with the real services (account manager, upload manager,
// database, settings) against the devplatform: login input checks and remembered accounts,
// preferences and network settings writing the ini file and reaching the upload manager, the
// update dialog's states, the main window's exit check and the account data of the title
// widget.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QValidator>
#include <QtTest>

#include "account/AccountManager.h"
#include "app/Config.h"
#include "models/CategoryTreeModel.h"
#include "models/VideoTableModel.h"
#include "store/DBManager.h"
#include "ui/common/MsgBox.h"
#include "ui/shell/AccountItemWidget.h"
#include "ui/shell/LoginDialog.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/NetSettingsDialog.h"
#include "ui/shell/PreferenceDialog.h"
#include "ui/shell/UpdateDialog.h"
#include "ui/shell/UserInfoWidget.h"
#include "upload/SDKManager.h"

namespace {

template <typename T = QWidget>
T* Child(QObject* parent, const char* name)
{
    T* child = parent->findChild<T*>(QLatin1String(name));
    if (!child) {
        qWarning() << "no child" << name;
    }
    return child;
}

// Answers the next message box with the given button; counts the boxes seen.
struct BoxAnswer
{
    int seen = 0;
    void Arm(QObject* context, QDialogButtonBox::StandardButton button)
    {
        QTimer::singleShot(30, context, [this, context, button] {
            auto* box = qobject_cast<MsgBox*>(QApplication::activeModalWidget());
            if (!box) {
                Arm(context, button);  // not open yet
                return;
            }
            ++seen;
            QTest::mouseClick(box->findChild<QDialogButtonBox*>()->button(button), Qt::LeftButton);
        });
    }
};

}  // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loginValidation_data();
    void loginValidation();
    void rememberedAccountSendsStoredPassword();
    void otherEmailDropsStoredPassword_data();
    void otherEmailDropsStoredPassword();
    void deletingLastAccountClearsList();
    void clearAllRow();
    void loginFailureAndCancel();

    void preferencesWriteAtOnce();
    void speedLimit_data();
    void speedLimit();
    void portValidator_data();
    void portValidator();
    void proxyNeedsHost();
    void noProxyRemovesKeys();

    void updateStates_data();
    void updateStates();

    void exitCheck_data();
    void exitCheck();
    void userInfo_data();
    void userInfo();

private:
    QTemporaryDir dir;
    std::unique_ptr<Config> config;
    std::unique_ptr<AccountManager> accounts;
    DBManager* db = nullptr;
    SDKManager* uploads = nullptr;
};

void TestShell::initTestCase()
{
    QVERIFY(dir.isValid());
    db = DBManager::instance();
    uploads = SDKManager::instance();
    QVERIFY(db->Open(dir.filePath(QStringLiteral("test.db"))));
}

void TestShell::init()
{
    QFile::remove(dir.filePath(QStringLiteral("global.ini")));
    config = std::make_unique<Config>(dir.filePath(QStringLiteral("global.ini")));
    config->RegisterDefaults();
    // The platform's CA as a default, so that the file holds only what a dialog writes.
    config->SetDefaultValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                            qEnvironmentVariable("KAVRO_TEST_CACERT"));
    Config::SetGlobal(config.get());
    db->RemoveAllUsers();
    accounts = std::make_unique<AccountManager>();
    uploads->SetMaxTasks(3);
}

void TestShell::cleanup()
{
    accounts.reset();
    Config::SetGlobal(nullptr);
}

void TestShell::loginValidation_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("errorBox");
    QTest::newRow("nothing") << QString() << QString() << QStringLiteral("LoginDialog.EmptyAccount")
                             << QStringLiteral("accountComboBox");
    QTest::newRow("no account") << QString() << QStringLiteral("pw")
                                << QStringLiteral("LoginDialog.EmptyAccount")
                                << QStringLiteral("accountComboBox");
    QTest::newRow("no password, no @")
        << QStringLiteral("user") << QString() << QStringLiteral("LoginDialog.EmptyPassword")
        << QStringLiteral("passwordLineEdit");
    QTest::newRow("no @") << QStringLiteral("user") << QStringLiteral("pw")
                          << QStringLiteral("LoginDialog.AccountIsNotEmail")
                          << QStringLiteral("accountComboBox");
    QTest::newRow("valid") << QStringLiteral("a@b.c") << QStringLiteral("pw") << QString()
                           << QString();
}

void TestShell::loginValidation()
{
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(QString, error);
    QFETCH(QString, errorBox);

    LoginDialog dialog(*accounts, *db, *config, *uploads);
    dialog.OnStartupLoadingFinish();
    auto* combo = Child<QComboBox>(&dialog, "accountComboBox");
    QTest::keyClicks(combo->lineEdit(), account);
    QTest::keyClicks(Child<QLineEdit>(&dialog, "passwordLineEdit"), password);
    QTest::mouseClick(Child<QPushButton>(&dialog, "loginBtn"), Qt::LeftButton);

    QCOMPARE(Child<QLabel>(&dialog, "errorLabel")->text(), error);
    QCOMPARE(Child(&dialog, "errorArea")->isVisibleTo(&dialog), !error.isEmpty());
    QCOMPARE(accounts->IsLoggingIn(), error.isEmpty());
    if (error.isEmpty()) {
        QCOMPARE(dialog.Password(), password);
        QCOMPARE(dialog.CurrentState(), int(LoginDialog::LoggingIn));
    } else {
        QCOMPARE(Child(&dialog, errorBox.toLatin1().constData())->property("status").toString(),
                 QStringLiteral("error"));
    }
}

void TestShell::rememberedAccountSendsStoredPassword()
{
    db->AddUser({QStringLiteral("old@x.com"), QString(), false, 1});
    db->AddUser({QStringLiteral("me@x.com"), QStringLiteral("s3cret"), true, 2});
    LoginDialog dialog(*accounts, *db, *config, *uploads);
    dialog.OnStartupLoadingFinish();
    QCOMPARE(dialog.Accounts(),
             (QStringList{QStringLiteral("me@x.com"), QStringLiteral("old@x.com")}));
    QCOMPARE(dialog.AccountList()->count(), 3);  // two accounts and the clear-all row

    auto* combo = Child<QComboBox>(&dialog, "accountComboBox");
    emit combo->textActivated(QStringLiteral("me@x.com"));
    auto* password = Child<QLineEdit>(&dialog, "passwordLineEdit");
    QCOMPARE(password->text(), QStringLiteral("########"));
    QVERIFY(Child<QCheckBox>(&dialog, "rememberPasswordCheckbox")->isChecked());
    QVERIFY(!Child(&dialog, "showPasswordButton")->isVisibleTo(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Return);
    QVERIFY(accounts->IsLoggingIn());
    QCOMPARE(dialog.Password(), QStringLiteral("s3cret"));
    accounts->LoginCancel();

    // An account remembered without its password offers an empty box.
    dialog.OnLoginFailed(QStringLiteral("x"));
    emit combo->textActivated(QStringLiteral("old@x.com"));
    QVERIFY(password->text().isEmpty());
    QVERIFY(dialog.Password().isEmpty());
}

void TestShell::otherEmailDropsStoredPassword_data()
{
    QTest::addColumn<QString>("typed");  // keys typed at the end of the chosen e-mail
    QTest::addColumn<bool>("kept");
    QTest::newRow("another e-mail") << QStringLiteral("x") << false;
    QTest::newRow("typed back to the same") << QString() << true;
}

// A remembered account is chosen and then the e-mail is changed by typing: the stored password
// is not sent for the other account; the box asks for one.
void TestShell::otherEmailDropsStoredPassword()
{
    QFETCH(QString, typed);
    QFETCH(bool, kept);
    db->AddUser({QStringLiteral("me@x.com"), QStringLiteral("s3cret"), true, 2});
    LoginDialog dialog(*accounts, *db, *config, *uploads);
    dialog.OnStartupLoadingFinish();
    auto* combo = Child<QComboBox>(&dialog, "accountComboBox");
    emit combo->textActivated(QStringLiteral("me@x.com"));
    auto* password = Child<QLineEdit>(&dialog, "passwordLineEdit");
    QCOMPARE(dialog.Password(), QStringLiteral("s3cret"));

    combo->lineEdit()->setFocus();
    combo->lineEdit()->end(false);
    if (!typed.isEmpty()) {
        QTest::keyClicks(combo->lineEdit(), typed);
        QCOMPARE(combo->currentText(), QStringLiteral("me@x.com") + typed);
    }
    QCOMPARE(dialog.Password().isEmpty(), !kept);
    QCOMPARE(password->text().isEmpty(), !kept);
    QTest::keyClick(&dialog, Qt::Key_Return);
    QCOMPARE(accounts->IsLoggingIn(), kept);
    accounts->LoginCancel();
}

void TestShell::deletingLastAccountClearsList()
{
    db->AddUser({QStringLiteral("a@x.com"), QString(), false, 1});
    db->AddUser({QStringLiteral("b@x.com"), QString(), false, 2});
    LoginDialog dialog(*accounts, *db, *config, *uploads);
    QListWidget* list = dialog.AccountList();
    QCOMPARE(list->count(), 3);

    const auto rowOf = [list](const QString& account) {
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->data(Qt::UserRole).toString() == account) {
                return qobject_cast<AccountItemWidget*>(list->itemWidget(list->item(i)));
            }
        }
        return static_cast<AccountItemWidget*>(nullptr);
    };
    emit rowOf(QStringLiteral("a@x.com"))->AccountDelete();
    QCOMPARE(list->count(), 2);
    QCOMPARE(dialog.Accounts(), QStringList{QStringLiteral("b@x.com")});
    QCOMPARE(db->GetUsers().size(), 1);

    emit rowOf(QStringLiteral("b@x.com"))->AccountDelete();
    QCOMPARE(list->count(), 0);  // the clear-all row went with the last account
    QVERIFY(dialog.Accounts().isEmpty());
    QVERIFY(db->GetUsers().isEmpty());

    LoginDialog empty(*accounts, *db, *config, *uploads);
    QCOMPARE(empty.AccountList()->count(), 0);
}

void TestShell::clearAllRow()
{
    db->AddUser({QStringLiteral("a@x.com"), QString(), false, 1});
    db->AddUser({QStringLiteral("b@x.com"), QString(), false, 2});
    LoginDialog dialog(*accounts, *db, *config, *uploads);
    dialog.show();
    QListWidget* list = dialog.AccountList();
    QWidget* clearAll = list->itemWidget(list->item(list->count() - 1));
    QCOMPARE(clearAll->objectName(), QStringLiteral("ClearAllAccount"));
    // A press that ends outside the row does nothing.
    QTest::mousePress(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(-50, 5));
    QCoreApplication::processEvents();
    QCOMPARE(db->GetUsers().size(), 2);

    QTest::mousePress(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTRY_COMPARE(list->count(), 0);
    QVERIFY(db->GetUsers().isEmpty());
    QVERIFY(dialog.Accounts().isEmpty());
}

void TestShell::loginFailureAndCancel()
{
    LoginDialog dialog(*accounts, *db, *config, *uploads);
    QCOMPARE(dialog.CurrentState(), int(LoginDialog::Loading));
    QVERIFY(!Child(&dialog, "cancelBtn")->isVisibleTo(&dialog));
    dialog.OnStartupLoadingFinish();
    QTest::keyClicks(Child<QComboBox>(&dialog, "accountComboBox")->lineEdit(),
                     QStringLiteral("a@b.c"));
    QTest::keyClicks(Child<QLineEdit>(&dialog, "passwordLineEdit"), QStringLiteral("pw"));
    QTest::keyClick(&dialog, Qt::Key_Enter);
    auto* stack = Child<QStackedWidget>(&dialog, "stackedWidget");
    QCOMPARE(stack->currentWidget()->objectName(), QStringLiteral("waitingPage"));
    QVERIFY(Child(&dialog, "cancelBtn")->isVisibleTo(&dialog));

    const QString failure = QStringLiteral("Wrong password, 3 attempts remaining");
    dialog.OnLoginFailed(failure);
    QCOMPARE(dialog.CurrentState(), int(LoginDialog::Idle));
    QCOMPARE(stack->currentWidget()->objectName(), QStringLiteral("mainPage"));
    QCOMPARE(Child<QLabel>(&dialog, "errorLabel")->text(), failure);

    accounts->LoginCancel();
    QTest::keyClick(&dialog, Qt::Key_Return);
    QVERIFY(accounts->IsLoggingIn());
    QTest::mouseClick(Child<QPushButton>(&dialog, "cancelBtn"), Qt::LeftButton);
    QVERIFY(!accounts->IsLoggingIn());
    QCOMPARE(dialog.CurrentState(), int(LoginDialog::Idle));
    QCOMPARE(stack->currentWidget()->objectName(), QStringLiteral("mainPage"));
}

void TestShell::preferencesWriteAtOnce()
{
    PreferenceDialog dialog(*config, *uploads);
    QVERIFY(!QFile::exists(config->FilePath()));  // loading writes nothing back

    Child<QCheckBox>(&dialog, "autoUpdateCheckBox")->click();
    QCOMPARE(config->Value(QStringLiteral("Application"), QStringLiteral("autoUpdate")).toBool(),
             true);
    Child<QRadioButton>(&dialog, "hideCloseBehaviorRadioBtn")->click();
    QCOMPARE(
        config->Value(QStringLiteral("Application"), QStringLiteral("closeBehavior")).toString(),
        QStringLiteral("hide"));
    Child<QCheckBox>(&dialog, "optimizeCheckBox")->click();
    QCOMPARE(
        config
            ->Value(QStringLiteral("UploadTaskManager"), QStringLiteral("optimizeCoursewareSwitch"))
            .toBool(),
        true);
    Child<QComboBox>(&dialog, "uploadTasksNumComboBox")->setCurrentText(QStringLiteral("5"));
    QCOMPARE(config->Value(QStringLiteral("UploadTaskManager"), QStringLiteral("uploadTasksNum"))
                 .toInt(),
             5);
    Child<QCheckBox>(&dialog, "autoStartUploadCheckBox")->click();
    QCOMPARE(config->Value(QStringLiteral("UploadTaskManager"), QStringLiteral("autoStartUpload"))
                 .toBool(),
             false);
    QCOMPARE(uploads->MaxTasks(), 5);  // applied to the upload manager at once
    QVERIFY(!uploads->AutoStart());

    auto* type = Child<QComboBox>(&dialog, "proxyTypeComboBox");
    auto* apply = Child<QPushButton>(&dialog, "applyProxyBtn");
    QVERIFY(!apply->isEnabled());
    type->setCurrentIndex(1);
    QCOMPARE(config->Value(QStringLiteral("NetWorkManager"), QStringLiteral("proxyType")).toInt(),
             1);
    QVERIFY(apply->isEnabled());
    QVERIFY(Child(&dialog, "addressLineedit")->isEnabled());

    PreferenceDialog reopened(*config, *uploads);
    QVERIFY(Child<QCheckBox>(&reopened, "autoUpdateCheckBox")->isChecked());
    QVERIFY(Child<QRadioButton>(&reopened, "hideCloseBehaviorRadioBtn")->isChecked());
    QCOMPARE(Child<QComboBox>(&reopened, "uploadTasksNumComboBox")->currentText(),
             QStringLiteral("5"));
    QVERIFY(Child<QPushButton>(&reopened, "applyProxyBtn")->isEnabled());
}

void TestShell::speedLimit_data()
{
    QTest::addColumn<bool>("limited");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::newRow("99 refused") << true << QStringLiteral("99") << 500;
    QTest::newRow("102401 refused") << true << QStringLiteral("102401") << 500;
    QTest::newRow("100 accepted") << true << QStringLiteral("100") << 100;
    QTest::newRow("102400 accepted") << true << QStringLiteral("102400") << 102400;
    QTest::newRow("unlimited stores 0") << false << QString() << 0;
}

void TestShell::speedLimit()
{
    QFETCH(bool, limited);
    QFETCH(QString, typed);
    QFETCH(int, stored);

    config->SetValue(QStringLiteral("UploadTaskManager"), QStringLiteral("limitedSpeedValue"), 500);
    PreferenceDialog dialog(*config, *uploads);
    auto* box = Child<QLineEdit>(&dialog, "limitedSpeedValueLineEdit");
    QVERIFY(Child<QRadioButton>(&dialog, "limitedSpeedRadioButton")->isChecked());
    QCOMPARE(box->text(), QStringLiteral("500"));
    if (limited) {
        box->setText(typed);
    } else {
        Child<QRadioButton>(&dialog, "unlimitedSpeedRadioButton")->click();
        QVERIFY(!box->isEnabled());
    }
    dialog.show();
    dialog.close();
    QCOMPARE(config->Value(QStringLiteral("UploadTaskManager"), QStringLiteral("limitedSpeedValue"))
                 .toInt(),
             stored);
}

void TestShell::portValidator_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("65535") << QStringLiteral("65535") << true;
    QTest::newRow("0") << QStringLiteral("0") << true;
    QTest::newRow("8080") << QStringLiteral("8080") << true;
    QTest::newRow("65536") << QStringLiteral("65536") << false;
    QTest::newRow("sign") << QStringLiteral("+80") << false;
}

void TestShell::portValidator()
{
    QFETCH(QString, port);
    QFETCH(bool, accepted);
    PreferenceDialog preferences(*config, *uploads);
    NetSettingsDialog network(*config, *uploads);
    for (QWidget* dialog : {static_cast<QWidget*>(&preferences), static_cast<QWidget*>(&network)}) {
        const QValidator* validator = Child<QLineEdit>(dialog, "portLineedit")->validator();
        QVERIFY(validator);
        QString text = port;
        int pos = 0;
        QCOMPARE(validator->validate(text, pos) == QValidator::Acceptable, accepted);
    }
}

void TestShell::proxyNeedsHost()
{
    NetSettingsDialog dialog(*config, *uploads);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Child<QComboBox>(&dialog, "proxyTypeComboBox")->setCurrentIndex(1);
    Child<QLineEdit>(&dialog, "addressLineedit")->setText(QStringLiteral("   "));
    QTest::mouseClick(Child<QPushButton>(&dialog, "Ok"), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QVERIFY(!QFile::exists(config->FilePath()));  // nothing written
    QVERIFY(!dialog.findChildren<QWidget*>(QStringLiteral("container")).isEmpty());  // the toast

    Child<QLineEdit>(&dialog, "addressLineedit")->setText(QStringLiteral("proxy.local"));
    Child<QLineEdit>(&dialog, "portLineedit")->setText(QStringLiteral("3128"));
    Child<QLineEdit>(&dialog, "usernameLineedit")->setText(QStringLiteral("名字"));
    QTest::mouseClick(Child<QPushButton>(&dialog, "Ok"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(
        config->Value(QStringLiteral("NetWorkManager"), QStringLiteral("proxyHostName")).toString(),
        QStringLiteral("proxy.local"));
    QCOMPARE(config->Value(QStringLiteral("NetWorkManager"), QStringLiteral("proxyPort")).toUInt(),
             3128u);
    QCOMPARE(
        config->Value(QStringLiteral("NetWorkManager"), QStringLiteral("proxyUser")).toString(),
        QStringLiteral("名字"));
}

void TestShell::noProxyRemovesKeys()
{
    const QString group = QStringLiteral("NetWorkManager");
    config->SetValue(group, QStringLiteral("proxyType"), 1);
    for (const char* key : {"proxyHostName", "proxyPort", "proxyUser", "proxyPassword"}) {
        config->SetValue(group, QString::fromLatin1(key), QStringLiteral("v"));
    }
    NetSettingsDialog dialog(*config, *uploads);
    QCOMPARE(Child<QLineEdit>(&dialog, "addressLineedit")->text(), QStringLiteral("v"));
    QVERIFY(Child(&dialog, "addressLineedit")->isEnabled());
    Child<QComboBox>(&dialog, "proxyTypeComboBox")->setCurrentIndex(0);
    QVERIFY(!Child(&dialog, "addressLineedit")->isEnabled());
    dialog.OnApply();
    QSettings ini(config->FilePath(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("NetWorkManager/proxyType")).toInt(), 0);
    for (const char* key : {"proxyHostName", "proxyPort", "proxyUser", "proxyPassword"}) {
        QVERIFY2(!ini.contains(group + QLatin1Char('/') + QLatin1String(key)), key);
    }
}

void TestShell::updateStates_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("button");
    QTest::newRow("newer") << int(ApiCollection::HasNewerVersion) << int(UpdateDialog::NewVersion)
                           << QStringLiteral("updateInfoPage") << QStringLiteral("Update");
    QTest::newRow("current") << int(ApiCollection::AlreadyUpToDate) << int(UpdateDialog::UpToDate)
                             << QStringLiteral("checkPage") << QStringLiteral("Ok");
    QTest::newRow("check failed") << int(ApiCollection::CheckFailed)
                                  << int(UpdateDialog::CheckFailedState)
                                  << QStringLiteral("checkPage") << QStringLiteral("recheck");
}

// A check result opens the dialog in state result + 1 with that state's page and button (the
// check itself runs against the platform in tst_update_platform).
void TestShell::updateStates()
{
    QFETCH(int, result);
    QFETCH(int, state);
    QFETCH(QString, page);
    QFETCH(QString, button);

    UpdateDialog dialog(result + 1, *config, *uploads);
    dialog.show();
    QCOMPARE(dialog.CurrentState(), state);
    auto* stack = Child<QStackedWidget>(&dialog, "stackedWidget");
    QCOMPARE(stack->currentWidget()->objectName(), page);
    const char* buttonName = page == QLatin1String("checkPage") ? "checkPageBtn" : "updateBtn";
    QCOMPARE(Child<QPushButton>(&dialog, buttonName)->text(), button);
}

void TestShell::exitCheck_data()
{
    QTest::addColumn<bool>("uploading");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("closed");
    QTest::newRow("idle closes") << false << int(QDialogButtonBox::Ok) << 0 << true;
}

void TestShell::exitCheck()
{
    QFETCH(bool, uploading);
    QFETCH(int, answer);
    QFETCH(int, asked);
    QFETCH(bool, closed);

    QCOMPARE(uploads->AnyUploading(), uploading);
    CategoryTreeModel categories;
    VideoTableModel videos(*uploads);
    const AppServices services{*config, *db, *accounts, *uploads, categories, videos};
    auto* window = new MainWindow(services);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<MainWindow> guard(window);
    window->Init();
    window->show();
    BoxAnswer box;
    if (uploading) {
        box.Arm(this, QDialogButtonBox::StandardButton(answer));
    }
    window->close();
    QCOMPARE(box.seen, asked);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(guard.isNull(), closed);
    delete guard;
    // The library page started loading the tree; the models end their tasks before they go,
    // as the application stops them.
    videos.StopAllTasksAndWait();
    categories.StopAllTasksAndWait();
}

void TestShell::userInfo_data()
{
    QTest::addColumn<bool>("expired");
    QTest::addColumn<qint64>("remain");
    QTest::addColumn<quint64>("space");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("expiry");
    QTest::newRow("in use") << false << qint64(750) << quint64(1000) << 25 << QString()
                            << QStringLiteral("</span> days)");
    QTest::newRow("expired") << true << qint64(0) << quint64(1000) << 100 << QString()
                             << QStringLiteral("(Expired)");
    QTest::newRow("no space") << false << qint64(0) << quint64(0) << 0 << QString()
                              << QStringLiteral("</span> days)");
    QTest::newRow("more remaining than space")
        << false << qint64(5000) << quint64(1000) << 100 << QStringLiteral("error")
        << QStringLiteral("</span> days)");
}

void TestShell::userInfo()
{
    QFETCH(bool, expired);
    QFETCH(qint64, remain);
    QFETCH(quint64, space);
    QFETCH(int, percent);
    QFETCH(QString, style);
    QFETCH(QString, expiry);

    UserInfoWidget::Info info;
    info.account = QStringLiteral("someone-with-a-rather-long-address@example-platform.com");
    info.expired = expired;
    info.remainBytes = remain;
    info.space = space;
    info.leftDay = 42;
    info.expirationTime = 1767225600000ULL;  // 2026-01-01 UTC
    UserInfoWidget widget;
    widget.SetUserInfo(info);
    QCOMPARE(widget.SpaceBar()->value(), percent);
    QCOMPARE(widget.SpaceBar()->property("style").toString(), style);
    QString text = widget.ExpiredLabel()->text();
    QVERIFY2(text.startsWith(QStringLiteral("Expired Time:")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("2026-01-0")), qPrintable(text));
    if (expired) {
        QVERIFY(!text.contains(QStringLiteral("42")));
    } else {
        QVERIFY(text.contains(QStringLiteral(">42<")));
    }
    QVERIFY2(text.endsWith(expiry), qPrintable(text));
    QVERIFY(widget.AccountLabel()->text() != info.account);  // elided
    QCOMPARE(widget.AccountLabel()->toolTip(), info.account);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
