#pragma once

#include <QWidget>

#include "app/AppServices.h"

class MainWindowTitleWidget;
class TransferListWidget;
class VideoListWidget;

namespace Ui {
class MainWindow;
}

// The one top-level window after login: the title bar with the main window's title widget
// above the two pages (video list, transfer list). Guards exit while uploads run.
// Gets the application's services at construction and hands each page and dialog the ones it
// uses (docs/services.md).
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(const AppServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Builds the title widget, the two pages and their connections; called once right after
    // construction.
    void Init();

    // A warning toast over the pages.
    void ShowToast(const QString& text);

    MainWindowTitleWidget* TitleWidget() const { return titleWidget; }
    VideoListWidget* VideoListPage() const { return videoListPage; }
    QWidget* CurrentPage() const;

    // True when nothing uploads or the user agreed to stop; then every task is paused.
    bool ExitCheck();

signals:
    void SignalExit(int code);

public slots:
    void OnAllOperation(bool start);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildVideoListPage();
    void BuildTransferListPage();
    // Puts page into the stacked widget's placeholder (the form's videoList or transferList),
    // filling it, so that the page buttons keep switching to the placeholder.
    static void PlacePage(QWidget* placeholder, QWidget* page);

    const AppServices services;
    Ui::MainWindow* ui;
    MainWindowTitleWidget* titleWidget = nullptr;
    VideoListWidget* videoListPage = nullptr;
    bool exitAllowed = false;
    TransferListWidget* transferPage = nullptr;
    bool quitting = false;  // closing ends the program even when closing would hide to the tray
};
