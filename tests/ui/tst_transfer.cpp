// The upload dialog and the transfer page against the devplatform with the real upload library:
// adding files, confirming into the queue, the row and page buttons, the header's figures,
// history paging and an upload whose file changed.
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "TransferTestPlatform.h"
#include "models/UploadTableModel.h"
#include "platform/SystemPower.h"
#include "ui/common/Toast.h"
#include "ui/transfer/HistoryTableWidget.h"
#include "ui/transfer/OperationWidget.h"
#include "ui/transfer/ProgressWidget.h"
#include "ui/transfer/RecordTableWidget.h"
#include "ui/transfer/TransferListWidget.h"
#include "ui/transfer/UploadDialog.h"
#include "upload/SDKUploadTask.h"

using namespace TransferTestPlatform;

class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void addFiles_data();
    void addFiles();
    void emojiTitleBlocksConfirmation();
    void confirmQueuesUploadsThatFinish();
    void manyFilesAtOnceKeepOrderAndBuildInSlices();
    void rowButtonsPauseResumeRetryCancel();
    void startAllAndSuspendAll();
    void speedTexts_data();
    void speedTexts();
    void headerFollowsTheQueue();
    void historyPagesOnScroll();
    void invalidRowAfterFileChanged();

private:
    QString File(const QString& name, qint64 size);
    QString AddUpload(const QString& name, qint64 size);
    SharedRecordRowItem Row(const QString& vid) const;
    template <typename T>
    T* InRow(const QString& vid, const char* name) const;
    void AcceptNextMessageBox();

    QTemporaryDir dir;
    Config* config = nullptr;
    ApiCollection::LoginResult login;
    CategoryTreeModel* categories = nullptr;
    SystemPower* power = nullptr;
    SDKManager* uploads = nullptr;
    TransferListWidget* page = nullptr;
    int fileCounter = 0;
};

void TestTransfer::cleanupTestCase()
{
    // The pool threads end before the process does, and with them the TLS library's
    // per-thread state (else the leak checker of the sanitized suite reports it).
    QThreadPool::globalInstance()->waitForDone();
}

void TestTransfer::initTestCase()
{
    curl_global_init(CURL_GLOBAL_ALL);
    QVERIFY(Start(dir, &config, &login));
    uploads = SDKManager::instance();
    categories = new CategoryTreeModel(this);
    QVERIFY(LoadCategories(*categories));
    // No bus: the page's inhibitor requests fail quietly instead of reaching the machine's.
    power = new SystemPower(QDBusConnection(QStringLiteral("kavro-no-bus")), this);
}

void TestTransfer::init()
{
    QVERIFY(InitLibrary(login));
    uploads->SetAutoStart(true);
    uploads->SetMaxTasks(3);
    uploads->SetSpeedLimit(0);
    page = new TransferListWidget(*uploads, *DBManager::instance(), *categories, *config, nullptr,
                                  power);
    page->resize(1100, 560);
    page->show();
    page->Init();
}

void TestTransfer::cleanup()
{
    delete page;
    page = nullptr;
    ModelsPlatform::SetFault(QString());
    uploads->Release();
    DBManager::instance()->RemoveAllUploads();
    DBManager::instance()->RemoveAllHistories(false);
}

QString TestTransfer::File(const QString& name, qint64 size)
{
    return MakeFile(QDir(dir.path()), QStringLiteral("%1-%2").arg(++fileCounter).arg(name), size);
}

QString TestTransfer::AddUpload(const QString& name, qint64 size)
{
    QSignalSpy appended(uploads, &SDKManager::SignalAppendUpload);
    if (!uploads->AddUpload(1, File(name, size), QString(), QString(), QString(),
                            QStringLiteral("Root"), 0, 0) ||
        appended.isEmpty()) {
        return QString();
    }
    return appended.last().at(1).value<DBManager::Upload>().vid;
}

SharedRecordRowItem TestTransfer::Row(const QString& vid) const
{
    return page->RecordTable()->Row(vid);
}

template <typename T>
T* TestTransfer::InRow(const QString& vid, const char* name) const
{
    const SharedRecordRowItem row = Row(vid);
    if (!row) {
        return nullptr;
    }
    if (T* inProgress = row->progressWidget->findChild<T*>(QLatin1String(name))) {
        return inProgress;
    }
    return row->operationWidget->findChild<T*>(QLatin1String(name));
}

void TestTransfer::AcceptNextMessageBox()
{
    QTimer::singleShot(200, this, [] {
        QWidget* box = QApplication::activeModalWidget();
        auto* buttons = box ? box->findChild<QDialogButtonBox*>() : nullptr;
        QVERIFY(buttons);
        buttons->button(QDialogButtonBox::Ok)->click();
    });
}

void TestTransfer::addFiles_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("toastNames");
    QTest::addColumn<bool>("flickers");
    QTest::addColumn<int>("titleLength");

    QTest::newRow("upper-case suffix")
        << QStringList{QStringLiteral("CLIP.MP4")} << 1 << QString() << false << 4;
    QTest::newRow("text file") << QStringList{QStringLiteral("clip.mp4"),
                                              QStringLiteral("notes.txt")}
                               << 1 << QStringLiteral("notes.txt") << false << 4;
    QTest::newRow("same file twice")
        << QStringList{QStringLiteral("a.mkv"), QStringLiteral("a.mkv")} << 1 << QString() << true
        << 1;
    QTest::newRow("long name") << QStringList{QString(240, QLatin1Char('v')) +
                                              QStringLiteral(".mp3")}
                               << 1 << QString() << false << UploadTableModel::kMaxTitleLength;
}

void TestTransfer::addFiles()
{
    QFETCH(QStringList, names);
    QFETCH(int, rows);
    QFETCH(QString, toastNames);
    QFETCH(bool, flickers);
    QFETCH(int, titleLength);

    QStringList paths;
    QSet<QString> made;
    for (const QString& name : names) {
        if (!made.contains(name)) {
            made.insert(name);
            QDir(dir.path()).mkpath(QString::number(++fileCounter));
            paths << MakeFile(QDir(dir.filePath(QString::number(fileCounter))), name, 1024);
        } else {
            paths << paths.last();
        }
    }
    UploadDialog* dialog = page->OpenUploadDialog();
    QVERIFY(!dialog->findChild<QPushButton*>(QStringLiteral("confirmButton"))->isEnabled());
    dialog->AddFiles(paths);

    QCOMPARE(dialog->Model()->rowCount(), rows);
    QVERIFY(dialog->findChild<QPushButton*>(QStringLiteral("confirmButton"))->isEnabled());
    const QModelIndex first = dialog->Model()->index(0, UploadTableModel::Title);
    QCOMPARE(first.data().toString().size(), titleLength);
    Toast* toast = dialog->findChild<Toast*>();
    QCOMPARE(toast != nullptr, !toastNames.isEmpty());
    if (toast) {
        QVERIFY2(toast->Text().contains(toastNames), qPrintable(toast->Text()));
        QVERIFY(!toast->Text().contains(QStringLiteral(".mp4")));
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

void TestTransfer::emojiTitleBlocksConfirmation()
{
    UploadDialog* dialog = page->OpenUploadDialog();
    dialog->AddFiles({File(QStringLiteral("emoji.mp4"), 4096)});
    dialog->Model()->setData(dialog->Model()->index(0, 0), QStringLiteral("lesson \U0001F600"),
                             UploadTableModel::Role(UploadTableModel::DataRole::Title));
    dialog->SlotConfirmUpload();
    QVERIFY(dialog->isVisible());
    Toast* toast = dialog->findChild<Toast*>();
    QVERIFY(toast);
    QCOMPARE(toast->Text(), QStringLiteral("UploadDialog.InvalidParam"));
    QCOMPARE(uploads->TaskCount(), 0);
    dialog->close();
}

void TestTransfer::confirmQueuesUploadsThatFinish()
{
    QSignalSpy jump(page, &TransferListWidget::SignalJumpToTransferList);
    UploadDialog* dialog = page->OpenUploadDialog();
    dialog->SetCategory(categories->TopCateId());
    dialog->AddFiles({File(QStringLiteral("one.mp4"), 300 * 1024 + 7),
                      File(QStringLiteral("two.wav"), 200 * 1024 + 3)});
    dialog->Model()->setData(dialog->Model()->index(1, 0), QStringLiteral("第二个文件"),
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
                      ->findChild<QLabel*>(QStringLiteral("nameLabel"))
                      ->property("originalText")
                      .toString();
    }
    QVERIFY2(titles.contains(QStringLiteral("第二个文件")),
             qPrintable(titles.join(QLatin1Char(','))));
    QCOMPARE(page->HistoryTable()->item(0, 3)->text(), QStringLiteral("UploadSuccess"));
    QVERIFY(DBManager::instance()->GetUploads().isEmpty());
}

void TestTransfer::manyFilesAtOnceKeepOrderAndBuildInSlices()
{
    uploads->SetMaxTasks(0);
    const int count = RecordTableWidget::kRowsAtOnce + 15;
    QVector<DBManager::Upload> files;
    for (int i = 0; i < count; ++i) {
        DBManager::Upload file;
        file.cateId = 1;
        file.fileName = File(QStringLiteral("batch-%1.mp4").arg(i, 2, 10, QLatin1Char('0')), 2048);
        files << file;
    }
    files << files.first();  // queued a moment ago: announced, not added
    files << files.last();
    files.last().fileName = dir.filePath(QStringLiteral("missing.mp4"));
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
        QCOMPARE(InRow<QLabel>(vid, "stateLabel")->text(), QStringLiteral("Pause"));
        QVERIFY(!InRow<QPushButton>(vid, "uploadButton")->isChecked());
    }
}

void TestTransfer::rowButtonsPauseResumeRetryCancel()
{
    ModelsPlatform::SetFault(QStringLiteral("path=/upload/files/,method=PATCH,throttle=65536"));
    const QString vid = AddUpload(QStringLiteral("buttons.mp4"), 4 << 20);
    QVERIFY(!vid.isEmpty());
    const SharedUploadTaskPtr task = uploads->Task(vid);
    QCOMPARE(task->Status(), int(Uploading));
    auto* upload = InRow<QPushButton>(vid, "uploadButton");
    auto* retry = InRow<QPushButton>(vid, "retryButton");
    auto* state = InRow<QLabel>(vid, "stateLabel");
    QVERIFY(upload && retry && state);
    QVERIFY(upload->isChecked());

    QTest::mouseClick(upload, Qt::LeftButton);
    QCOMPARE(task->Status(), int(Paused));
    QCOMPARE(state->text(), QStringLiteral("Pause"));
    QVERIFY(!upload->isChecked());
    QTest::mouseClick(upload, Qt::LeftButton);
    QCOMPARE(task->Status(), int(Uploading));

    // A failure (the file went away) offers retry instead of the toggle.
    const QString path = task->Record().fileName;
    QTest::mouseClick(upload, Qt::LeftButton);
    QVERIFY(QFile::rename(path, path + QStringLiteral(".aside")));
    QTest::mouseClick(upload, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(task->Status(), int(Failed), 20000);
    QTRY_VERIFY(!retry->isHidden());
    QVERIFY(upload->isHidden());
    auto* error = InRow<QLabel>(vid, "errorLabel");
    QCOMPARE(error->toolTip().isEmpty() ? error->text() : error->toolTip(),
             QStringLiteral("SdkCodeMsg.NoFile"));
    QVERIFY(QFile::rename(path + QStringLiteral(".aside"), path));
    QTest::mouseClick(retry, Qt::LeftButton);
    QCOMPARE(task->Status(), int(Uploading));
    QVERIFY(retry->isHidden());
    QVERIFY(!upload->isHidden());

    // Cancel asks first, then the row and the record go.
    AcceptNextMessageBox();
    QTest::mouseClick(InRow<QPushButton>(vid, "deleteButton"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!page->RecordTable()->HasRow(vid), 20000);
    QTRY_VERIFY(DBManager::instance()->GetUploads().isEmpty());
}

void TestTransfer::startAllAndSuspendAll()
{
    ModelsPlatform::SetFault(QStringLiteral("path=/upload/files/,method=PATCH,throttle=65536"));
    const QStringList vids{AddUpload(QStringLiteral("all-1.mp4"), 4 << 20),
                           AddUpload(QStringLiteral("all-2.mp4"), 4 << 20)};
    auto* all = page->findChild<QPushButton*>(QStringLiteral("allOperationBtn"));
    QVERIFY(all->isChecked());
    QCOMPARE(all->text(), QStringLiteral("SuspendAll"));
    QTest::mouseClick(all, Qt::LeftButton);
    for (const QString& vid : vids) {
        QCOMPARE(uploads->Task(vid)->Status(), int(Paused));
    }
    QVERIFY(!all->isChecked());
    QCOMPARE(all->text(), QStringLiteral("StartAll"));
    QTest::mouseClick(all, Qt::LeftButton);
    for (const QString& vid : vids) {
        QCOMPARE(uploads->Task(vid)->Status(), int(Uploading));
        QVERIFY(InRow<QPushButton>(vid, "uploadButton")->isChecked());
    }
    QVERIFY(all->isChecked());
}

void TestTransfer::speedTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("row 1536 KB/s") << ProgressWidget::SpeedText(1536) << "1.50MB/S";
    QTest::newRow("row 512 KB/s") << ProgressWidget::SpeedText(512) << "512KB/S";
    QTest::newRow("header 512 KB/s") << RecordTableWidget::TotalSpeedText(512) << "512.00KB/S";
    QTest::newRow("header 2048 KB/s") << RecordTableWidget::TotalSpeedText(2048) << "2.00MB/S";
    QTest::newRow("header nothing moves") << RecordTableWidget::TotalSpeedText(0) << "0KB/S";
    QTest::newRow("3725 s left") << ProgressWidget::TimeLeftText(3725LL * 100 * 1024, 100)
                                 << "01:02:05";
    QTest::newRow("5 s left") << ProgressWidget::TimeLeftText(5 * 1024 + 1000, 1) << "00:00:05";
    QTest::newRow("a day left") << ProgressWidget::TimeLeftText(86400LL * 1024, 1) << "OverOneDay";
    QTest::newRow("no speed") << ProgressWidget::TimeLeftText(1024, 0) << "OverOneDay";
    QTest::newRow("window of 5") << QString::number(
                                        ProgressWidget::WindowSpeed({1024, 2048, 3072, 4096, 5120}))
                                 << "3";
}

void TestTransfer::speedTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void TestTransfer::headerFollowsTheQueue()
{
    // Nothing may run: the header shows the waiting queue at 0KB/S.
    uploads->SetMaxTasks(0);
    const QString waiting = AddUpload(QStringLiteral("header-wait.mp4"), 2 << 20);
    QCOMPARE(uploads->Task(waiting)->Status(), int(Waiting));
    QTRY_COMPARE_WITH_TIMEOUT(page->TotalSpeedText(), QStringLiteral("0KB/S"), 3000);

    // Running under the platform's throttle: a real speed, percentage and time left.
    ModelsPlatform::SetFault(QStringLiteral("path=/upload/files/,method=PATCH,throttle=262144"));
    uploads->SetMaxTasks(3);
    const QRegularExpression speed(QStringLiteral("^\\d+\\.\\d\\d(KB|MB)/S$"));
    QTRY_VERIFY_WITH_TIMEOUT(speed.match(page->TotalSpeedText()).hasMatch() &&
                                 page->TotalSpeedText() != QStringLiteral("0.00KB/S"),
                             10000);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\d%$"))
                .match(page->TotalPercentText())
                .hasMatch());
    auto* times = InRow<QLabel>(waiting, "timesLabel");
    QTRY_VERIFY_WITH_TIMEOUT(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                                 .match(times->text())
                                 .hasMatch(),
                             8000);
    const SharedRecordRowItem row = Row(waiting);
    QVERIFY(row->progressWidget->SpeedKBps() > 0);

    // Paused: nothing waits or runs, the speed text is empty and the progress stays.
    uploads->PauseAll();
    QTRY_COMPARE_WITH_TIMEOUT(page->TotalSpeedText(), QString(), 3000);
    QVERIFY(!page->TotalPercentText().isEmpty());
    // The saved progress follows every third tick.
    QTRY_VERIFY_WITH_TIMEOUT(DBManager::instance()->GetUploads().value(0).uploadBytes > 0, 5000);
}

void TestTransfer::historyPagesOnScroll()
{
    DBManager* database = DBManager::instance();
    for (int i = 0; i < 45; ++i) {
        DBManager::History record;
        record.vid = QStringLiteral("hist%1").arg(i, 3, 10, QLatin1Char('0'));
        record.fileName = dir.filePath(record.vid + QStringLiteral(".mp4"));
        record.titleName = QStringLiteral("history %1").arg(i);
        record.fileSize = QStringLiteral("1.00 MB");
        record.fileStatus = QStringLiteral("UploadSuccess");
        record.updateTS = 1700000000 + i;
        QVERIFY(database->AddHistory(record, false));
    }
    delete page;
    page = new TransferListWidget(*uploads, *database, *categories, *config, nullptr, power);
    page->resize(1100, 560);
    page->show();
    page->Init();
    page->ShowFinishedTab();
    HistoryTableWidget* table = page->HistoryTable();
    QCOMPARE(table->Count(), 20);
    QCOMPARE(
        table->item(0, 2)->text(),
        QDateTime::fromSecsSinceEpoch(1700000044).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    for (int expected : {40, 45, 45}) {
        QTRY_VERIFY(table->verticalScrollBar()->isVisible() &&
                    table->verticalScrollBar()->maximum() > 0);
        table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
        QCOMPARE(table->Count(), expected);
    }
    QVERIFY(!table->HasMorePages());
    // One record removed from its row's clean-up button leaves the table and the database.
    auto* cleanup =
        table->cellWidget(0, 4)->findChild<QPushButton*>(QStringLiteral("cleanupButton"));
    QTest::mouseClick(cleanup, Qt::LeftButton);
    QCOMPARE(table->Count(), 44);
    QCOMPARE(database->GetHistoryCount(), 44);
}

void TestTransfer::invalidRowAfterFileChanged()
{
    uploads->SetAutoStart(false);
    const QString vid = AddUpload(QStringLiteral("changed.mp4"), 1 << 20);
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
    page = new TransferListWidget(*uploads, *DBManager::instance(), *categories, *config, nullptr,
                                  power);
    page->show();
    page->Init();

    QVERIFY(page->RecordTable()->HasRow(vid));
    QCOMPARE(uploads->Task(vid)->Status(), int(Invalid));
    auto* error = InRow<QLabel>(vid, "errorLabel");
    QVERIFY(!error->isHidden());
    QCOMPARE(error->toolTip().isEmpty() ? error->text() : error->toolTip(),
             QStringLiteral("FileChanage"));
    QVERIFY(InRow<QPushButton>(vid, "uploadButton")->isHidden());
    QVERIFY(InRow<QPushButton>(vid, "retryButton")->isHidden());
    QVERIFY(InRow<QLabel>(vid, "timesLabel")->isHidden());
}

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
