#pragma once

#include <functional>

#include <QDialog>
#include <QFutureWatcher>

class QLabel;
class QMovie;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTextBrowser;
class TitleBar;

// Finds, downloads and starts a newer client. States (page and button meaning):
//   Checking 0 -> UpToDate 1 | CheckFailed 2 | NewVersion 3   (a check result r gives r + 1)
//   NewVersion -> Downloading 4 -> DownloadFailed 5 | ReadyToInstall 6
//   CheckFailed -> Checking (recheck), DownloadFailed -> Downloading (retry)
// The check and the download run on pool threads; their abort flags are written here and read
// by the workers.
class UpdateDialog : public QDialog
{
    Q_OBJECT

public:
    enum CheckVersionResult
    {
        AlreadyUpToDate = 0,
        CheckFailed = 1,
        HasNewerVersion = 2
    };
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

    // The pieces of the web API client this dialog runs; handed in once by the application.
    struct Backend
    {
        // The whole version check (runs on a pool thread), polling *abort.
        std::function<CheckVersionResult(bool* abort)> checkVersion;
        // The release stored by the last successful check.
        std::function<Release()> latestRelease;
        // Downloads url into path (complete file or none), reporting (done, total) and polling
        // *cancel; returns an empty text on success, else the error's name.
        std::function<QString(const QString& url, const QString& path,
                              std::function<void(qint64, qint64)> progress, bool* cancel)>
            download;
        // Starts the installer detached.
        std::function<bool(const QString& path)> startInstaller;
    };
    // The backend in use; starts as DefaultBackend().
    static Backend& GetBackend();
    // The web API client's update check, release record and multi-download, and a detached
    // start of the installer.
    static Backend DefaultBackend();

    explicit UpdateDialog(int state, QWidget* parent = nullptr);
    ~UpdateDialog() override;

    // Creates a modal dialog in the state for result (result + 1) and runs it.
    static int ShowUpdateDialog(int result, QWidget* parent);

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
    void Repolish(QWidget* widget);

    int state = Checking;
    int percent = 0;
    bool checkAbort = false;
    bool downloadCancel = false;
    QString installerPath;
    QFutureWatcher<int> checkWatcher;
    QFutureWatcher<void> downloadWatcher;

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
