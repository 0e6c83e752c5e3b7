// A whole session through the real windows against the devplatform, with the application set
// up as the entry point does: the start-up check opens the login page, a wrong password shows
// the platform's text with the attempts left, the right one opens the main window with the
// account's data, and "Switch Account" ends the run with 1024 and starts the program again
// with the same arguments.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "WindowTest.h"
#include "account/AccountManager.h"
#include "api/ApiErrors.h"
#include "app/Application.h"
#include "app/Config.h"
#include "common/TestLiterals.h"
#include "ui/shell/LoginDialog.h"
#include "ui/shell/MainWindow.h"

class TestSession : public QObject
{
    Q_OBJECT

public:
    TestSession(Application* app, QString argsFile) : app(app), argsFile(std::move(argsFile)) {}

private slots:
    void signInAndSwitchAccount();

private:
    Application* app;
    QString argsFile;
};

void TestSession::signInAndSwitchAccount()
{
    QSignalSpy loadingFinished(app, &Application::SignalStartupLoadingFinish);
    QVERIFY(app->Init());
    LoginDialog* dialog = app->GetLoginDialog();
    QVERIFY(dialog);
    QTRY_COMPARE_WITH_TIMEOUT(loadingFinished.size(), 1, 20000);
    QCOMPARE(dialog->CurrentState(), int(LoginDialog::Idle));

    auto* account = Child<QComboBox>(dialog, "accountComboBox");
    auto* password = Child<QLineEdit>(dialog, "passwordLineEdit");
    auto* login = Child<QPushButton>(dialog, "loginBtn");
    auto* error = Child<QLabel>(dialog, "errorLabel");
    QVERIFY(account && password && login && error);

    account->lineEdit()->setText("demo@kavro.example"_s);
    QTest::keyClicks(password, "not-the-password"_s);
    login->click();
    QTRY_COMPARE_WITH_TIMEOUT(dialog->CurrentState(), int(LoginDialog::Idle), 20000);
    QCOMPARE(error->text(), ApiCollection::errorCodeString(ApiCollection::MAIN_ACCOUNT_PWD_ERR) +
                                ", 4 attempts remaining"_s);

    password->clear();
    QTest::keyClicks(password, "demo1234"_s);
    login->click();
    QTRY_VERIFY_WITH_TIMEOUT(app->GetMainWindow() != nullptr, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(app->GetLoginDialog() == nullptr, 5000);
    QCOMPARE(app->GetAccountManager()->UserId(), "1d3e5a7c9b"_s);

    MainWindow* window = app->GetMainWindow();
    auto* accountButton = Child<QPushButton>(window, "accountBtn");
    QVERIFY(accountButton && accountButton->menu());
    QMenu* menu = accountButton->menu();
    QTimer::singleShot(300, menu, [menu] {
        auto* row = Child<QWidget>(menu, "switchAccountBtn");
        if (row) {
            QTest::mouseClick(row, Qt::LeftButton);
        }
        menu->close();
    });
    QTimer::singleShot(0, accountButton, [accountButton] { accountButton->showMenu(); });
    QCOMPARE(app->Run(), Application::kRestartExitCode);

    // The "program" of this run is a shell that appends the arguments it was started with: one
    // start, with the same arguments.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(argsFile).size() > 0, 10000);
    QTest::qWait(200);
    QFile file(argsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), "--profile\n第二 份\n"_s);
}

int main(int argc, char** argv)
{
    QTemporaryDir dir;
    const QString argsFile = dir.filePath("restart-args.txt"_s);
    // The arguments the program was started with; a restart must hand them on unchanged.
    QByteArray script = "printf '%s\\n' \"$@\" >> '" + argsFile.toUtf8() + "'";
    QByteArray shell = "/bin/sh";
    QByteArray dashC = "-c";
    QByteArray name = "sh";
    QByteArray profile = "--profile";
    QByteArray second = "第二 份";
    char* appArgv[] = {shell.data(),   dashC.data(),  script.data(), name.data(),
                       profile.data(), second.data(), nullptr};
    int appArgc = 6;

    Config config(dir.filePath("global.ini"_s));
    config.SetValue("NetWorkManager"_s, "customSSLCacert"_s,
                    qEnvironmentVariable("KAVRO_TEST_CACERT"));
    config.SetValue(
        "Custom"_s, "updateUrl"_s,
        qEnvironmentVariable("KAVRO_PLATFORM_URL") + "/api/app/package/version/check"_s);
    Application app(&config, appArgc, appArgv);
    TestSession test(&app, argsFile);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_session.moc"
