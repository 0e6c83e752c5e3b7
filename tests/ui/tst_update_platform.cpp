// The update dialog against a devplatform that offers 2.4.3 with a large installer: the check
// finds the newer version, a download cancelled on its way leaves no installer (not even a
// partial one), and a complete download reaches the install page with the whole file. The
// other ends of a check: tst_shell; the install button: tst_transfer.
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include "app/Config.h"
#include "common/TestLiterals.h"
#include "ui/shell/UpdateDialog.h"
#include "upload/SDKManager.h"

class TestUpdatePlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString url = qEnvironmentVariable("KAVRO_PLATFORM_URL");
        QVERIFY2(!url.isEmpty(), "run through with-devplatform");
        config = std::make_unique<Config>(dir.filePath("global.ini"_s));
        config->RegisterDefaults();
        Config::SetGlobal(config.get());
        config->SetValue("NetWorkManager"_s, "customSSLCacert"_s,
                         qEnvironmentVariable("KAVRO_TEST_CACERT"));
        installer = dir.filePath("downloads/KavroUploadClient-Setup.exe"_s);
        QVERIFY(QDir().mkpath(QFileInfo(installer).path()));
        config->SetValue("Custom"_s, "package"_s, installer);
        config->SetValue("Custom"_s, "updateUrl"_s, url + "/api/app/package/version/check"_s);
    }

    // The pool threads that ran the check and the downloads end before the process does, and
    // with them the TLS library's per-thread state (else the sanitized suite reports it).
    void cleanupTestCase() { QThreadPool::globalInstance()->waitForDone(); }

    void init() { QFile::remove(installer); }

    void cancelledDownloadLeavesNothing()
    {
        {
            UpdateDialog dialog(UpdateDialog::Checking, *config, *SDKManager::instance());
            Check(&dialog, UpdateDialog::NewVersion);
            QTest::mouseClick(dialog.findChild<QPushButton*>("updateBtn"_s), Qt::LeftButton);
            QCOMPARE(dialog.CurrentState(), int(UpdateDialog::Downloading));
            QTRY_VERIFY_WITH_TIMEOUT(dialog.Percent() > 0, 15000);
            QVERIFY(dialog.Percent() < 100);
            QTest::mouseClick(dialog.findChild<QPushButton*>("downloadPageBtn"_s), Qt::LeftButton);
            QVERIFY(!dialog.isVisible());
        }  // the destructor waits for the download to end
        QVERIFY(!QFile::exists(installer));
        const QStringList left = QDir(QFileInfo(installer).path()).entryList(QDir::Files);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }

    void completeDownloadOffersInstall()
    {
        UpdateDialog dialog(UpdateDialog::Checking, *config, *SDKManager::instance());
        Check(&dialog, UpdateDialog::NewVersion);
        const QString text = dialog.findChild<QLabel*>("newVersionLabel"_s)->text();
        QVERIFY2(text.contains("2.4.3"_s), qPrintable(text));
        QVERIFY2(text.contains("2.4.2"_s), qPrintable(text));
        QCOMPARE(dialog.findChild<QStackedWidget*>()->currentWidget()->objectName(),
                 "updateInfoPage"_s);
        QTest::mouseClick(dialog.findChild<QPushButton*>("updateBtn"_s), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.CurrentState(), int(UpdateDialog::ReadyToInstall), 60000);
        QCOMPARE(QFileInfo(installer).size(), qint64(KAVRO_INSTALLER_SIZE));
    }

private:
    void Check(UpdateDialog* dialog, int expected);

    QTemporaryDir dir;
    std::unique_ptr<Config> config;
    QString installer;
};

void TestUpdatePlatform::Check(UpdateDialog* dialog, int expected)
{
    dialog->show();
    dialog->StartCheck();
    QTRY_COMPARE_WITH_TIMEOUT(dialog->CurrentState(), expected, 15000);
}

QTEST_MAIN(TestUpdatePlatform)
#include "tst_update_platform.moc"
