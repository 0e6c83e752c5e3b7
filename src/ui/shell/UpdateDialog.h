#pragma once

#include <QDialog>
#include <QFutureWatcher>

#include "platform/PackageInstaller.h"

class Config;
class QLabel;
class QMovie;
class QProgressBar;
class QPushButton;
class SDKManager;
class QStackedWidget;
class QTextBrowser;
class TitleBar;

// Finds, downloads and starts a newer client. States (page and button meaning):
//   Checking 0 -> UpToDate 1 | CheckFailed 2 | NewVersion 3   (a check result r gives r + 1)
//   NewVersion -> Downloading 4 -> DownloadFailed 5 | ReadyToInstall 6
//   CheckFailed -> Checking (recheck), DownloadFailed -> Downloading (retry)
// The check and the download (the web API client's) run on pool threads; their abort flags are
// written here and read by the workers.
class UpdateDialog : public QDialog
{
    Q_OBJECT

public:
    enum State
    {
        Checking = 0,
        UpToDate = 1,
        CheckFailedState = 2,
        NewVersion = 3,
        Downloading = 4,
        DownloadFailed = 5,
        ReadyToInstall = 6,
    };

    // The newest release as the last successful check reported it.
    struct Release
    {
        QString version;
        QString description;
        QString downloadUrl;
    };

    // config names the installer package; uploads answers whether installing interrupts
    // running uploads.
    UpdateDialog(int state, Config& config, SDKManager& uploads, QWidget* parent = nullptr);
    ~UpdateDialog() override;

    // Creates a modal dialog in the state for a check result (ApiCollection::CheckVersionResult,
    // state result + 1) and runs it.
    static int ShowUpdateDialog(int result, Config& config, SDKManager& uploads, QWidget* parent);

    void StartCheck();
    int CurrentState() const { return state; }
    QString InstallerPath() const { return installerPath; }
    int Percent() const { return percent; }

signals:
    void SignalDownloadProgress(qlonglong downloadedBytes, qlonglong totalBytes);
    void SignalDownloadSucceed();
    void SignalDownloadFailed();

public slots:
    void SlotSetDownloadPercent(int percent);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildPages();
    void SetState(int newState);
    void OnCheckPageButton();
    void OnDownloadPageButton();
    void StartDownload();
    void Install();
    void OnInstallFinished(int outcome, const QString& detail);
    void Repolish(QWidget* widget);

    Config& config;
    SDKManager& uploads;
    int state = Checking;
    int percent = 0;
    bool checkAbort = false;
    bool downloadCancel = false;
    QString installerPath;
    QFutureWatcher<int> checkWatcher;
    QFutureWatcher<void> downloadWatcher;
    PackageInstaller installer;

    TitleBar* titleBar = nullptr;
    QStackedWidget* stack = nullptr;
    QWidget* checkPage = nullptr;
    QLabel* checkIcon = nullptr;
    QLabel* loadingLabel = nullptr;
    QMovie* loadingMovie = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* remarkLabel = nullptr;
    QPushButton* checkPageBtn = nullptr;
    QWidget* updateInfoPage = nullptr;
    QLabel* newVersionLabel = nullptr;
    QTextBrowser* descriptionBrowser = nullptr;
    QPushButton* updateBtn = nullptr;
    QWidget* downloadPage = nullptr;
    QLabel* progressLabel = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* downloadPageBtn = nullptr;
    QWidget* installPage = nullptr;
    QLabel* installLabel = nullptr;
    QPushButton* installBtn = nullptr;
    QPushButton* installCancelBtn = nullptr;
};
