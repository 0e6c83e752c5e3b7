// The shell windows offscreen: login input checks and remembered accounts, preferences and
// network settings writing the ini file, the update dialog's states and install guard, the
// main window's exit check and the account data of the title widget.
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

#include "app/Config.h"
#include "store/DBManager.h"
#include "ui/common/MsgBox.h"
#include "ui/shell/AccountItemWidget.h"
#include "ui/shell/LoginDialog.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/NetSettingsDialog.h"
#include "ui/shell/PreferenceDialog.h"
#include "ui/shell/ShellServices.h"
#include "ui/shell/UpdateDialog.h"
#include "ui/shell/UserInfoWidget.h"

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
    void installAsksWhileUploading();
    void downloadCancelReachesWorker();

    void exitCheck_data();
    void exitCheck();
    void userInfo_data();
    void userInfo();

private:
    QTemporaryDir dir;
    std::unique_ptr<Config> config;
    struct Calls
    {
        int login = 0;
        int cancel = 0;
        int pauseAll = 0;
        int network = 0;
        int queue = 0;
        QString account;
        QString password;
        bool remember = false;
    } calls;
    bool uploading = false;
};

void TestShell::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(DBManager::instance()->Open(dir.filePath(QStringLiteral("test.db"))));
    ShellServices& services = ShellServices::Instance();
    services.login = [this](const QString& account, const QString& password, bool remember) {
        ++calls.login;
        calls.account = account;
        calls.password = password;
        calls.remember = remember;
    };
    services.loginCancel = [this] { ++calls.cancel; };
    services.hasUploadingTasks = [this] { return uploading; };
    services.pauseAll = [this] { ++calls.pauseAll; };
    services.applyNetworkSettings = [this] { ++calls.network; };
    services.applyQueueSettings = [this] { ++calls.queue; };
}

void TestShell::init()
{
    QFile::remove(dir.filePath(QStringLiteral("global.ini")));
    config = std::make_unique<Config>(dir.filePath(QStringLiteral("global.ini")));
    config->RegisterDefaults();
    Config::SetGlobal(config.get());
    DBManager::instance()->RemoveAllUsers();
    calls = Calls();
    uploading = false;
}

void TestShell::cleanup()
{
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

    LoginDialog dialog;
    dialog.OnStartupLoadingFinish();
    auto* combo = Child<QComboBox>(&dialog, "accountComboBox");
    QTest::keyClicks(combo->lineEdit(), account);
    QTest::keyClicks(Child<QLineEdit>(&dialog, "passwordLineEdit"), password);
    QTest::mouseClick(Child<QPushButton>(&dialog, "loginBtn"), Qt::LeftButton);

    QCOMPARE(Child<QLabel>(&dialog, "errorLabel")->text(), error);
    QCOMPARE(Child(&dialog, "errorArea")->isVisibleTo(&dialog), !error.isEmpty());
    if (error.isEmpty()) {
        QCOMPARE(calls.login, 1);
        QCOMPARE(calls.account, account);
        QCOMPARE(calls.password, password);
        QCOMPARE(dialog.CurrentState(), int(LoginDialog::LoggingIn));
    } else {
        QCOMPARE(calls.login, 0);
        QCOMPARE(Child(&dialog, errorBox.toLatin1().constData())->property("status").toString(),
                 QStringLiteral("error"));
    }
}

void TestShell::rememberedAccountSendsStoredPassword()
{
    DBManager::instance()->AddUser({QStringLiteral("old@x.com"), QString(), false, 1});
    DBManager::instance()->AddUser({QStringLiteral("me@x.com"), QStringLiteral("s3cret"), true, 2});
    LoginDialog dialog;
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
    QCOMPARE(calls.login, 1);
    QCOMPARE(calls.password, QStringLiteral("s3cret"));
    QVERIFY(calls.remember);

    // An account remembered without its password offers an empty box.
    dialog.OnLoginFailed(QStringLiteral("x"));
    emit combo->textActivated(QStringLiteral("old@x.com"));
    QVERIFY(password->text().isEmpty());
    QVERIFY(dialog.Password().isEmpty());
}

void TestShell::deletingLastAccountClearsList()
{
    DBManager::instance()->AddUser({QStringLiteral("a@x.com"), QString(), false, 1});
    DBManager::instance()->AddUser({QStringLiteral("b@x.com"), QString(), false, 2});
    LoginDialog dialog;
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
    QCOMPARE(DBManager::instance()->GetUsers().size(), 1);

    emit rowOf(QStringLiteral("b@x.com"))->AccountDelete();
    QCOMPARE(list->count(), 0);  // the clear-all row went with the last account
    QVERIFY(dialog.Accounts().isEmpty());
    QVERIFY(DBManager::instance()->GetUsers().isEmpty());

    LoginDialog empty;
    QCOMPARE(empty.AccountList()->count(), 0);
}

void TestShell::clearAllRow()
{
    DBManager::instance()->AddUser({QStringLiteral("a@x.com"), QString(), false, 1});
    DBManager::instance()->AddUser({QStringLiteral("b@x.com"), QString(), false, 2});
    LoginDialog dialog;
    dialog.show();
    QListWidget* list = dialog.AccountList();
    QWidget* clearAll = list->itemWidget(list->item(list->count() - 1));
    QCOMPARE(clearAll->objectName(), QStringLiteral("ClearAllAccount"));
    // A press that ends outside the row does nothing.
    QTest::mousePress(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(-50, 5));
    QCoreApplication::processEvents();
    QCOMPARE(DBManager::instance()->GetUsers().size(), 2);

    QTest::mousePress(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTRY_COMPARE(list->count(), 0);
    QVERIFY(DBManager::instance()->GetUsers().isEmpty());
    QVERIFY(dialog.Accounts().isEmpty());
}

void TestShell::loginFailureAndCancel()
{
    LoginDialog dialog;
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

    QTest::keyClick(&dialog, Qt::Key_Return);
    QCOMPARE(calls.login, 2);
    QTest::mouseClick(Child<QPushButton>(&dialog, "cancelBtn"), Qt::LeftButton);
    QCOMPARE(calls.cancel, 1);
    QCOMPARE(dialog.CurrentState(), int(LoginDialog::Idle));
    QCOMPARE(stack->currentWidget()->objectName(), QStringLiteral("mainPage"));
}

void TestShell::preferencesWriteAtOnce()
{
    PreferenceDialog dialog;
    QCOMPARE(calls.queue + calls.network, 0);  // loading writes nothing back

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
    QCOMPARE(calls.queue, 3);

    auto* type = Child<QComboBox>(&dialog, "proxyTypeComboBox");
    auto* apply = Child<QPushButton>(&dialog, "applyProxyBtn");
    QVERIFY(!apply->isEnabled());
    type->setCurrentIndex(1);
    QCOMPARE(config->Value(QStringLiteral("NetWorkManager"), QStringLiteral("proxyType")).toInt(),
             1);
    QVERIFY(apply->isEnabled());
    QVERIFY(Child(&dialog, "addressLineedit")->isEnabled());
    QCOMPARE(calls.network, 1);

    PreferenceDialog reopened;
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
    PreferenceDialog dialog;
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
    QCOMPARE(calls.queue, 1);
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
    PreferenceDialog preferences;
    NetSettingsDialog network;
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
    NetSettingsDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Child<QComboBox>(&dialog, "proxyTypeComboBox")->setCurrentIndex(1);
    Child<QLineEdit>(&dialog, "addressLineedit")->setText(QStringLiteral("   "));
    QTest::mouseClick(Child<QPushButton>(&dialog, "Ok"), Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QVERIFY(!QFile::exists(config->FilePath()));  // nothing written
    QCOMPARE(calls.network, 0);
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
    QCOMPARE(calls.network, 1);
}

void TestShell::noProxyRemovesKeys()
{
    const QString group = QStringLiteral("NetWorkManager");
    config->SetValue(group, QStringLiteral("proxyType"), 1);
    for (const char* key : {"proxyHostName", "proxyPort", "proxyUser", "proxyPassword"}) {
        config->SetValue(group, QString::fromLatin1(key), QStringLiteral("v"));
    }
    NetSettingsDialog dialog;
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
    QTest::newRow("2.4.3 is newer")
        << int(UpdateDialog::HasNewerVersion) << int(UpdateDialog::NewVersion)
        << QStringLiteral("updateInfoPage") << QStringLiteral("Update");
    QTest::newRow("2.4.2 is current")
        << int(UpdateDialog::AlreadyUpToDate) << int(UpdateDialog::UpToDate)
        << QStringLiteral("checkPage") << QStringLiteral("Ok");
    QTest::newRow("check failed") << int(UpdateDialog::CheckFailed)
                                  << int(UpdateDialog::CheckFailedState)
                                  << QStringLiteral("checkPage") << QStringLiteral("recheck");
}

void TestShell::updateStates()
{
    QFETCH(int, result);
    QFETCH(int, state);
    QFETCH(QString, page);
    QFETCH(QString, button);

    UpdateDialog::Backend& backend = UpdateDialog::GetBackend();
    backend.checkVersion = [result](bool*) { return UpdateDialog::CheckVersionResult(result); };
    backend.latestRelease = [] {
        return UpdateDialog::Release{QStringLiteral("2.4.3"), QStringLiteral("Fixes"), QString()};
    };
    UpdateDialog dialog(UpdateDialog::Checking);
    dialog.show();
    QCOMPARE(Child(&dialog, "remarkLabel")->property("checkState").toString(),
             QStringLiteral("checking"));
    dialog.StartCheck();
    QTRY_COMPARE(dialog.CurrentState(), state);
    auto* stack = Child<QStackedWidget>(&dialog, "stackedWidget");
    QCOMPARE(stack->currentWidget()->objectName(), page);
    const char* buttonName = page == QLatin1String("checkPage") ? "checkPageBtn" : "updateBtn";
    QCOMPARE(Child<QPushButton>(&dialog, buttonName)->text(), button);
    if (state == UpdateDialog::NewVersion) {
        QVERIFY(
            Child<QLabel>(&dialog, "newVersionLabel")->text().contains(QStringLiteral("2.4.3")));
    }
    // The same result opens a dialog directly in that state.
    UpdateDialog direct(result + 1);
    QCOMPARE(direct.CurrentState(), state);
    backend = UpdateDialog::DefaultBackend();
}

void TestShell::installAsksWhileUploading()
{
    int started = 0;
    UpdateDialog::GetBackend().startInstaller = [&started](const QString&) {
        ++started;
        return true;
    };
    uploading = true;
    UpdateDialog dialog(UpdateDialog::ReadyToInstall);
    dialog.show();
    BoxAnswer answer;
    answer.Arm(this, QDialogButtonBox::Cancel);
    QTest::mouseClick(Child<QPushButton>(&dialog, "installBtn"), Qt::LeftButton);
    QCOMPARE(answer.seen, 1);
    QCOMPARE(started, 0);
    QVERIFY(dialog.isVisible());

    answer.Arm(this, QDialogButtonBox::Ok);
    QTest::mouseClick(Child<QPushButton>(&dialog, "installBtn"), Qt::LeftButton);
    QCOMPARE(answer.seen, 2);
    QCOMPARE(started, 1);
    QVERIFY(!dialog.isVisible());
    UpdateDialog::GetBackend() = UpdateDialog::DefaultBackend();
    // The queued quit of the install is harmless here: no event loop runs it to an end.
    QCoreApplication::removePostedEvents(QCoreApplication::instance());
}

void TestShell::downloadCancelReachesWorker()
{
    QAtomicInt cancelled = 0;
    QAtomicInt running = 0;
    UpdateDialog::GetBackend().download = [&](const QString&, const QString&,
                                              std::function<void(qint64, qint64)> progress,
                                              bool* cancel) {
        running = 1;
        for (int i = 0; i < 500 && !*cancel; ++i) {
            progress(i, 1000);
            QThread::msleep(10);
        }
        cancelled = *cancel ? 1 : 0;
        return *cancel ? QStringLiteral("AbortedByCallback") : QString();
    };
    {
        UpdateDialog dialog(UpdateDialog::NewVersion);
        dialog.show();
        QTest::mouseClick(Child<QPushButton>(&dialog, "updateBtn"), Qt::LeftButton);
        QCOMPARE(dialog.CurrentState(), int(UpdateDialog::Downloading));
        QTRY_VERIFY(dialog.Percent() > 0);
        QTest::mouseClick(Child<QPushButton>(&dialog, "downloadPageBtn"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());  // cancel closes without asking
    }
    QCOMPARE(int(running), 1);
    QCOMPARE(int(cancelled), 1);
    UpdateDialog::GetBackend() = UpdateDialog::DefaultBackend();
}

void TestShell::exitCheck_data()
{
    QTest::addColumn<bool>("uploading");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("closed");
    QTest::newRow("idle closes") << false << int(QDialogButtonBox::Ok) << 0 << true;
    QTest::newRow("uploading, cancel") << true << int(QDialogButtonBox::Cancel) << 1 << false;
    QTest::newRow("uploading, ok") << true << int(QDialogButtonBox::Ok) << 1 << true;
}

void TestShell::exitCheck()
{
    QFETCH(bool, uploading);
    QFETCH(int, answer);
    QFETCH(int, asked);
    QFETCH(bool, closed);

    this->uploading = uploading;
    auto* window = new MainWindow;
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
    QCOMPARE(calls.pauseAll, closed ? 1 : 0);
    delete guard;
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

    ShellServices::UserInfo info;
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
