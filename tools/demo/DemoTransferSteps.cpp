// The transfer steps of the headless demo: the empty transfer page, the upload dialog with
// several files (one unsupported, one added twice), real uploads in flight under the
// devplatform's throttle, a failed row, the post-task menu, the finished tab and the tray menu.
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include "DemoDriver.h"
#include "app/Application.h"
#include "app/Config.h"
#include "models/CategoryTreeModel.h"
#include "models/UploadTableModel.h"
#include "ui/shell/MainWindow.h"
#include "ui/transfer/HistoryTableWidget.h"
#include "ui/transfer/RecordTableWidget.h"
#include "ui/transfer/TransferListWidget.h"
#include "ui/transfer/TransferTrayIcon.h"
#include "ui/transfer/UploadDialog.h"
#include "upload/SDKManager.h"
#include "upload/SDKUploadTask.h"

namespace {

MainWindow* Window()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->objectName() == QLatin1String("MainWindow")) {
            return qobject_cast<MainWindow*>(widget);
        }
    }
    return nullptr;
}

TransferListWidget* Page()
{
    MainWindow* window = Window();
    return window ? window->findChild<TransferListWidget*>() : nullptr;
}

void ClickChild(QWidget* parent, const char* name)
{
    auto* widget = parent ? parent->findChild<QWidget*>(QLatin1String(name)) : nullptr;
    if (widget) {
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
    }
}

// A fault rule of the demo platform ("" clears them), through its loopback admin endpoint.
void PlatformFault(const QString& rule)
{
    const QString base = qEnvironmentVariable("KAVRO_PLATFORM_URL");
    const QString ca =
        Config::Global()
            ->Value(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"))
            .toString();
    QStringList arguments{QStringLiteral("-s"), QStringLiteral("--cacert"), ca};
    if (rule.isEmpty()) {
        arguments << QStringLiteral("-X") << QStringLiteral("DELETE");
    } else {
        arguments << QStringLiteral("-d") << rule;
    }
    arguments << base + QStringLiteral("/admin/faults");
    QProcess::execute(QStringLiteral("curl"), arguments);
}

// A sparse file of the given size in the demo's upload folder.
QString DemoFile(const QString& name, qint64 size)
{
    const QString path =
        Application::DataDirPath(QStringLiteral("demo-upload")) + QLatin1Char('/') + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(name.toUtf8());
        file.resize(size);
    }
    return path;
}

}  // namespace

void DemoDriver::AddTransferSteps()
{
    // The upload dialog picks from the category tree, which the library page loads.
    Add(QStringLiteral("category tree"), 1500, [this] {
        CategoryTreeModel* categories = Application::Instance()->GetCategoryTreeModel();
        if (categories->rowCount() == 0 && !categories->IsOperating()) {
            categories->RefreshCategory();
        }
        WaitFor(QStringLiteral("category tree"), 30000,
                [categories] { return categories->rowCount() > 0; });
    });
    Add(QStringLiteral("transfer page, empty"), 300, [this] {
        ClickChild(Window(), "transferListBtn");
        if (!Page()) {
            Fail(QStringLiteral("no transfer page"));
            next = steps.size();
            return;
        }
        Shot(QStringLiteral("40-transfer-empty"));
        // Three small uploads that finish at once, for the history.
        for (const QString& name :
             {QStringLiteral("新员工培训 片头.mp4"), QStringLiteral("季度总结 摘要.mov"),
              QStringLiteral("播客 第12期.mp3")}) {
            SDKManager::instance()->AddUpload(1, DemoFile(name, 3 << 20), QString(), QString(),
                                              QString(), QStringLiteral("Library"), 0, 0);
        }
        WaitFor(QStringLiteral("first uploads in history"), 60000,
                [] { return Page()->HistoryTable()->Count() >= 3; });
    });
    Add(QStringLiteral("upload dialog"), 800, [this] {
        UploadDialog* dialog = Page()->OpenUploadDialog();
        const QStringList files{DemoFile(QStringLiteral("课程演示 第二讲.mp4"), qint64(96) << 20),
                                DemoFile(QStringLiteral("产品发布会 全程.MOV"), qint64(128) << 20),
                                DemoFile(QStringLiteral("客户访谈 录音.wav"), qint64(80) << 20),
                                DemoFile(QStringLiteral("校园宣传片 2026.mkv"), qint64(112) << 20),
                                DemoFile(QStringLiteral("会议纪要.txt"), 2048)};
        dialog->AddFiles(files);
        QTest::qWait(600);
        dialog->AddFiles({files.first()});  // blinks instead of a second row
        Shot(QStringLiteral("41-upload-dialog"));
    });
    Add(QStringLiteral("confirm uploads"), 2200, [this] {
        // 256 KB/s per upload: progress, speed and time left stay visible.
        PlatformFault(QStringLiteral("path=/upload/files/,method=PATCH,throttle=262144"));
        UploadDialog* dialog = Page()->CurrentUploadDialog();
        ClickChild(dialog, "confirmButton");
    });
    Add(QStringLiteral("uploads in flight"), 6500,
        [this] { Shot(QStringLiteral("42-transfer-uploading")); });
    Add(QStringLiteral("a failed upload"), 100, [this] {
        // The next upload to start is refused by the platform (410: no upload permission).
        PlatformFault(QStringLiteral("path=/upload/files/,method=PATCH,code=410,times=3"));
        SDKManager* uploads = SDKManager::instance();
        QString waiting;
        QString running;
        for (const DBManager::Upload& record : DBManager::instance()->GetUploads()) {
            const SharedUploadTaskPtr task = uploads->Task(record.vid);
            if (task && task->Status() == Waiting && waiting.isEmpty()) {
                waiting = record.vid;
            } else if (task && task->Status() == Uploading && running.isEmpty()) {
                running = record.vid;
            }
        }
        // Pausing one frees a slot: the waiting upload starts and is refused.
        uploads->StartTask(running, false);
        WaitFor(QStringLiteral("a failed row"), 30000, [uploads, waiting] {
            const SharedUploadTaskPtr task = uploads->Task(waiting);
            return task && task->Status() == Failed;
        });
    });
    Add(QStringLiteral("failed row"), 2500, [this] {
        PlatformFault(QString());
        PlatformFault(QStringLiteral("path=/upload/files/,method=PATCH,throttle=262144"));
        Shot(QStringLiteral("43-transfer-failed-row"));
    });
    Add(QStringLiteral("post-task menu"), 200, [this] {
        auto* button = Page()->findChild<QPushButton*>(QStringLiteral("postTaskBtn"));
        QMenu* menu = button ? button->menu() : nullptr;
        if (!menu) {
            Fail(QStringLiteral("no post-task menu"));
            return;
        }
        QTimer::singleShot(600, this, [this, menu] {
            ClickChild(menu, "postTaskSleep");
            Shot(QStringLiteral("44-transfer-post-task-menu"));
            menu->hide();
        });
        button->showMenu();
    });
    Add(QStringLiteral("tray menu"), 300, [this] {
        TransferTrayIcon* tray = Page()->Tray();
        QMenu* menu = tray ? tray->Menu() : nullptr;
        if (!menu) {
            Fail(QStringLiteral("no tray menu"));
            return;
        }
        // Where the notification area would open it: the screen's lower right corner.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QTimer::singleShot(500, this, [this, menu] {
            Shot(QStringLiteral("45-tray-menu"));
            menu->hide();
        });
        menu->popup(screen.bottomRight() -
                    QPoint(menu->sizeHint().width() + 8, menu->sizeHint().height() + 8));
    });
    Add(QStringLiteral("finished tab"), 1200, [this] {
        ClickChild(Page(), "historyTabBtn");
        Shot(QStringLiteral("46-transfer-finished"));
        ClickChild(Page(), "recordTabBtn");
    });
    Add(QStringLiteral("back to the library"), 300, [] {
        PlatformFault(QString());
        SDKManager::instance()->PauseAll();
        ClickChild(Window(), "videoListBtn");
    });
}
