#include "DemoDriver.h"

#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include "app/Application.h"
#include "ui/shell/LoginDialog.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/MainWindowTitleWidget.h"
#include "ui/shell/UpdateDialog.h"
#include "upload/SDKManager.h"

namespace {

template <typename T>
T* TopLevel(const char* objectName)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->objectName() == QLatin1String(objectName)) {
            if (auto* typed = qobject_cast<T*>(widget)) {
                return typed;
            }
        }
    }
    return nullptr;
}

QWidget* ActiveModal()
{
    return QApplication::activeModalWidget();
}

void Click(QWidget* widget)
{
    if (widget) {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
    }
}

template <typename T = QWidget>
T* Child(QWidget* parent, const char* name)
{
    return parent ? parent->findChild<T*>(QLatin1String(name)) : nullptr;
}

}  // namespace

DemoDriver::DemoDriver(const QString& outDir, const QString& account, const QString& password,
                       QObject* parent)
    : QObject(parent), outDir(outDir), account(account), password(password)
{
    this->outDir.mkpath(QStringLiteral("."));
}

void DemoDriver::Add(const QString& name, int delayMs, std::function<void()> run)
{
    steps.append({name, delayMs, std::move(run)});
}

void DemoDriver::Start()
{
    AddLoginSteps();
    AddLibrarySteps();
    AddTransferSteps();
    AddEditSteps();
    AddMainWindowSteps();
    RunNext();
}

void DemoDriver::RunNext()
{
    if (next >= steps.size()) {
        qInfo().noquote() << "demo: done," << shots << "screenshots," << failures << "failures";
        QTimer::singleShot(0, qApp, [] {
            QApplication::closeAllWindows();
            qApp->quit();
        });
        return;
    }
    const Step step = steps.at(next++);
    // Scheduled before the step runs: a step may open a menu or a modal dialog whose own
    // event loop keeps running the following steps.
    QTimer::singleShot(step.delayMs, this, [this, step] {
        qInfo().noquote() << "demo:" << step.name;
        waiting = false;
        step.run();
        if (!waiting) {
            RunNext();
        }
    });
}

void DemoDriver::WaitFor(const QString& what, int timeoutMs, std::function<bool()> check)
{
    waiting = true;
    auto* timer = new QTimer(this);
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    connect(timer, &QTimer::timeout, this, [=] {
        if (check()) {
            timer->deleteLater();
            delete elapsed;
            RunNext();
        } else if (elapsed->elapsed() > timeoutMs) {
            timer->deleteLater();
            delete elapsed;
            Fail(QStringLiteral("timed out waiting for ") + what);
            next = steps.size();
            RunNext();
        }
    });
    timer->start(100);
}

void DemoDriver::Shot(const QString& name)
{
    // Let the last input be painted first.
    QTest::qWait(250);
    // The part of the screen the client's windows cover (popups and toasts included).
    QRect area;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) {
            area |= widget->frameGeometry();
        }
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        area = area.intersected(screen->geometry());
    }
    const QPixmap pixmap =
        !screen          ? QPixmap()
        : area.isEmpty() ? screen->grabWindow(0)
                         : screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString file = outDir.filePath(name + QStringLiteral(".png"));
    if (pixmap.isNull() || !pixmap.save(file)) {
        Fail(QStringLiteral("could not save ") + file);
        return;
    }
    ++shots;
    qInfo().noquote() << "demo: saved" << file;
}

void DemoDriver::Fail(const QString& why)
{
    ++failures;
    qWarning().noquote() << "demo: FAILED:" << why;
}

void DemoDriver::AddLoginSteps()
{
    Add(QStringLiteral("login dialog appears"), 300, [this] {
        Shot(QStringLiteral("01-login-loading"));
        // The start-up check may offer a newer version before the login page.
        WaitFor(QStringLiteral("login page"), 30000, [this] {
            auto* update = TopLevel<UpdateDialog>("UpdateDialog");
            if (update && !startupUpdateSeen) {
                startupUpdateSeen = true;
                Shot(QStringLiteral("00-startup-update"));
                update->close();  // later: from the settings menu
                return false;
            }
            auto* dialog = TopLevel<LoginDialog>("LoginDialog");
            return dialog && dialog->CurrentState() == LoginDialog::Idle;
        });
    });
    Add(QStringLiteral("login page"), 400, [this] { Shot(QStringLiteral("02-login")); });
    Add(QStringLiteral("network settings"), 100, [this] {
        auto* dialog = TopLevel<LoginDialog>("LoginDialog");
        // Screenshot and proxy toast from inside the modal dialog's loop.
        QTimer::singleShot(600, this, [this] {
            QWidget* net = ActiveModal();
            Shot(QStringLiteral("03-network-settings"));
            auto* type = Child<QComboBox>(net, "proxyTypeComboBox");
            if (type) {
                type->setCurrentIndex(1);
            }
            Click(Child(net, "Ok"));
            QTimer::singleShot(400, this, [this, net] {
                Shot(QStringLiteral("04-network-settings-host-empty"));
                Click(Child(net, "Cancel"));
            });
        });
        Click(Child(dialog, "networkSettingBtn"));
    });
    Add(QStringLiteral("empty password"), 2600, [this] {
        auto* dialog = TopLevel<LoginDialog>("LoginDialog");
        auto* combo = Child<QComboBox>(dialog, "accountComboBox");
        if (!combo) {
            Fail(QStringLiteral("no login dialog"));
            return;
        }
        combo->lineEdit()->clear();
        QTest::keyClicks(combo->lineEdit(), account);
        Click(Child(dialog, "loginBtn"));
        Shot(QStringLiteral("05-login-empty-password"));
    });
    Add(QStringLiteral("wrong password"), 300, [this] {
        auto* dialog = TopLevel<LoginDialog>("LoginDialog");
        auto* edit = Child<QLineEdit>(dialog, "passwordLineEdit");
        QTest::keyClicks(edit, password + QStringLiteral("-wrong"));
        Click(Child(dialog, "loginBtn"));
        WaitFor(QStringLiteral("login failure"), 30000,
                [dialog] { return !dialog || dialog->CurrentState() == LoginDialog::Idle; });
    });
    Add(QStringLiteral("login failed"), 300, [this] { Shot(QStringLiteral("06-login-failed")); });
    Add(QStringLiteral("sign in"), 100, [this] {
        auto* dialog = TopLevel<LoginDialog>("LoginDialog");
        auto* edit = Child<QLineEdit>(dialog, "passwordLineEdit");
        edit->clear();
        QTest::keyClicks(edit, password);
        Click(Child(dialog, "showPasswordButton"));
        Shot(QStringLiteral("07-login-filled"));
        Click(Child(dialog, "showPasswordButton"));
        QTest::keyClick(edit, Qt::Key_Return);
        Shot(QStringLiteral("08-login-signing-in"));
        WaitFor(QStringLiteral("main window"), 60000,
                [] { return TopLevel<MainWindow>("MainWindow") != nullptr; });
    });
}

void DemoDriver::ClickMenuRow(const char* buttonName, const char* rowName)
{
    auto* window = TopLevel<MainWindow>("MainWindow");
    auto* button = Child<QPushButton>(window, buttonName);
    if (!button || !button->menu()) {
        Fail(QStringLiteral("no menu button ") + QLatin1String(buttonName));
        return;
    }
    QMenu* menu = button->menu();
    QTimer::singleShot(500, this, [menu, rowName] { Click(Child(menu, rowName)); });
    button->showMenu();
}

void DemoDriver::AddMainWindowSteps()
{
    Add(QStringLiteral("main window"), 1500, [this] { Shot(QStringLiteral("10-main-window")); });
    Add(QStringLiteral("transfer page"), 100, [this] {
        auto* window = TopLevel<MainWindow>("MainWindow");
        Click(Child(window, "transferListBtn"));
        Shot(QStringLiteral("11-main-window-transfer-page"));
        Click(Child(window, "videoListBtn"));
    });
    for (const char* menuButton : {"accountBtn", "settingsBtn"}) {
        const QString shot = QStringLiteral("12-menu-%1").arg(QLatin1String(menuButton));
        Add(QStringLiteral("menu ") + QLatin1String(menuButton), 300, [this, menuButton, shot] {
            auto* window = TopLevel<MainWindow>("MainWindow");
            auto* button = Child<QPushButton>(window, menuButton);
            if (!button || !button->menu()) {
                Fail(QStringLiteral("no menu"));
                return;
            }
            QMenu* menu = button->menu();
            QTimer::singleShot(600, this, [this, menu, shot] {
                Shot(shot);
                menu->hide();
            });
            button->showMenu();
        });
    }
    Add(QStringLiteral("preferences"), 1200,
        [this] { ClickMenuRow("settingsBtn", "preferencesBtn"); });
    Add(QStringLiteral("preferences basic"), 1200, [this] {
        Shot(QStringLiteral("13-preferences-basic"));
        auto* dialog = TopLevel<QWidget>("PreferenceDialog");
        Click(Child(dialog, "transferSettingsBtn"));
    });
    Add(QStringLiteral("preferences transfer"), 400, [this] {
        Shot(QStringLiteral("14-preferences-transfer"));
        if (auto* dialog = TopLevel<QWidget>("PreferenceDialog")) {
            dialog->close();
        }
    });
    Add(QStringLiteral("about"), 400, [this] {
        QTimer::singleShot(1400, this, [this] {
            Shot(QStringLiteral("15-about"));
            Click(Child(ActiveModal(), "okBtn"));
        });
        ClickMenuRow("settingsBtn", "aboutBtn");
    });
    Add(QStringLiteral("update"), 2200, [this] { ClickMenuRow("settingsBtn", "updateBtn"); });
    Add(QStringLiteral("update checked"), 3500, [this] {
        Shot(QStringLiteral("16-update"));
        auto* dialog = TopLevel<UpdateDialog>("UpdateDialog");
        if (dialog && dialog->CurrentState() == UpdateDialog::NewVersion) {
            Click(Child(dialog, "updateBtn"));
            Shot(QStringLiteral("17-update-downloading"));
            WaitFor(QStringLiteral("installer download"), 60000,
                    [dialog] { return dialog->CurrentState() != UpdateDialog::Downloading; });
        }
    });
    Add(QStringLiteral("update downloaded"), 300, [this] {
        Shot(QStringLiteral("18-update-install"));
        if (auto* dialog = TopLevel<UpdateDialog>("UpdateDialog")) {
            dialog->close();
        }
    });
    // A running upload, so that quitting asks first.
    Add(QStringLiteral("upload"), 300, [this] {
        const QString path = Application::DataDirPath(QStringLiteral("demo-upload")) +
                             QStringLiteral("/课程演示 第一讲.mp4");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(64) << 20)) {
            Fail(QStringLiteral("no demo upload file"));
            return;
        }
        file.close();
        SDKManager::instance()->SetSpeedLimit(256);
        SDKManager::instance()->AddUpload(1, path, QString(), QString(), QString(),
                                          QStringLiteral("Library"), 0, 0);
    });
    Add(QStringLiteral("quit"), 1500, [this] {
        QTimer::singleShot(600, this, [this] {
            Shot(QStringLiteral("19-exit-check"));
            if (QWidget* box = ActiveModal()) {
                auto* buttons = box->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
                Click(buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr);
            }
        });
        ClickMenuRow("accountBtn", "quitBtn");
    });
}
