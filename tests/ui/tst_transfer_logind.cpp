// The post-task action and the sleep inhibitor against a fake logind: the test starts its own
// session bus (dbus-daemon), serves org.freedesktop.login1 on it from a second thread, and
// points the page's SystemPower at that bus. Uploads are real, against the devplatform.
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusUnixFileDescriptor>
#include <QDialog>
#include <QMutex>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include "TransferTestPlatform.h"
#include "platform/SystemPower.h"
#include "ui/transfer/PostTaskController.h"
#include "ui/transfer/PostTaskMenu.h"
#include "ui/transfer/RecordTableWidget.h"
#include "ui/transfer/TransferListWidget.h"

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
        calls << QStringLiteral("Inhibit %1 %2 %3 %4").arg(what, who, why, mode);
        readEnds << fds[0];
        QDBusUnixFileDescriptor handed(fds[1]);  // a duplicate travels in the reply
        ::close(fds[1]);
        return handed;
    }
    void Suspend(bool interactive)
    {
        QMutexLocker lock(&mutex);
        calls << QStringLiteral("Suspend %1").arg(interactive);
    }
    void PowerOff(bool interactive)
    {
        QMutexLocker lock(&mutex);
        calls << QStringLiteral("PowerOff %1").arg(interactive);
    }

private:
    QMutex mutex;
    QStringList calls;
    QList<int> readEnds;
};

class TestTransferLogind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void postTaskActionAfterQueueFinishes_data();
    void postTaskActionAfterQueueFinishes();
    void nothingWhileAnUploadIsPaused();
    void countdownCanBeCancelled();

private:
    QString AddUpload(qint64 size);

    QTemporaryDir dir;
    Config* config = nullptr;
    ApiCollection::LoginResult login;
    CategoryTreeModel* categories = nullptr;
    QProcess bus;
    QThread serviceThread;
    FakeLogind* logind = nullptr;
    SystemPower* power = nullptr;
    SDKManager* uploads = nullptr;
    TransferListWidget* page = nullptr;
    int fileCounter = 0;
};

void TestTransferLogind::initTestCase()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        QSKIP("dbus-daemon is not installed (package dbus-daemon)");
    }
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address")});
    QVERIFY(bus.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 10000);
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    QVERIFY(!address.isEmpty());

    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("fake-logind"));
    QVERIFY2(service.isConnected(), qPrintable(service.lastError().message()));
    logind = new FakeLogind;
    logind->moveToThread(&serviceThread);
    serviceThread.start();
    QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/login1"), logind,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService(QStringLiteral("org.freedesktop.login1")));
    QDBusConnection client = QDBusConnection::connectToBus(address, QStringLiteral("client"));
    QVERIFY(client.isConnected());
    power = new SystemPower(client, this);

    curl_global_init(CURL_GLOBAL_ALL);
    QVERIFY(Start(dir, &config, &login));
    uploads = SDKManager::instance();
    categories = new CategoryTreeModel(this);
    QVERIFY(LoadCategories(*categories));
}

void TestTransferLogind::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-logind"));
    serviceThread.quit();
    serviceThread.wait();
    delete logind;
    bus.terminate();
    bus.waitForFinished();
    // The pool threads end before the process does, and with them the TLS library's
    // per-thread state (else the leak checker of the sanitized suite reports it).
    QThreadPool::globalInstance()->waitForDone();
}

void TestTransferLogind::init()
{
    QVERIFY(InitLibrary(login));
    uploads->SetAutoStart(true);
    uploads->SetMaxTasks(3);
    page = new TransferListWidget(*uploads, *DBManager::instance(), *categories, *config, nullptr,
                                  power);
    page->resize(1100, 560);
    page->show();
    page->Init();
    page->PostTask()->SetCountdownSeconds(1);
}

void TestTransferLogind::cleanup()
{
    delete page;
    page = nullptr;
    ModelsPlatform::SetFault(QString());
    uploads->Release();
    DBManager::instance()->RemoveAllUploads();
    DBManager::instance()->RemoveAllHistories(false);
    power->SetInhibited(false);
}

QString TestTransferLogind::AddUpload(qint64 size)
{
    QSignalSpy appended(uploads, &SDKManager::SignalAppendUpload);
    const QString path =
        MakeFile(QDir(dir.path()), QStringLiteral("logind-%1.mp4").arg(++fileCounter), size);
    if (!uploads->AddUpload(1, path, QString(), QString(), QString(), QStringLiteral("Root"), 0,
                            0) ||
        appended.isEmpty()) {
        return QString();
    }
    return appended.last().at(1).value<DBManager::Upload>().vid;
}

void TestTransferLogind::postTaskActionAfterQueueFinishes_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("expectedCall");
    QTest::newRow("sleep") << int(PostTaskMenu::Sleep) << QStringLiteral("Suspend 0");
    QTest::newRow("shut down") << int(PostTaskMenu::Shutdown) << QStringLiteral("PowerOff 0");
    QTest::newRow("nothing") << int(PostTaskMenu::Nothing) << QString();
}

void TestTransferLogind::postTaskActionAfterQueueFinishes()
{
    QFETCH(int, choice);
    QFETCH(QString, expectedCall);
    const int callsBefore = logind->Calls().size();
    page->PostMenu()->SetChoice(PostTaskMenu::Choice(choice));
    page->PostTask()->SetChoice(PostTaskMenu::Choice(choice));

    // Slow enough to look at the inhibitor while the upload runs.
    ModelsPlatform::SetFault(QStringLiteral("path=/upload/files/,method=PATCH,throttle=262144"));
    QVERIFY(!AddUpload(768 * 1024).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(logind->HeldInhibitors(), 1, 5000);
    QVERIFY(power->IsInhibited());
    QVERIFY(logind->Calls().contains(
        QStringLiteral("Inhibit sleep Kavro Upload Client uploading block")));

    QTRY_COMPARE_WITH_TIMEOUT(page->RecordTable()->Count(), 0, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(logind->HeldInhibitors(), 0, 5000);
    if (expectedCall.isEmpty()) {
        QTest::qWait(2500);
        QCOMPARE(logind->Calls().mid(callsBefore).filter(QStringLiteral("Suspend")).size() +
                     logind->Calls().mid(callsBefore).filter(QStringLiteral("PowerOff")).size(),
                 0);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(logind->Calls().mid(callsBefore).contains(expectedCall), 5000);
    }
}

void TestTransferLogind::nothingWhileAnUploadIsPaused()
{
    page->PostTask()->SetChoice(PostTaskMenu::Sleep);
    const int callsBefore = logind->Calls().size();
    const QString paused = AddUpload(4 << 20);
    QVERIFY(!AddUpload(64 * 1024).isEmpty());
    uploads->StartTask(paused, false);
    QTRY_COMPARE_WITH_TIMEOUT(page->RecordTable()->Count(), 1, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(logind->HeldInhibitors(), 0, 5000);
    QTest::qWait(2500);
    QVERIFY(!page->PostTask()->CountdownRunning());
    QVERIFY(!logind->Calls().mid(callsBefore).contains(QStringLiteral("Suspend 0")));
}

void TestTransferLogind::countdownCanBeCancelled()
{
    page->PostTask()->SetCountdownSeconds(60);
    page->PostTask()->SetChoice(PostTaskMenu::Shutdown);
    const int callsBefore = logind->Calls().size();
    QVERIFY(!AddUpload(64 * 1024).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(page->PostTask()->CountdownRunning(), 30000);
    auto* dialog = page->findChild<QDialog*>(QStringLiteral("PostTaskCountdownDialog"));
    QVERIFY(dialog);
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                      Qt::LeftButton);
    QTRY_VERIFY(!page->PostTask()->CountdownRunning());
    QCOMPARE(logind->Calls().mid(callsBefore).filter(QStringLiteral("PowerOff")).size(), 0);
}

QTEST_MAIN(TestTransferLogind)
#include "tst_transfer_logind.moc"
