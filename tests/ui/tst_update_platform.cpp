// The update dialog against a devplatform that offers 2.4.3 with a large installer: the check
// finds the newer version, a download cancelled on its way leaves no installer (not even a
// partial one), a complete download reaches the install page with the whole file, and a check
// against an address that does not answer ends in the failed state.
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/Config.h"
#include "ui/shell/UpdateDialog.h"
#include "upload/SDKManager.h"

class TestUpdatePlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cancelledDownloadLeavesNothing();
    void completeDownloadOffersInstall();
    void unreachableServiceFails();

private:
    void Check(UpdateDialog* dialog, int expected);

    QTemporaryDir dir;
    std::unique_ptr<Config> config;
    QString installer;
};

void TestUpdatePlatform::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString url = qEnvironmentVariable("KAVRO_PLATFORM_URL");
    QVERIFY2(!url.isEmpty(), "run through with-devplatform");
    config = std::make_unique<Config>(dir.filePath(QStringLiteral("global.ini")));
    config->RegisterDefaults();
    Config::SetGlobal(config.get());
    config->SetValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                     qEnvironmentVariable("KAVRO_TEST_CACERT"));
    installer = dir.filePath(QStringLiteral("downloads/KavroUploadClient-Setup.exe"));
    QVERIFY(QDir().mkpath(QFileInfo(installer).path()));
    config->SetValue(QStringLiteral("Custom"), QStringLiteral("package"), installer);
}

void TestUpdatePlatform::init()
{
    config->SetValue(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
                     qEnvironmentVariable("KAVRO_PLATFORM_URL") +
                         QStringLiteral("/api/app/package/version/check"));
    QFile::remove(installer);
}

void TestUpdatePlatform::Check(UpdateDialog* dialog, int expected)
{
    dialog->show();
    dialog->StartCheck();
    QTRY_COMPARE_WITH_TIMEOUT(dialog->CurrentState(), expected, 15000);
}

void TestUpdatePlatform::cancelledDownloadLeavesNothing()
{
    {
        UpdateDialog dialog(UpdateDialog::Checking, *config, *SDKManager::instance());
        Check(&dialog, UpdateDialog::NewVersion);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("updateBtn")),
                          Qt::LeftButton);
        QCOMPARE(dialog.CurrentState(), int(UpdateDialog::Downloading));
        QTRY_VERIFY_WITH_TIMEOUT(dialog.Percent() > 0, 15000);
        QVERIFY(dialog.Percent() < 100);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("downloadPageBtn")),
                          Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }  // the destructor waits for the download to end
    QVERIFY(!QFile::exists(installer));
    const QStringList left = QDir(QFileInfo(installer).path()).entryList(QDir::Files);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
}

void TestUpdatePlatform::completeDownloadOffersInstall()
{
    UpdateDialog dialog(UpdateDialog::Checking, *config, *SDKManager::instance());
    QCOMPARE(dialog.InstallerPath(), installer);
    Check(&dialog, UpdateDialog::NewVersion);
    const QString text = dialog.findChild<QLabel*>(QStringLiteral("newVersionLabel"))->text();
    QVERIFY2(text.contains(QStringLiteral("2.4.3")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("2.4.2")), qPrintable(text));
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("updateBtn")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(dialog.CurrentState(), int(UpdateDialog::ReadyToInstall), 60000);
    QCOMPARE(QFileInfo(installer).size(), qint64(KAVRO_INSTALLER_SIZE));

    // The package installer refuses (a pkexec stand-in whose password dialog was dismissed):
    // the dialog says so, offers the button again, and the program keeps running.
    QTemporaryDir bin;
    QFile pkexec(bin.filePath(QStringLiteral("pkexec")));
    QVERIFY(pkexec.open(QIODevice::WriteOnly));
    pkexec.write("#!/bin/sh\nexit 126\n");
    pkexec.close();
    QVERIFY(pkexec.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    auto* install = dialog.findChild<QPushButton*>(QStringLiteral("installBtn"));
    auto* label = dialog.findChild<QLabel*>(QStringLiteral("installLabel"));
    QVERIFY(install && label);
    QTest::mouseClick(install, Qt::LeftButton);
    qputenv("PATH", savedPath);
    QTRY_VERIFY_WITH_TIMEOUT(install->isEnabled(), 10000);
    QTest::qWait(100);
    QVERIFY2(label->text().contains(QStringLiteral("Authorization was refused.")),
             qPrintable(label->text()));
    QCOMPARE(dialog.CurrentState(), int(UpdateDialog::ReadyToInstall));
}

void TestUpdatePlatform::unreachableServiceFails()
{
    // A port on which nothing listens (the discard port).
    config->SetValue(QStringLiteral("Custom"), QStringLiteral("updateUrl"),
                     QStringLiteral("https://127.0.0.1:9/api/app/package/version/check"));
    UpdateDialog dialog(UpdateDialog::Checking, *config, *SDKManager::instance());
    Check(&dialog, UpdateDialog::CheckFailedState);
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("checkPageBtn"))->text(),
             QStringLiteral("recheck"));
}

QTEST_MAIN(TestUpdatePlatform)
#include "tst_update_platform.moc"
