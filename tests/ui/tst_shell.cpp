// The shell windows and the common widgets offscreen, with the real services (account manager,
// upload manager, database, settings) against the devplatform: toasts, message box, combo wheel
// guard, title bar; the login dialog; preferences and network settings; the update check's end
// states; the title widget's account data; the library page's widgets on their own. The
// questions before exiting and installing while uploads run: tst_transfer.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTreeView>
#include <QValidator>
#include <QtTest>

#include "WindowTest.h"
#include "account/AccountManager.h"
#include "app/Config.h"
#include "common/PlatformFaults.h"
#include "common/TestLiterals.h"
#include "store/DBManager.h"
#include "ui/common/ComboBoxHelper.h"
#include "ui/common/StatusButton.h"
#include "ui/common/TitleBar.h"
#include "ui/library/CategoryFilterRule.h"
#include "ui/library/CheckableHeaderView.h"
#include "ui/library/CopyCodeDialog.h"
#include "ui/library/Paginator.h"
#include "ui/library/SmoothScrollHelper.h"
#include "ui/library/TableViewDelegate.h"
#include "ui/library/VideoTableView.h"
#include "ui/shell/AccountItemWidget.h"
#include "ui/shell/LoginDialog.h"
#include "ui/shell/NetSettingsDialog.h"
#include "ui/shell/PreferenceDialog.h"
#include "ui/shell/UpdateDialog.h"
#include "ui/shell/UserInfoWidget.h"
#include "upload/SDKManager.h"

namespace {

QStringList VisibleNumbers(Paginator& paginator)
{
    QStringList numbers;
    for (const char* name : {"firstBtn", "secondBtn", "thirdBtn", "fourthBtn", "fifthBtn"}) {
        QPushButton* button = Child<QPushButton>(&paginator, name);
        if (button->isVisibleTo(&paginator)) {
            numbers.append(button->text() + (button->isChecked() ? "*"_s : QString()));
        }
    }
    return numbers;
}

// Shows area over content of the given height with helper attached.
void ShowScrollArea(QScrollArea* area, SmoothScrollHelper* helper, int height)
{
    auto* content = new QWidget;
    content->setFixedSize(100, height);
    area->setWidget(content);
    area->resize(120, 200);
    area->show();
    helper->setTarget(area);
}

void Wheel(QWidget* target, int delta)
{
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

}  // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        db = DBManager::instance();
        uploads = SDKManager::instance();
        QVERIFY(db->Open(dir.filePath("test.db"_s)));
    }

    void cleanupTestCase()
    {
        // The pool threads end before the process does, and with them the TLS library's
        // per-thread state (else the leak checker of the sanitized suite reports it).
        QThreadPool::globalInstance()->waitForDone();
    }

    void init()
    {
        QFile::remove(dir.filePath("global.ini"_s));
        config = std::make_unique<Config>(dir.filePath("global.ini"_s));
        config->RegisterDefaults();
        // The platform's CA as a default, so that the file holds only what a dialog writes.
        config->SetDefaultValue("NetWorkManager"_s, "customSSLCacert"_s,
                                qEnvironmentVariable("KAVRO_TEST_CACERT"));
        Config::SetGlobal(config.get());
        db->RemoveAllUsers();
        accounts = std::make_unique<AccountManager>();
        uploads->SetMaxTasks(3);
    }

    void cleanup()
    {
        accounts.reset();
        Config::SetGlobal(nullptr);
    }

    void toastOnHiddenParentIsRefused()
    {
        QWidget parent;
        QVERIFY(Toast::ShowToastInParent(&parent, "x"_s).isNull());
        QVERIFY(parent.findChildren<Toast*>().isEmpty());
    }

    void toastAlignment_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("centredX");
        QTest::addColumn<QString>("vertical");  // "top", "centre", "bottom"
        QTest::newRow("160 top centre") << 160 << true << "top"_s;
        QTest::newRow("centre") << int(Qt::AlignCenter) << true << "centre"_s;
        QTest::newRow("bottom left") << int(Qt::AlignBottom | Qt::AlignLeft) << false << "bottom"_s;
    }

    void toastAlignment()
    {
        QFETCH(int, alignment);
        QFETCH(bool, centredX);
        QFETCH(QString, vertical);

        QWidget parent;
        parent.setGeometry(100, 80, 1000, 600);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QPointer<Toast> toast =
            Toast::ShowToastInParent(&parent, "notice"_s, 1, Qt::Alignment(alignment), false);
        QVERIFY(toast);
        const QRect area(parent.mapToGlobal(QPoint(0, 0)), parent.size());
        const QRect rect = toast->frameGeometry();
        if (centredX) {
            QCOMPARE(rect.center().x(), area.center().x());
        } else {
            QCOMPARE(rect.left(), area.left());
        }
        if (vertical == QLatin1String("top")) {
            QCOMPARE(rect.top(), area.top());
        } else if (vertical == QLatin1String("bottom")) {
            QCOMPARE(rect.bottom(), area.bottom());
        } else {
            QCOMPARE(rect.center().y(), area.center().y());
        }
        QCOMPARE(toast->findChild<QWidget*>("container"_s)->property("type").toString(),
                 "warning"_s);
    }

    // The message box answers with the button clicked (OK: tst_transfer's questions), or with none
    // when closed otherwise.
    void msgBoxAnswer_data()
    {
        QTest::addColumn<int>("key");  // pressed on the box; 0: its Cancel button clicked
        QTest::addColumn<int>("expected");
        QTest::newRow("cancel") << 0 << int(QMessageBox::Cancel);
        QTest::newRow("escape") << int(Qt::Key_Escape) << int(QMessageBox::NoButton);
    }

    void msgBoxAnswer()
    {
        QFETCH(int, key);
        OnNextModal<MsgBox>([key](MsgBox* box) {
            if (key != 0) {
                QTest::keyClick(box, Qt::Key(key));
            } else {
                box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
            }
        });
        QTEST(int(MsgBox::Info(nullptr, "SystemTip"_s, "Go on?"_s,
                               QMessageBox::Ok | QMessageBox::Cancel)),
              "expected");
    }

    void wheelOverCombo_data()
    {
        QTest::addColumn<bool>("registered");
        QTest::newRow("registered") << true;
        QTest::newRow("plain combo turns") << false;
    }

    void wheelOverCombo()
    {
        QFETCH(bool, registered);
        QComboBox combo;
        combo.addItems({"1"_s, "2"_s, "3"_s});
        combo.setCurrentIndex(1);
        if (registered) {
            ComboBoxHelper::Instance()->Install(&combo);
            ComboBoxHelper::Instance()->Install(&combo);  // a second call changes nothing
            QVERIFY(ComboBoxHelper::Instance()->IsInstalled(&combo));
            QVERIFY(!combo.itemDelegate()->inherits("QComboMenuDelegate"));
        }
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
        const QPoint pos = combo.rect().center();
        QWheelEvent wheel(pos, combo.mapToGlobal(pos), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&combo, &wheel);
        QCOMPARE(combo.currentIndex() == 1, registered);
    }

    // In text mode (the transfer page's start-all button) the text follows the check state:
    // tst_transfer.
    void statusButtonIconMode()
    {
        StatusButton icon("pause"_s, "Pause"_s, "Start"_s, false);
        QVERIFY(icon.text().isEmpty());
        QCOMPARE(icon.toolTip(), "Pause"_s);
        icon.SetTexts("A"_s, "B"_s, true);
        QCOMPARE(icon.text(), "A"_s);
    }

    void titleBarMaximizeAndDrag()
    {
        QWidget host(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                                  Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
        host.setWindowTitle("Host title"_s);
        auto* bar = new TitleBar(&host);
        bar->setGeometry(0, 0, 400, 40);
        host.setGeometry(100, 100, 400, 300);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QCOMPARE(bar->Title(), "Host title"_s);
        host.setWindowTitle("Renamed"_s);
        QCOMPARE(bar->Title(), "Renamed"_s);

        auto* maximum = Child<QPushButton>(bar, "maximumBtn");
        QVERIFY(maximum->isVisible());
        const QRect normal = host.geometry();
        maximum->click();
        QTRY_VERIFY(host.isMaximized());
        QCOMPARE(host.property("windowNormalGeometry").toRect(), normal);
        QVERIFY(maximum->isChecked());
        QCOMPARE(maximum->toolTip(), "Restore"_s);
        maximum->click();
        QTRY_VERIFY(!host.isMaximized());
        QVERIFY(!maximum->isChecked());
        QCOMPARE(maximum->toolTip(), "Maximum"_s);

        // A drag on the title bar of the maximised window restores it at its old size, centred
        // horizontally under the pointer.
        maximum->click();
        QTRY_VERIFY(host.isMaximized());
        QTRY_VERIFY(host.width() > normal.width());
        const QPoint press(host.width() / 2 + 37, 20);
        const QPoint pointer = bar->mapToGlobal(press);
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, press);
        QTRY_VERIFY(!host.isMaximized());
        QCOMPARE(host.size(), normal.size());
        QVERIFY(qAbs(host.geometry().center().x() - pointer.x()) <= 1);
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, press);
    }

    void loginValidation_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("errorBox");
        const auto row = [](const char* tag, const char* account, const char* password,
                            const char* error, const char* errorBox) {
            QTest::newRow(tag) << account << password << error << errorBox;
        };
        row("nothing", "", "", "LoginDialog.EmptyAccount", "accountComboBox");
        row("no account", "", "pw", "LoginDialog.EmptyAccount", "accountComboBox");
        row("no password, no @", "user", "", "LoginDialog.EmptyPassword", "passwordLineEdit");
        row("no @", "user", "pw", "LoginDialog.AccountIsNotEmail", "accountComboBox");
        row("valid", "a@b.c", "pw", "", "");
    }

    void loginValidation()
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
                     "error"_s);
        }
    }

    // Typing into the mask of a stored password replaces the stored password by what was typed,
    // wherever the cursor stood; the mask's '#'s are never sent.
    void typingIntoMaskReplacesIt_data()
    {
        QTest::addColumn<int>("cursor");  // -1: the whole mask selected
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("sent");
        QTest::newRow("after the mask") << 8 << "new#pw"_s
                                        << "new#pw"_s;
        QTest::newRow("inside the mask") << 3 << "ab"_s
                                         << "ab"_s;
        QTest::newRow("over the selected mask") << -1 << "xy"_s
                                                << "xy"_s;
        QTest::newRow("backspace") << 8 << "<backspace>"_s << QString();
    }

    void typingIntoMaskReplacesIt()
    {
        QFETCH(int, cursor);
        QFETCH(QString, keys);
        QFETCH(QString, sent);
        db->AddUser({"me@x.com"_s, "s3cret"_s, true, 2});
        LoginDialog dialog(*accounts, *db, *config, *uploads);
        dialog.OnStartupLoadingFinish();
        emit Child<QComboBox>(&dialog, "accountComboBox")->textActivated("me@x.com"_s);
        auto* password = Child<QLineEdit>(&dialog, "passwordLineEdit");
        password->setCursorPosition(qMax(cursor, 0));
        if (cursor < 0) {
            password->selectAll();
        }
        if (keys == "<backspace>"_s) {
            QTest::keyClick(password, Qt::Key_Backspace);
        } else {
            QTest::keyClicks(password, keys);
        }
        QCOMPARE(dialog.Password(), sent);
        QCOMPARE(password->text(), sent);
    }

    void rememberedAccountSendsStoredPassword()
    {
        db->AddUser({"old@x.com"_s, QString(), false, 1});
        db->AddUser({"me@x.com"_s, "s3cret"_s, true, 2});
        LoginDialog dialog(*accounts, *db, *config, *uploads);
        dialog.OnStartupLoadingFinish();
        QCOMPARE(dialog.Accounts(), (QStringList{"me@x.com"_s, "old@x.com"_s}));

        auto* combo = Child<QComboBox>(&dialog, "accountComboBox");
        emit combo->textActivated("me@x.com"_s);
        auto* password = Child<QLineEdit>(&dialog, "passwordLineEdit");
        QCOMPARE(password->text(), "########"_s);
        QVERIFY(Child<QCheckBox>(&dialog, "rememberPasswordCheckbox")->isChecked());
        QVERIFY(!Child(&dialog, "showPasswordButton")->isVisibleTo(&dialog));
        combo->lineEdit()->setFocus();  // the e-mail field focused, nothing typed
        combo->lineEdit()->end(false);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QVERIFY(accounts->IsLoggingIn());
        QCOMPARE(dialog.Password(), "s3cret"_s);
        accounts->LoginCancel();

        // An account remembered without its password offers an empty box.
        dialog.OnLoginFailed("x"_s);
        emit combo->textActivated("old@x.com"_s);
        QVERIFY(password->text().isEmpty());
        QVERIFY(dialog.Password().isEmpty());

        // The remembered e-mail changed by typing: the stored password is not sent for the other
        // account; the box asks for one.
        emit combo->textActivated("me@x.com"_s);
        QCOMPARE(dialog.Password(), "s3cret"_s);
        combo->lineEdit()->end(false);
        QTest::keyClicks(combo->lineEdit(), "x"_s);
        QCOMPARE(combo->currentText(), "me@x.comx"_s);
        QVERIFY(dialog.Password().isEmpty());
        QVERIFY(password->text().isEmpty());
        QTest::keyClick(&dialog, Qt::Key_Return);
        QVERIFY(!accounts->IsLoggingIn());
    }

    // The rows of remembered accounts go one by one, the clear-all row with the last, or all at
    // once.
    void removingRememberedAccounts()
    {
        db->AddUser({"a@x.com"_s, QString(), false, 1});
        db->AddUser({"b@x.com"_s, QString(), false, 2});
        auto dialog = std::make_unique<LoginDialog>(*accounts, *db, *config, *uploads);
        dialog->show();
        QListWidget* list = dialog->AccountList();
        QCOMPARE(list->count(), 3);
        const auto rowOf = [list](const QString& account) {
            for (int i = 0; i < list->count(); ++i) {
                if (list->item(i)->data(Qt::UserRole).toString() == account) {
                    return qobject_cast<AccountItemWidget*>(list->itemWidget(list->item(i)));
                }
            }
            return static_cast<AccountItemWidget*>(nullptr);
        };
        emit rowOf("a@x.com"_s)->AccountDelete();
        QCOMPARE(list->count(), 2);
        QCOMPARE(dialog->Accounts(), QStringList{"b@x.com"_s});
        QCOMPARE(db->GetUsers().size(), 1);
        emit rowOf("b@x.com"_s)->AccountDelete();
        QCOMPARE(list->count(), 0);  // the clear-all row went with the last account
        QVERIFY(dialog->Accounts().isEmpty());
        QVERIFY(db->GetUsers().isEmpty());

        db->AddUser({"c@x.com"_s, QString(), false, 3});
        db->AddUser({"d@x.com"_s, QString(), false, 4});
        dialog = std::make_unique<LoginDialog>(*accounts, *db, *config, *uploads);
        dialog->show();
        list = dialog->AccountList();
        QWidget* clearAll = list->itemWidget(list->item(list->count() - 1));
        QCOMPARE(clearAll->objectName(), "ClearAllAccount"_s);
        // A press that ends outside the row does nothing.
        QTest::mousePress(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseRelease(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(-50, 5));
        QCoreApplication::processEvents();
        QCOMPARE(db->GetUsers().size(), 2);
        QTest::mousePress(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseRelease(clearAll, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTRY_COMPARE(list->count(), 0);
        QVERIFY(db->GetUsers().isEmpty());
        QVERIFY(dialog->Accounts().isEmpty());
        // With none remembered, none is listed.
        QCOMPARE(LoginDialog(*accounts, *db, *config, *uploads).AccountList()->count(), 0);
    }

    // A failed login's text: tst_session, against the platform.
    void loginWaitsAndCancels()
    {
        LoginDialog dialog(*accounts, *db, *config, *uploads);
        QCOMPARE(dialog.CurrentState(), int(LoginDialog::Loading));
        QVERIFY(!Child(&dialog, "cancelBtn")->isVisibleTo(&dialog));
        dialog.OnStartupLoadingFinish();
        QTest::keyClicks(Child<QComboBox>(&dialog, "accountComboBox")->lineEdit(), "a@b.c"_s);
        QTest::keyClicks(Child<QLineEdit>(&dialog, "passwordLineEdit"), "pw"_s);
        QTest::keyClick(&dialog, Qt::Key_Enter);
        auto* stack = Child<QStackedWidget>(&dialog, "stackedWidget");
        QCOMPARE(stack->currentWidget()->objectName(), "waitingPage"_s);
        QVERIFY(Child(&dialog, "cancelBtn")->isVisibleTo(&dialog));
        QVERIFY(accounts->IsLoggingIn());
        QTest::mouseClick(Child<QPushButton>(&dialog, "cancelBtn"), Qt::LeftButton);
        QVERIFY(!accounts->IsLoggingIn());
        QCOMPARE(dialog.CurrentState(), int(LoginDialog::Idle));
        QCOMPARE(stack->currentWidget()->objectName(), "mainPage"_s);
    }

    void preferencesWriteAtOnce()
    {
        PreferenceDialog dialog(*config, *uploads);
        QVERIFY(!QFile::exists(config->FilePath()));  // loading writes nothing back

        Child<QCheckBox>(&dialog, "autoUpdateCheckBox")->click();
        QCOMPARE(config->Value("Application"_s, "autoUpdate"_s).toBool(), true);
        Child<QRadioButton>(&dialog, "hideCloseBehaviorRadioBtn")->click();
        QCOMPARE(config->Value("Application"_s, "closeBehavior"_s).toString(), "hide"_s);
        Child<QCheckBox>(&dialog, "optimizeCheckBox")->click();
        QCOMPARE(config->Value("UploadTaskManager"_s, "optimizeCoursewareSwitch"_s).toBool(), true);
        Child<QComboBox>(&dialog, "uploadTasksNumComboBox")->setCurrentText("5"_s);
        QCOMPARE(config->Value("UploadTaskManager"_s, "uploadTasksNum"_s).toInt(), 5);
        Child<QCheckBox>(&dialog, "autoStartUploadCheckBox")->click();
        QCOMPARE(config->Value("UploadTaskManager"_s, "autoStartUpload"_s).toBool(), false);
        QCOMPARE(uploads->MaxTasks(), 5);  // applied to the upload manager at once
        QVERIFY(!uploads->AutoStart());

        auto* type = Child<QComboBox>(&dialog, "proxyTypeComboBox");
        auto* apply = Child<QPushButton>(&dialog, "applyProxyBtn");
        QVERIFY(!apply->isEnabled());
        type->setCurrentIndex(1);
        QCOMPARE(config->Value("NetWorkManager"_s, "proxyType"_s).toInt(), 1);
        QVERIFY(apply->isEnabled());
        QVERIFY(Child(&dialog, "addressLineedit")->isEnabled());

        PreferenceDialog reopened(*config, *uploads);
        QVERIFY(Child<QCheckBox>(&reopened, "autoUpdateCheckBox")->isChecked());
        QVERIFY(Child<QRadioButton>(&reopened, "hideCloseBehaviorRadioBtn")->isChecked());
        QCOMPARE(Child<QComboBox>(&reopened, "uploadTasksNumComboBox")->currentText(), "5"_s);
        QVERIFY(Child<QPushButton>(&reopened, "applyProxyBtn")->isEnabled());
    }

    void speedLimit_data()
    {
        QTest::addColumn<bool>("limited");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::newRow("99 refused") << true << "99"_s << 500;
        QTest::newRow("102401 refused") << true << "102401"_s << 500;
        QTest::newRow("100 accepted") << true << "100"_s << 100;
        QTest::newRow("102400 accepted") << true << "102400"_s << 102400;
        QTest::newRow("unlimited stores 0") << false << QString() << 0;
    }

    void speedLimit()
    {
        QFETCH(bool, limited);
        QFETCH(QString, typed);

        config->SetValue("UploadTaskManager"_s, "limitedSpeedValue"_s, 500);
        PreferenceDialog dialog(*config, *uploads);
        auto* box = Child<QLineEdit>(&dialog, "limitedSpeedValueLineEdit");
        QVERIFY(Child<QRadioButton>(&dialog, "limitedSpeedRadioButton")->isChecked());
        QCOMPARE(box->text(), "500"_s);
        if (limited) {
            box->setText(typed);
        } else {
            Child<QRadioButton>(&dialog, "unlimitedSpeedRadioButton")->click();
            QVERIFY(!box->isEnabled());
        }
        dialog.show();
        dialog.close();
        QTEST(config->Value("UploadTaskManager"_s, "limitedSpeedValue"_s).toInt(), "stored");
    }

    void portValidator_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("65535") << "65535"_s << true;
        QTest::newRow("0") << "0"_s << true;
        QTest::newRow("65536") << "65536"_s << false;
        QTest::newRow("sign") << "+80"_s << false;
    }

    void portValidator()
    {
        QFETCH(QString, port);
        PreferenceDialog preferences(*config, *uploads);
        NetSettingsDialog network(*config, *uploads);
        for (QWidget* dialog :
             {static_cast<QWidget*>(&preferences), static_cast<QWidget*>(&network)}) {
            const QValidator* validator = Child<QLineEdit>(dialog, "portLineedit")->validator();
            QVERIFY(validator);
            QString text = port;
            int pos = 0;
            QTEST(validator->validate(text, pos) == QValidator::Acceptable, "accepted");
        }
    }

    void proxyNeedsHost()
    {
        NetSettingsDialog dialog(*config, *uploads);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Child<QComboBox>(&dialog, "proxyTypeComboBox")->setCurrentIndex(1);
        Child<QLineEdit>(&dialog, "addressLineedit")->setText("   "_s);
        QTest::mouseClick(Child<QPushButton>(&dialog, "Ok"), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QVERIFY(!QFile::exists(config->FilePath()));                       // nothing written
        QVERIFY(!dialog.findChildren<QWidget*>("container"_s).isEmpty());  // the toast

        Child<QLineEdit>(&dialog, "addressLineedit")->setText("proxy.local"_s);
        Child<QLineEdit>(&dialog, "portLineedit")->setText("3128"_s);
        Child<QLineEdit>(&dialog, "usernameLineedit")->setText("名字"_s);
        QTest::mouseClick(Child<QPushButton>(&dialog, "Ok"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(config->Value("NetWorkManager"_s, "proxyHostName"_s).toString(), "proxy.local"_s);
        QCOMPARE(config->Value("NetWorkManager"_s, "proxyPort"_s).toUInt(), 3128u);
        QCOMPARE(config->Value("NetWorkManager"_s, "proxyUser"_s).toString(), "名字"_s);
    }

    void noProxyRemovesKeys()
    {
        const QString group = "NetWorkManager"_s;
        config->SetValue(group, "proxyType"_s, 1);
        for (const char* key : {"proxyHostName", "proxyPort", "proxyUser", "proxyPassword"}) {
            config->SetValue(group, QString::fromLatin1(key), "v"_s);
        }
        NetSettingsDialog dialog(*config, *uploads);
        QCOMPARE(Child<QLineEdit>(&dialog, "addressLineedit")->text(), "v"_s);
        QVERIFY(Child(&dialog, "addressLineedit")->isEnabled());
        Child<QComboBox>(&dialog, "proxyTypeComboBox")->setCurrentIndex(0);
        QVERIFY(!Child(&dialog, "addressLineedit")->isEnabled());
        dialog.OnApply();
        QSettings ini(config->FilePath(), QSettings::IniFormat);
        QCOMPARE(ini.value("NetWorkManager/proxyType"_s).toInt(), 0);
        for (const char* key : {"proxyHostName", "proxyPort", "proxyUser", "proxyPassword"}) {
            QVERIFY2(!ini.contains(group + QLatin1Char('/') + QLatin1String(key)), key);
        }
    }

    void updateStates_data()
    {
        QTest::addColumn<QString>("url");  // of the update service; empty: the platform's
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("button");
        QTest::newRow("nothing newer")
            << QString() << QByteArray() << int(UpdateDialog::UpToDate) << "Ok"_s;
        QTest::newRow("refused") << QString()
                                 << QByteArray("path=/api/app/package/version/check,status=503")
                                 << int(UpdateDialog::CheckFailedState) << "recheck"_s;
        // A port on which nothing listens (the discard port).
        QTest::newRow("no answer")
            << "https://127.0.0.1:9/api/app/package/version/check"_s << QByteArray()
            << int(UpdateDialog::CheckFailedState) << "recheck"_s;
    }

    // A check against the platform (which offers 2.4.2, this version; a newer one is
    // tst_update_platform's) ends in the state of its result, with that state's page and button.
    void updateStates()
    {
        QFETCH(QString, url);
        QFETCH(QByteArray, fault);
        QFETCH(int, state);
        config->SetValue("Custom"_s, "updateUrl"_s,
                         url.isEmpty() ? qEnvironmentVariable("KAVRO_PLATFORM_URL") +
                                             "/api/app/package/version/check"_s
                                       : url);
        QVERIFY(SetPlatformFault(fault));
        UpdateDialog dialog(UpdateDialog::Checking, *config, *uploads);
        dialog.show();
        dialog.StartCheck();
        QCOMPARE(dialog.CurrentState(), int(UpdateDialog::Checking));
        QCOMPARE(Child(&dialog, "remarkLabel")->property("checkState").toString(), "checking"_s);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.CurrentState(), state, 15000);
        SetPlatformFault(QByteArray());
        QCOMPARE(Child<QStackedWidget>(&dialog, "stackedWidget")->currentWidget()->objectName(),
                 "checkPage"_s);
        QTEST(Child<QPushButton>(&dialog, "checkPageBtn")->text(), "button");
    }

    void userInfo_data()
    {
        QTest::addColumn<bool>("expired");
        QTest::addColumn<qint64>("remain");
        QTest::addColumn<quint64>("space");
        QTest::addColumn<int>("percent");
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("expiry");
        QTest::newRow("in use") << false << qint64(750) << quint64(1000) << 25 << QString()
                                << "</span> days)"_s;
        QTest::newRow("expired") << true << qint64(0) << quint64(1000) << 100 << QString()
                                 << "(Expired)"_s;
        QTest::newRow("no space") << false << qint64(0) << quint64(0) << 0 << QString()
                                  << "</span> days)"_s;
        QTest::newRow("more remaining than space")
            << false << qint64(5000) << quint64(1000) << 100 << "error"_s
            << "</span> days)"_s;
    }

    void userInfo()
    {
        QFETCH(bool, expired);
        QFETCH(qint64, remain);
        QFETCH(quint64, space);
        QFETCH(QString, expiry);

        UserInfoWidget::Info info;
        info.account = "someone-with-a-rather-long-address@example-platform.com"_s;
        info.expired = expired;
        info.remainBytes = remain;
        info.space = space;
        info.leftDay = 42;
        info.expirationTime = 1767225600000ULL;  // 2026-01-01 UTC
        UserInfoWidget widget;
        widget.SetUserInfo(info);
        QTEST(widget.SpaceBar()->value(), "percent");
        QTEST(widget.SpaceBar()->property("style").toString(), "style");
        QString text = widget.ExpiredLabel()->text();
        QVERIFY2(text.startsWith("Expired Time:"_s), qPrintable(text));
        QVERIFY2(text.contains("2026-01-0"_s), qPrintable(text));
        if (expired) {
            QVERIFY(!text.contains("42"_s));
        } else {
            QVERIFY(text.contains(">42<"_s));
        }
        QVERIFY2(text.endsWith(expiry), qPrintable(text));
        QVERIFY(widget.AccountLabel()->text() != info.account);  // elided
        QCOMPARE(widget.AccountLabel()->toolTip(), info.account);
    }

    void paginatorWindow_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("buttons");  // visible numbers, '*' = checked
        QTest::addColumn<bool>("previous");
        QTest::addColumn<bool>("next");
        QTest::newRow("1 of 10") << 1 << 10 << "1*,2,3,4,5" << false << true;
        QTest::newRow("3 of 10") << 3 << 10 << "1,2,3*,4,5" << true << true;
        QTest::newRow("4 of 10") << 4 << 10 << "2,3,4*,5,6" << true << true;
        QTest::newRow("9 of 10") << 9 << 10 << "6,7,8,9*,10" << true << true;
        QTest::newRow("10 of 10") << 10 << 10 << "6,7,8,9,10*" << true << false;
        QTest::newRow("2 of 3") << 2 << 3 << "1,2*,3" << true << true;
        QTest::newRow("1 of 1") << 1 << 1 << "1*" << false << false;
        QTest::newRow("5 of 5") << 5 << 5 << "1,2,3,4,5*" << true << false;
        QTest::newRow("4 of 6") << 4 << 6 << "2,3,4*,5,6" << true << true;
        QTest::newRow("2500 of 5000")
            << 2500 << 5000 << "2498,2499,2500*,2501,2502" << true << true;
    }

    void paginatorWindow()
    {
        QFETCH(int, current);
        QFETCH(int, total);
        Paginator paginator;
        paginator.SetPages(current, total, 20);
        QTEST(VisibleNumbers(paginator).join(QLatin1Char(',')), "buttons");
        QTEST(Child<QPushButton>(&paginator, "previousBtn")->isEnabled(), "previous");
        QTEST(Child<QPushButton>(&paginator, "nextBtn")->isEnabled(), "next");
        auto* pages = paginator.findChild<QComboBox*>("pageComboBox"_s);
        QCOMPARE(pages->count(), total);
        QCOMPARE(pages->currentText(), QString::number(current));
        QCOMPARE(paginator.findChild<QLabel*>("totalPage"_s)->text(),
                 "total %1 pages"_s.arg(total));
    }

    void paginatorReportsWithoutRedrawing()
    {
        Paginator paginator;
        auto* content = paginator.findChild<QWidget*>("contentWidget"_s);
        QVERIFY(content->isHidden());
        paginator.SetPages(4, 10, 20);
        QVERIFY(!content->isHidden());
        QSignalSpy changed(&paginator, &Paginator::SignalPageChanged);

        Child<QPushButton>(&paginator, "thirdBtn")->click();  // "4", the current page
        QCOMPARE(changed.size(), 0);
        Child<QPushButton>(&paginator, "fourthBtn")->click();  // "5"
        QCOMPARE(changed.takeFirst(), (QList<QVariant>{5ULL, 20ULL}));
        QCOMPARE(VisibleNumbers(paginator).join(QLatin1Char(',')), "2,3,4*,5,6"_s);
        Child<QPushButton>(&paginator, "previousBtn")->click();
        QCOMPARE(changed.takeFirst(), (QList<QVariant>{3ULL, 20ULL}));

        auto* sizes = paginator.findChild<QComboBox*>("pageSizeComboBox"_s);
        sizes->setCurrentIndex(1);  // 50 per page: back to page 1
        QCOMPARE(changed.takeFirst(), (QList<QVariant>{1ULL, 50ULL}));
        QCOMPARE(sizes->currentData().toInt(), 20);
        QCOMPARE(paginator.Current(), 4ULL);

        auto* pages = paginator.findChild<QComboBox*>("pageComboBox"_s);
        emit pages->textActivated("4"_s);
        QCOMPARE(changed.size(), 0);
        emit pages->textActivated("9"_s);
        QCOMPARE(changed.takeFirst(), (QList<QVariant>{9ULL, 20ULL}));

        paginator.SetPages(1, 10, 30);  // not one of the offered sizes
        QCOMPARE(sizes->currentIndex(), -1);
        paginator.SetPages(0, 10, 20);  // ignored
        QCOMPARE(paginator.Current(), 1ULL);
        QCOMPARE(changed.size(), 0);
    }

    void smoothScrollEnds()
    {
        QScrollArea area;
        SmoothScrollHelper helper;
        ShowScrollArea(&area, &helper, 5000);
        QSignalSpy toEnd(&helper, &SmoothScrollHelper::ScrollToEnd);
        QSignalSpy toBegin(&helper, &SmoothScrollHelper::ScrollToBegin);

        Wheel(area.viewport(), 120);  // towards the top while at the top
        QCOMPARE(toBegin.size(), 1);
        QVERIFY(!helper.IsScrolling());

        QScrollBar* bar = area.verticalScrollBar();
        Wheel(area.viewport(), -120);
        QVERIFY(helper.IsScrolling());
        QTRY_VERIFY(!helper.IsScrolling());
        QVERIFY(bar->value() > 0);

        bar->setValue(bar->maximum());
        Wheel(area.viewport(), -120);
        QCOMPARE(toEnd.size(), 1);
        QVERIFY(!helper.IsScrolling());
        QCOMPARE(helper.Speed(), 0);
    }

    void smoothScrollCarriesSpeed()
    {
        QScrollArea area;
        SmoothScrollHelper helper;
        ShowScrollArea(&area, &helper, 100000);
        area.verticalScrollBar()->setValue(50000);

        Wheel(area.viewport(), -120);
        const int first = helper.Speed();
        QCOMPARE(first, -8);
        Wheel(area.viewport(), -120);
        QCOMPARE(helper.Speed(), -16);  // the first turn's whole speed carried over
        for (int i = 0; i < 30; ++i) {
            Wheel(area.viewport(), -120);
            QVERIFY(helper.Speed() >= -100);
        }
        QCOMPARE(helper.Speed(), -100);
        Wheel(area.viewport(), 120);  // turning back starts from the carried speed
        QVERIFY(helper.Speed() <= 100);
    }

    void headerCheckBoxFollowsRows()
    {
        QStandardItemModel model(0, 3);
        model.setHeaderData(0, Qt::Horizontal, Qt::Unchecked, Qt::CheckStateRole);
        VideoTableView view;
        view.setModel(&model);
        CheckableHeaderView* header = view.Header();
        QVERIFY(header->IsCheckBoxDisabled(0));

        for (int row = 0; row < 3; ++row) {
            auto* item = new QStandardItem;
            item->setCheckState(Qt::Unchecked);
            model.appendRow({item, new QStandardItem, new QStandardItem});
        }
        QVERIFY(!header->IsCheckBoxDisabled(0));
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        view.selectRow(1);
        QCOMPARE(model.item(1)->checkState(), Qt::Checked);
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::CheckStateRole).toInt(),
                 int(Qt::PartiallyChecked));

        // A click on the partially checked box checks every row.
        const QPoint box(header->sectionViewportPosition(0) + header->sectionSize(0) / 2,
                         header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, box);
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(model.item(row)->checkState(), Qt::Checked);
        }
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, box);
        QCOMPARE(model.item(0)->checkState(), Qt::Unchecked);
        QVERIFY(view.selectionModel()->selectedRows().isEmpty());
    }

    void buttonCellClicks()
    {
        QStandardItemModel model(1, 9);
        VideoTableView view;
        view.setModel(&model);
        QStandardItem* edit = new QStandardItem("Edit"_s);
        edit->setData(1, TableViewDelegate::kButtonCellRole);
        edit->setData(QVariant::fromValue<QObject*>(view.EditButtonTemplate()),
                      TableViewDelegate::kButtonTemplateRole);
        edit->setData(TableViewDelegate::kEnabledBit, TableViewDelegate::kButtonStateRole);
        model.setItem(0, 7, edit);
        view.resize(1000, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy edits(&view, &VideoTableView::SignalEditVideo);
        const QModelIndex cell = model.index(0, 7);
        const QPoint centre = view.visualRect(cell).center();

        // Pressed inside, released outside: nothing, and the pressed look is gone.
        QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QVERIFY(cell.data(TableViewDelegate::kButtonStateRole).toInt() &
                TableViewDelegate::kPressedBit);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier,
                            view.visualRect(model.index(0, 2)).center());
        QCOMPARE(edits.size(), 0);
        QCOMPARE(
            cell.data(TableViewDelegate::kButtonStateRole).toInt() & TableViewDelegate::kPressedBit,
            0);

        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(edits.size(), 1);
        QVERIFY(view.selectionModel()->selectedRows().isEmpty());  // a button does not select

        model.setData(cell, 0, TableViewDelegate::kButtonStateRole);  // disabled
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(edits.size(), 1);
    }

    void filterRule_data()
    {
        QTest::addColumn<int>("names");
        QTest::addColumn<bool>("everyKeystroke");
        QTest::newRow("1000 names") << 1000 << true;
        QTest::newRow("1001 names") << 1001 << false;
    }

    void filterRule()
    {
        QFETCH(int, names);
        QFETCH(bool, everyKeystroke);
        QStringList list;
        for (int i = 0; i < names; ++i) {
            list.append("Category %1"_s.arg(i));
        }
        QStringListModel model(list);
        QLineEdit field;
        int applied = 0;
        auto* rule = new CategoryFilterRule(&field, &model, [&applied] { ++applied; });
        QCOMPARE(rule->FiltersOnEveryKeystroke(), everyKeystroke);
        QCOMPARE(field.completer(), rule->Completer());

        QTest::keyClicks(&field, "ab"_s);
        QCOMPARE(applied, everyKeystroke ? 2 : 0);
        QTest::keyClick(&field, Qt::Key_Return);
        QCOMPARE(applied, everyKeystroke ? 2 : 1);
        field.clear();  // an emptied field applies at once in both modes
        QCOMPARE(applied, everyKeystroke ? 3 : 2);

        // One name more or less after a reload switches the mode.
        list.append("one more"_s);
        if (everyKeystroke) {
            model.setStringList(list);
        } else {
            list = list.mid(2);
            model.setStringList(list);
        }
        rule->Rewire();
        QCOMPARE(rule->FiltersOnEveryKeystroke(), list.size() <= 1000);
    }

    // Applying a text shows the matches expanded without a selection; the same text again
    // changes nothing; an emptied field folds the tree back to its expanded top row.
    void filterRuleAppliesToTree()
    {
        QStandardItemModel categories;
        auto* top = new QStandardItem("Root"_s);
        auto* alpha = new QStandardItem("Alpha"_s);
        alpha->appendRow(new QStandardItem("Beta"_s));
        top->appendRow(alpha);
        top->appendRow(new QStandardItem("Gamma"_s));
        categories.appendRow(top);
        QSortFilterProxyModel proxy;
        proxy.setRecursiveFilteringEnabled(true);
        proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
        proxy.setSourceModel(&categories);
        QTreeView view;
        view.setModel(&proxy);
        QStringListModel names;
        QLineEdit field;
        auto* rule = new CategoryFilterRule(&field, &names, [] {});
        const QModelIndex root = proxy.index(0, 0);
        view.setCurrentIndex(root);

        field.setText("beta"_s);
        QVERIFY(rule->ApplyTo(&proxy, &view));
        QVERIFY(!rule->ApplyTo(&proxy, &view));
        QCOMPARE(proxy.rowCount(root), 1);
        QVERIFY(view.isExpanded(proxy.index(0, 0, root)));
        QVERIFY(!view.selectionModel()->hasSelection());

        field.clear();
        QVERIFY(rule->ApplyTo(&proxy, &view));
        QCOMPARE(proxy.rowCount(root), 2);
        QVERIFY(view.isExpanded(root));
        QVERIFY(!view.isExpanded(proxy.index(0, 0, root)));
    }

    void copyCodeHoldsVid()
    {
        CopyCodeDialog dialog("1d3e5a7c9b0000000000000000000042_7"_s);
        const QString code = dialog.PlainCode();
        QVERIFY(code.contains("vid: \"1d3e5a7c9b0000000000000000000042_7\""_s));
        QVERIFY(!code.contains("{{vid}}"_s));
        QVERIFY(CopyCodeDialog::CodeHtml("x"_s, "Consolas"_s).contains("font-family:Consolas;"_s));
    }

private:
    QTemporaryDir dir;
    std::unique_ptr<Config> config;
    std::unique_ptr<AccountManager> accounts;
    DBManager* db = nullptr;
    SDKManager* uploads = nullptr;
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
