#pragma once

#include <QWidget>

class MainWindowTitleWidget;

namespace Ui {
class MainWindow;
}

// The one top-level window after login: the title bar with the main window's title widget
// above the two pages (video list, transfer list). Guards exit while uploads run.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Builds the title widget and its connections; called once right after construction.
    void Init();

    // A warning toast over the pages.
    void ShowToast(const QString& text);

    MainWindowTitleWidget* TitleWidget() const { return titleWidget; }
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
    Ui::MainWindow* ui;
    MainWindowTitleWidget* titleWidget = nullptr;
    bool exitAllowed = false;
};
