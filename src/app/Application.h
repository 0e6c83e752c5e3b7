#pragma once

#include <QApplication>
#include <QPointer>

class AccountManager;
class CategoryTreeModel;
class Config;
class DBManager;
class SDKManager;
class VideoTableModel;
class LoginDialog;
class MainWindow;
class UpdateDialog;
class QFutureWatcherBase;

// The application object: owns the process-wide services and runs the start, run and stop
// steps of the process ("App Init", "App Run", "App Stop"). It alone wires the services to
// each other and hands them to the windows it builds as typed references (docs/services.md);
// the windows never ask it for them.
class Application : public QApplication
{
    Q_OBJECT

public:
    // The exit code with which the event loop asks for a restart.
    static constexpr int kRestartExitCode = 1024;

    Application(Config* config, int& argc, char** argv);
    ~Application() override;

    bool Init();
    int Run();
    void Stop();

    Config* GetConfig() const { return config; }
    DBManager* GetDBManager() const { return db; }
    SDKManager* GetSDKManager() const { return uploads; }
    AccountManager* GetAccountManager() const { return accountManager; }
    CategoryTreeModel* GetCategoryTreeModel() const { return categoryTreeModel; }
    VideoTableModel* GetVideoTableModel() const { return videoTableModel; }
    LoginDialog* GetLoginDialog() const;
    MainWindow* GetMainWindow() const;

    // Replaces the login dialog by the main window after a successful login.
    void OpenMainWindow();

    static Application* Instance();
    static QString DataDirPath(const QString& subPath = QString());
    // Forwards to StyleSheet::Load.
    static QString LoadStyleSheet(const QString& fileName);

    // Starts the program again with the same arguments (detached); the caller then exits.
    static void StartRestartedProcess(const QStringList& arguments);

signals:
    void SignalStartupLoadingFinish();
    void SignalAboutToAppStop();
    void SignalReloadQss();

private:
    void InstallTranslations();
    // Tells the user once that the database could not be read and where the old file went.
    void ReportDamagedDatabase(const QString& movedTo);
    void OnLoginSucceed();
    void StartStartupUpdateCheck();
    void OnStartupUpdateCheckFinished(int result);
    void StartBackgroundUpdate();
    // Shows the downloaded update for installation, once no upload runs.
    void OfferBackgroundUpdate();

    Config* config = nullptr;
    DBManager* db = nullptr;
    SDKManager* uploads = nullptr;
    AccountManager* accountManager = nullptr;
    CategoryTreeModel* categoryTreeModel = nullptr;
    VideoTableModel* videoTableModel = nullptr;
    bool stopping = false;
    QPointer<LoginDialog> loginDialog;
    QPointer<MainWindow> mainWindow;
    QPointer<UpdateDialog> backgroundUpdate;
    QPointer<QFutureWatcherBase> startupCheckWatcher;
};
