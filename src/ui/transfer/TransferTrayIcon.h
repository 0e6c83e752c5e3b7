#pragma once

#include <QPointer>
#include <QSystemTrayIcon>

class QAction;
class QMenu;
class QWidget;

// The notification-area icon while the client runs: the queue's count and total percentage
// in its tool tip, and a menu to show the window, start or pause all uploads and quit.
class TransferTrayIcon : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit TransferTrayIcon(QWidget* window, QObject* parent = nullptr);

    // Whether the desktop shows tray icons (a status notifier host or a system tray).
    static bool Available();
    QMenu* Menu() const { return menu; }

    // Count of queued uploads, total percentage (< 0: none) and whether all run.
    void SetQueue(int count, double percent, bool allStarted);

signals:
    void SignalAllOperation(bool start);
    void SignalQuit();

private:
    void ShowWindow();

    QPointer<QWidget> window;
    QMenu* menu = nullptr;
    QAction* allAction = nullptr;
    bool allStarted = false;
};
