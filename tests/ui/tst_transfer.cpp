// The upload dialog and the transfer page against the devplatform with the real upload library,
// the questions before exiting and installing while uploads run, and the post-task action and the
// sleep inhibitor against a fake logind served on a private session bus (dbus-daemon).
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusUnixFileDescriptor>
#include <QLabel>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "TransferTestPlatform.h"
#include "WindowTest.h"
#include "account/AccountManager.h"
#include "common/TestLiterals.h"
#include "models/UploadTableModel.h"
#include "models/VideoTableModel.h"
#include "platform/SystemPower.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/UpdateDialog.h"
#include "ui/transfer/HistoryTableWidget.h"
#include "ui/transfer/OperationWidget.h"
#include "ui/transfer/PostTaskController.h"
#include "ui/transfer/PostTaskMenu.h"
#include "ui/transfer/ProgressWidget.h"
#include "ui/transfer/RecordTableWidget.h"
#include "ui/transfer/TransferListWidget.h"
#include "ui/transfer/UploadDialog.h"
#include "upload/SDKUploadTask.h"

using namespace TransferTestPlatform;

// org.freedesktop.login1.Manager as far as the client uses it. Lives on its own thread, so the
// client's blocking calls from the GUI thread are answered.
class FakeLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    ~FakeLogind() override
    {
        for (int fd : readEnds) {
            ::close(fd);
        }
    }

    QStringList Calls()
    {
        QMutexLocker lock(&mutex);
        return calls;
    }

    // How many inhibitors handed out are still held by someone.
    int HeldInhibitors()
    {
        QMutexLocker lock(&mutex);
        int held = 0;
        for (int fd : readEnds) {
            pollfd check{fd, POLLIN, 0};
            // The write end closed everywhere: the reader sees hang-up.
            if (::poll(&check, 1, 0) == 0 || !(check.revents & POLLHUP)) {
                ++held;
            }
        }
        return held;
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode)
    {
        int fds[2];
        if (::pipe(fds) != 0) {
            return QDBusUnixFileDescriptor();
        }
        QMutexLocker lock(&mutex);
        calls << "Inhibit %1 %2 %3 %4"_s.arg(what, who, why, mode);
        readEnds << fds[0];
        QDBusUnixFileDescriptor handed(fds[1]);  // a duplicate travels in the reply
        ::close(fds[1]);
        return handed;
    }
    void Suspend(bool interactive)
    {
        QMutexLocker lock(&mutex);
        calls << "Suspend %1"_s.arg(interactive);
    }
    void PowerOff(bool interactive)
    {
        QMutexLocker lock(&mutex);
        calls << "PowerOff %1"_s.arg(interactive);
    }

private:
    QMutex mutex;
    QStringList calls;
    QList<int> readEnds;
};

class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        curl_global_init(CURL_GLOBAL_ALL);
        QVERIFY(Start(dir, &config, &login));
        uploads = SDKManager::instance();
        categories = new CategoryTreeModel(this);
        QVERIFY(LoadCategories(*categories));

        // Without dbus-daemon, no bus: the inhibitor requests fail quietly instead of reaching the
        // machine's, and the tests of the post-task action are skipped.
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon"_s);
        if (daemon.isEmpty()) {
            power = new SystemPower(QDBusConnection("kavro-no-bus"_s), this);
            return;
        }
        bus.start(daemon, {"--session"_s, "--nofork"_s, "--print-address"_s});
        QVERIFY(bus.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 10000);
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        QDBusConnection service = QDBusConnection::connectToBus(address, "fake-logind"_s);
        QVERIFY2(service.isConnected(), qPrintable(service.lastError().message()));
        logind = new FakeLogind;
        logind->moveToThread(&serviceThread);
        serviceThread.start();
        QVERIFY(service.registerObject("/org/freedesktop/login1"_s, logind,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService("org.freedesktop.login1"_s));
        QDBusConnection client = QDBusConnection::connectToBus(address, "client"_s);
        QVERIFY(client.isConnected());
        power = new SystemPower(client, this);
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus("client"_s);
        QDBusConnection::disconnectFromBus("fake-logind"_s);
        serviceThread.quit();
        serviceThread.wait();
        delete logind;
        bus.terminate();
        bus.waitForFinished();
        // The pool threads end before the process does, and with them the TLS library's
        // per-thread state (else the leak checker of the sanitized suite reports it).
        QThreadPool::globalInstance()->waitForDone();
    }

    void init()
    {
        QVERIFY(InitLibrary(login));
        uploads->SetAutoStart(true);
        uploads->SetMaxTasks(3);
        uploads->SetSpeedLimit(0);
        OpenPage();
        page->PostTask()->SetCountdownSeconds(1);
    }

    void cleanup()
    {
        delete page;
        page = nullptr;
        ModelsPlatform::SetFault(QString());
        uploads->Release();
        DBManager::instance()->RemoveAllUploads();
        DBManager::instance()->RemoveAllHistories(false);
        power->SetInhibited(false);
    }

    void addFiles_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("toastNames");
        QTest::addColumn<bool>("flickers");
        QTest::addColumn<int>("titleLength");

        QTest::newRow("upper-case suffix")
            << QStringList{"CLIP.MP4"_s} << 1 << QString() << false << 4;
        QTest::newRow("text file")
            << QStringList{"clip.mp4"_s, "notes.txt"_s} << 1 << "notes.txt"_s << false << 4;
        QTest::newRow("same file twice")
            << QStringList{"a.mkv"_s, "a.mkv"_s} << 1 << QString() << true << 1;
        QTest::newRow("long name") << QStringList{QString(240, QLatin1Char('v')) + ".mp3"_s} << 1
                                   << QString() << false << UploadTableModel::kMaxTitleLength;
    }

    void addFiles()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, toastNames);
        QFETCH(bool, flickers);

        // A folder of its own for each row; a name given twice is the same file twice.
        const QDir folder(dir.filePath(QString::number(++fileCounter)));
        QVERIFY(folder.mkpath("."_s));
        QStringList paths;
        for (const QString& name : names) {
            const QString path = folder.filePath(name);
            paths << (QFile::exists(path) ? path : MakeFile(folder, name, 1024));
        }
        UploadDialog* dialog = page->OpenUploadDialog();
        QVERIFY(!dialog->findChild<QPushButton*>("confirmButton"_s)->isEnabled());
        dialog->AddFiles(paths);

        QTEST(dialog->Model()->rowCount(), "rows");
        QVERIFY(dialog->findChild<QPushButton*>("confirmButton"_s)->isEnabled());
        const QModelIndex first = dialog->Model()->index(0, UploadTableModel::Title);
        QTEST(first.data().toString().size(), "titleLength");
        Toast* toast = dialog->findChild<Toast*>();
        QCOMPARE(toast != nullptr, !toastNames.isEmpty());
        if (toast) {
            QVERIFY2(toast->Text().contains(toastNames), qPrintable(toast->Text()));
            QVERIFY(!toast->Text().contains(".mp4"_s));
        }
        QCOMPARE(!dialog->FlickeringPaths().isEmpty(), flickers);
        if (flickers) {
            // The row blinks (selected and deselected in turn) and ends deselected.
            QItemSelectionModel* selection = dialog->Table()->selectionModel();
            QTRY_VERIFY_WITH_TIMEOUT(selection->isRowSelected(0, QModelIndex()), 1000);
            QTRY_VERIFY_WITH_TIMEOUT(dialog->FlickeringPaths().isEmpty(), 4000);
            QVERIFY(!selection->isRowSelected(0, QModelIndex()));
            QCOMPARE(dialog->Model()->rowCount(), 1);
        }
        dialog->close();
    }

    void emojiTitleBlocksConfirmation()
    {
        UploadDialog* dialog = page->OpenUploadDialog();
        dialog->AddFiles({File("emoji.mp4"_s, 4096)});
        dialog->Model()->setData(dialog->Model()->index(0, 0), "lesson \U0001F600"_s,
                                 UploadTableModel::Role(UploadTableModel::DataRole::Title));
        dialog->SlotConfirmUpload();
        QVERIFY(dialog->isVisible());
        Toast* toast = dialog->findChild<Toast*>();
        QVERIFY(toast);
        QCOMPARE(toast->Text(), "UploadDialog.InvalidParam"_s);
        QCOMPARE(uploads->TaskCount(), 0);
        dialog->close();
    }

    void confirmQueuesUploadsThatFinish()
    {
        QSignalSpy jump(page, &TransferListWidget::SignalJumpToTransferList);
        UploadDialog* dialog = page->OpenUploadDialog();
        dialog->SetCategory(categories->TopCateId());
        dialog->AddFiles({File("one.mp4"_s, 300 * 1024 + 7), File("two.wav"_s, 200 * 1024 + 3)});
        dialog->Model()->setData(dialog->Model()->index(1, 0), "第二个文件"_s,
                                 UploadTableModel::Role(UploadTableModel::DataRole::Title));
        dialog->SlotConfirmUpload();
        QCOMPARE(jump.size(), 1);
        QCOMPARE(page->RecordTable()->Count(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(page->RecordTable()->Count(), 0, 30000);
        QCOMPARE(page->HistoryTable()->Count(), 2);
        // The newest finished upload is on top, with its edited title.
        QStringList titles;
        for (int row = 0; row < 2; ++row) {
            titles << page->HistoryTable()
                          ->cellWidget(row, 0)
                          ->findChild<QLabel*>("nameLabel"_s)
                          ->property("originalText")
                          .toString();
        }
        QVERIFY2(titles.contains("第二个文件"_s), qPrintable(titles.join(QLatin1Char(','))));
        QCOMPARE(page->HistoryTable()->item(0, 3)->text(), "UploadSuccess"_s);
    }

    void manyFilesAtOnceKeepOrderAndBuildInSlices()
    {
        uploads->SetMaxTasks(0);
        const int count = RecordTableWidget::kRowsAtOnce + 15;
        QVector<DBManager::Upload> files;
        for (int i = 0; i < count; ++i) {
            DBManager::Upload file;
            file.cateId = 1;
            file.fileName = File("batch-%1.mp4"_s.arg(i, 2, 10, QLatin1Char('0')), 2048);
            files << file;
        }
        files << files.first();  // queued a moment ago: announced, not added
        files << files.last();
        files.last().fileName = dir.filePath("missing.mp4"_s);
        QSignalSpy existing(uploads, &SDKManager::SignalExistUpload);
        QSignalSpy appended(uploads, &SDKManager::SignalAppendUpload);

        const QVector<bool> results = uploads->AddUploads(files);
        QCOMPARE(results, QVector<bool>(count + 1, true) << false);
        QCOMPARE(existing.size(), 1);
        QCOMPARE(appended.size(), count);
        QCOMPARE(DBManager::instance()->GetUploads().size(), count);
        RecordTableWidget* table = page->RecordTable();
        QCOMPARE(table->Count(), count);
        QCOMPARE(table->PendingRows(), count - RecordTableWidget::kRowsAtOnce);
        // Paused before the late rows are built: those start from the task's state, not the
        // state the task had when it was added.
        uploads->PauseAll();
        QTRY_COMPARE(table->PendingRows(), 0);
        for (int i = 0; i < count; ++i) {
            const QString vid = appended.at(i).at(1).value<DBManager::Upload>().vid;
            QCOMPARE(table->RowOf(vid), i);
            QCOMPARE(InRow<QLabel>(vid, "stateLabel")->text(), "Pause"_s);
            QVERIFY(!InRow<QPushButton>(vid, "uploadButton")->isChecked());
        }
    }

    void pageAndRowButtons()
    {
        ModelsPlatform::SetFault("path=/upload/files/,method=PATCH,throttle=65536"_s);
        const QStringList vids{AddUpload("all-1.mp4"_s, 4 << 20),
                               AddUpload("all-2.mp4"_s, 4 << 20)};
        auto* all = page->findChild<QPushButton*>("allOperationBtn"_s);
        QVERIFY(all->isChecked());
        QCOMPARE(all->text(), "SuspendAll"_s);
        QTest::mouseClick(all, Qt::LeftButton);
        for (const QString& vid : vids) {
            QCOMPARE(uploads->Task(vid)->Status(), int(Paused));
        }
        QVERIFY(!all->isChecked());
        QCOMPARE(all->text(), "StartAll"_s);
        QTest::mouseClick(all, Qt::LeftButton);
        for (const QString& vid : vids) {
            QCOMPARE(uploads->Task(vid)->Status(), int(Uploading));
            QVERIFY(InRow<QPushButton>(vid, "uploadButton")->isChecked());
        }
        QVERIFY(all->isChecked());
        const SharedUploadTaskPtr running = uploads->Task(vids.first());
        OpenPage();  // opened again while they run (a new main window): tasks, records, rows stay
        QCOMPARE(uploads->Task(vids.first()), running);
        QCOMPARE(DBManager::instance()->GetUploads().size(), vids.size());
        QCOMPARE(page->RecordTable()->Count(), vids.size());

        // A row's own buttons: pause and resume, retry after a failure, cancel.
        const QString vid = vids.first();
        const SharedUploadTaskPtr task = uploads->Task(vid);
        auto* upload = InRow<QPushButton>(vid, "uploadButton");
        auto* retry = InRow<QPushButton>(vid, "retryButton");
        auto* state = InRow<QLabel>(vid, "stateLabel");
        QVERIFY(upload && retry && state);
        QVERIFY(upload->isChecked());

        QTest::mouseClick(upload, Qt::LeftButton);
        QCOMPARE(task->Status(), int(Paused));
        QCOMPARE(state->text(), "Pause"_s);
        QVERIFY(!upload->isChecked());
        QTest::mouseClick(upload, Qt::LeftButton);
        QCOMPARE(task->Status(), int(Uploading));

        // A failure (the file went away) offers retry instead of the toggle.
        const QString path = task->Record().fileName;
        QTest::mouseClick(upload, Qt::LeftButton);
        QVERIFY(QFile::rename(path, path + ".aside"_s));
        QTest::mouseClick(upload, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(task->Status(), int(Failed), 20000);
        QTRY_VERIFY(!retry->isHidden());
        QVERIFY(upload->isHidden());
        auto* error = InRow<QLabel>(vid, "errorLabel");
        QCOMPARE(error->toolTip().isEmpty() ? error->text() : error->toolTip(),
                 "SdkCodeMsg.NoFile"_s);
        QVERIFY(QFile::rename(path + ".aside"_s, path));
        QTest::mouseClick(retry, Qt::LeftButton);
        QCOMPARE(task->Status(), int(Uploading));
        QVERIFY(retry->isHidden());
        QVERIFY(!upload->isHidden());

        // Cancel asks first, then the row goes (the record with it: tst_upload_queue).
        AnswerNextBox(QDialogButtonBox::Ok);
        QTest::mouseClick(InRow<QPushButton>(vid, "deleteButton"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!page->RecordTable()->HasRow(vid), 20000);
    }

    void speedTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("row 1536 KB/s") << ProgressWidget::SpeedText(1536) << "1.50MB/S";
        QTest::newRow("row 512 KB/s") << ProgressWidget::SpeedText(512) << "512KB/S";
        QTest::newRow("header 512 KB/s") << RecordTableWidget::TotalSpeedText(512) << "512.00KB/S";
        QTest::newRow("header 2048 KB/s") << RecordTableWidget::TotalSpeedText(2048) << "2.00MB/S";
        QTest::newRow("3725 s left")
            << ProgressWidget::TimeLeftText(3725LL * 100 * 1024, 100) << "01:02:05";
        QTest::newRow("5 s left") << ProgressWidget::TimeLeftText(5 * 1024 + 1000, 1) << "00:00:05";
        QTest::newRow("a day left")
            << ProgressWidget::TimeLeftText(86400LL * 1024, 1) << "OverOneDay";
        QTest::newRow("no speed") << ProgressWidget::TimeLeftText(1024, 0) << "OverOneDay";
        QTest::newRow("window of 5")
            << QString::number(ProgressWidget::WindowSpeed({1024, 2048, 3072, 4096, 5120})) << "3";
    }

    void speedTexts()
    {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }

    void headerFollowsTheQueue()
    {
        // Nothing may run: the header shows the waiting queue at 0KB/S.
        uploads->SetMaxTasks(0);
        const QString waiting = AddUpload("header-wait.mp4"_s, 2 << 20);
        QCOMPARE(uploads->Task(waiting)->Status(), int(Waiting));
        QTRY_COMPARE_WITH_TIMEOUT(page->TotalSpeedText(), "0KB/S"_s, 3000);

        // Running under the platform's throttle: a real speed, percentage and time left.
        ModelsPlatform::SetFault("path=/upload/files/,method=PATCH,throttle=262144"_s);
        uploads->SetMaxTasks(3);
        const QRegularExpression speed("^\\d+\\.\\d\\d(KB|MB)/S$"_s);
        QTRY_VERIFY_WITH_TIMEOUT(speed.match(page->TotalSpeedText()).hasMatch() &&
                                     page->TotalSpeedText() != "0.00KB/S"_s,
                                 10000);
        QVERIFY(
            QRegularExpression("^\\d+\\.\\d\\d%$"_s).match(page->TotalPercentText()).hasMatch());
        auto* times = InRow<QLabel>(waiting, "timesLabel");
        QTRY_VERIFY_WITH_TIMEOUT(
            QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$"_s).match(times->text()).hasMatch(), 8000);

        // Paused: nothing waits or runs, the speed text is empty and the progress stays.
        uploads->PauseAll();
        QTRY_COMPARE_WITH_TIMEOUT(page->TotalSpeedText(), QString(), 3000);
        QVERIFY(!page->TotalPercentText().isEmpty());
        // The saved progress follows every third tick.
        QTRY_VERIFY_WITH_TIMEOUT(DBManager::instance()->GetUploads().value(0).uploadBytes > 0,
                                 5000);
    }

    void historyPagesOnScroll()
    {
        DBManager* database = DBManager::instance();
        for (int i = 0; i < 45; ++i) {
            DBManager::History record;
            record.vid = "hist%1"_s.arg(i, 3, 10, QLatin1Char('0'));
            record.fileName = dir.filePath(record.vid + ".mp4"_s);
            record.titleName = "history %1"_s.arg(i);
            record.fileSize = "1.00 MB"_s;
            record.fileStatus = "UploadSuccess"_s;
            record.updateTS = 1700000000 + i;
            QVERIFY(database->AddHistory(record, false));
        }
        OpenPage();
        page->ShowFinishedTab();
        HistoryTableWidget* table = page->HistoryTable();
        QCOMPARE(table->Count(), 20);
        QCOMPARE(table->item(0, 2)->text(),
                 QDateTime::fromSecsSinceEpoch(1700000044).toString("yyyy-MM-dd hh:mm:ss"_s));
        for (int expected : {40, 45, 45}) {
            QTRY_VERIFY(table->verticalScrollBar()->isVisible() &&
                        table->verticalScrollBar()->maximum() > 0);
            table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
            QCOMPARE(table->Count(), expected);
        }
        // One record removed from its row's clean-up button leaves the table and the database.
        auto* cleanup = table->cellWidget(0, 4)->findChild<QPushButton*>("cleanupButton"_s);
        QTest::mouseClick(cleanup, Qt::LeftButton);
        QCOMPARE(table->Count(), 44);
        QCOMPARE(database->GetHistoryCount(), 44);
    }

    void invalidRowAfterFileChanged()
    {
        uploads->SetAutoStart(false);
        const QString vid = AddUpload("changed.mp4"_s, 1 << 20);
        QVERIFY(!vid.isEmpty());
        const QString path = uploads->Task(vid)->Record().fileName;
        // The client stops; the file changes; the client starts again.
        uploads->PauseAll();
        delete page;
        page = nullptr;
        uploads->Release();
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("changed after it was queued");
        file.close();
        QVERIFY(InitLibrary(login));
        OpenPage();

        QVERIFY(page->RecordTable()->HasRow(vid));
        auto* error = InRow<QLabel>(vid, "errorLabel");
        QVERIFY(!error->isHidden());
        QCOMPARE(error->toolTip().isEmpty() ? error->text() : error->toolTip(), "FileChanage"_s);
        QVERIFY(InRow<QPushButton>(vid, "uploadButton")->isHidden());
        QVERIFY(InRow<QPushButton>(vid, "retryButton")->isHidden());
        QVERIFY(InRow<QLabel>(vid, "timesLabel")->isHidden());
    }

    void asksWhileUploading_data()
    {
        QTest::addColumn<bool>("install");  // the update dialog's install button, else closing the
                                            // main window
        QTest::addColumn<bool>("uploading");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("goesOn");
        for (const bool install : {false, true}) {
            const char* what = install ? "install" : "exit";
            QTest::addRow("%s: idle", what)
                << install << false << int(QDialogButtonBox::Ok) << true;
            QTest::addRow("%s: uploading, cancel", what)
                << install << true << int(QDialogButtonBox::Cancel) << false;
            QTest::addRow("%s: uploading, ok", what)
                << install << true << int(QDialogButtonBox::Ok) << true;
        }
    }

    // Closing the main window and installing an update both ask first while uploads run; exiting
    // then pauses every upload. The installer is a pkexec stand-in whose password dialog was
    // dismissed: the dialog says so, offers the button again, and the program keeps running.
    void asksWhileUploading()
    {
        QFETCH(bool, install);
        QFETCH(bool, uploading);
        QFETCH(int, answer);
        QFETCH(bool, goesOn);
        AccountManager accounts;
        CategoryTreeModel categories;
        VideoTableModel videos(*uploads);
        const AppServices services{*config, *DBManager::instance(), accounts, *uploads, categories,
                                   videos};
        // The window first: its transfer page takes over the upload records it finds at Init.
        QPointer<MainWindow> window = new MainWindow(services);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->Init();
        window->show();
        int asked = 0;
        if (uploading) {
            ModelsPlatform::SetFault("path=/upload/files/,method=PATCH,throttle=65536"_s);
            QVERIFY(!AddUpload("asks.mp4"_s, 4 << 20).isEmpty());
            QVERIFY(uploads->AnyUploading());
            AnswerNextBox(QDialogButtonBox::StandardButton(answer), &asked);
        }
        if (install) {
            UpdateDialog dialog(UpdateDialog::ReadyToInstall, *config, *uploads);
            dialog.show();
            QCOMPARE(dialog.CurrentState(), int(UpdateDialog::ReadyToInstall));
            QTemporaryDir bin;
            QFile pkexec(bin.filePath("pkexec"_s));
            QVERIFY(pkexec.open(QIODevice::WriteOnly));
            pkexec.write("#!/bin/sh\nexit 126\n");
            pkexec.close();
            QVERIFY(pkexec.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            const QByteArray savedPath = qgetenv("PATH");
            qputenv("PATH", QFile::encodeName(bin.path()));
            auto* installButton = Child<QPushButton>(&dialog, "installBtn");
            QTest::mouseClick(installButton, Qt::LeftButton);
            qputenv("PATH", savedPath);
            QCOMPARE(installButton->isEnabled(), !goesOn);  // off while the installer runs
            if (goesOn) {
                QTRY_VERIFY_WITH_TIMEOUT(installButton->isEnabled(), 10000);
                const QString text = Child<QLabel>(&dialog, "installLabel")->text();
                QVERIFY2(text.contains("Authorization was refused."_s), qPrintable(text));
                QCOMPARE(dialog.CurrentState(), int(UpdateDialog::ReadyToInstall));
            }
            QVERIFY(dialog.isVisible());
        } else {
            window->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCOMPARE(window.isNull(), goesOn);
            QCOMPARE(uploads->AnyUploading(), uploading && !goesOn);  // exiting pauses them all
        }
        QCOMPARE(asked, uploading ? 1 : 0);
        delete window;
        // The library page started loading the tree; the models end their tasks before they go,
        // as the application stops them.
        videos.StopAllTasksAndWait();
        categories.StopAllTasksAndWait();
    }

    void postTaskActionAfterQueueFinishes_data()
    {
        QTest::addColumn<int>("choice");
        // "paused": a second upload stays paused in the queue; "cancel": the countdown is
        // cancelled.
        QTest::addColumn<QString>("twist");
        QTest::addColumn<QString>("expectedCall");
        QTest::newRow("sleep") << int(PostTaskMenu::Sleep) << QString() << "Suspend 0"_s;
        QTest::newRow("shut down") << int(PostTaskMenu::Shutdown) << QString() << "PowerOff 0"_s;
        QTest::newRow("nothing") << int(PostTaskMenu::Nothing) << QString() << QString();
        QTest::newRow("sleep, one paused") << int(PostTaskMenu::Sleep) << "paused"_s << QString();
        QTest::newRow("shut down, cancelled")
            << int(PostTaskMenu::Shutdown) << "cancel"_s << QString();
    }

    void postTaskActionAfterQueueFinishes()
    {
        QFETCH(int, choice);
        QFETCH(QString, twist);
        QFETCH(QString, expectedCall);
        if (!logind) {
            QSKIP("dbus-daemon is not installed (package dbus-daemon)");
        }
        const int callsBefore = logind->Calls().size();
        page->PostMenu()->SetChoice(PostTaskMenu::Choice(choice));
        page->PostTask()->SetChoice(PostTaskMenu::Choice(choice));
        if (twist == "cancel"_s) {
            page->PostTask()->SetCountdownSeconds(60);
        }

        // Slow enough to look at the inhibitor while the upload runs.
        ModelsPlatform::SetFault("path=/upload/files/,method=PATCH,throttle=262144"_s);
        if (twist == "paused"_s) {
            uploads->StartTask(AddUpload("paused.mp4"_s, 4 << 20), false);
        }
        QVERIFY(!AddUpload("logind.mp4"_s, 768 * 1024).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(logind->HeldInhibitors(), 1, 5000);
        QVERIFY(power->IsInhibited());
        QVERIFY(logind->Calls().contains("Inhibit sleep Kavro Upload Client uploading block"_s));

        QTRY_COMPARE_WITH_TIMEOUT(page->RecordTable()->Count(), twist == "paused"_s ? 1 : 0, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(logind->HeldInhibitors(), 0, 5000);
        if (twist == "cancel"_s) {
            QTRY_VERIFY_WITH_TIMEOUT(page->PostTask()->CountdownRunning(), 5000);
            auto* dialog = page->findChild<QDialog*>("PostTaskCountdownDialog"_s);
            QVERIFY(dialog);
            QTest::mouseClick(dialog->findChild<QPushButton*>("cancelButton"_s), Qt::LeftButton);
        }
        if (expectedCall.isEmpty()) {
            QTest::qWait(2500);
            QVERIFY(!page->PostTask()->CountdownRunning());
            QCOMPARE(logind->Calls().mid(callsBefore).filter("Suspend"_s).size() +
                         logind->Calls().mid(callsBefore).filter("PowerOff"_s).size(),
                     0);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(logind->Calls().mid(callsBefore).contains(expectedCall), 5000);
        }
    }

private:
    // The transfer page as the application opens it: it restores the unfinished uploads.
    void OpenPage()
    {
        delete page;
        page = new TransferListWidget(*uploads, *DBManager::instance(), *categories, *config,
                                      nullptr, power);
        page->resize(1100, 560);
        page->show();
        page->Init();
    }
    QString File(const QString& name, qint64 size);
    QString AddUpload(const QString& name, qint64 size);
    template <typename T>
    T* InRow(const QString& vid, const char* name) const;

    QTemporaryDir dir;
    Config* config = nullptr;
    ApiCollection::LoginResult login;
    CategoryTreeModel* categories = nullptr;
    QProcess bus;
    QThread serviceThread;
    FakeLogind* logind = nullptr;  // none without dbus-daemon
    SystemPower* power = nullptr;
    SDKManager* uploads = nullptr;
    TransferListWidget* page = nullptr;
    int fileCounter = 0;
};

QString TestTransfer::File(const QString& name, qint64 size)
{
    return MakeFile(QDir(dir.path()), "%1-%2"_s.arg(++fileCounter).arg(name), size);
}

QString TestTransfer::AddUpload(const QString& name, qint64 size)
{
    QSignalSpy appended(uploads, &SDKManager::SignalAppendUpload);
    if (!uploads->AddUpload(1, File(name, size), QString(), QString(), QString(), "Root"_s, 0, 0) ||
        appended.isEmpty()) {
        return QString();
    }
    return appended.last().at(1).value<DBManager::Upload>().vid;
}

template <typename T>
T* TestTransfer::InRow(const QString& vid, const char* name) const
{
    const SharedRecordRowItem row = page->RecordTable()->Row(vid);
    if (!row) {
        return nullptr;
    }
    if (T* inProgress = row->progressWidget->findChild<T*>(QLatin1String(name))) {
        return inProgress;
    }
    return row->operationWidget->findChild<T*>(QLatin1String(name));
}

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
