#include "ui/transfer/TransferTrayIcon.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QWidget>

TransferTrayIcon::TransferTrayIcon(QWidget* window, QObject* parent)
    : QSystemTrayIcon(parent), window(window)
{
    setIcon(QIcon(QStringLiteral(":/image/MainTitlebar/logo.svg")));
    menu = new QMenu(window);
    menu->setObjectName(QStringLiteral("trayMenu"));
    menu->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    QAction* show = menu->addAction(tr("Tray.ShowWindow"));
    show->setObjectName(QStringLiteral("trayShowAction"));
    menu->addSeparator();
    allAction = menu->addAction(tr("Tray.StartAll"));
    allAction->setObjectName(QStringLiteral("trayAllAction"));
    menu->addSeparator();
    QAction* quit = menu->addAction(tr("Tray.Quit"));
    quit->setObjectName(QStringLiteral("trayQuitAction"));
    setContextMenu(menu);
    connect(show, &QAction::triggered, this, &TransferTrayIcon::ShowWindow);
    connect(allAction, &QAction::triggered, this, [this] { emit SignalAllOperation(!allStarted); });
    connect(quit, &QAction::triggered, this, &TransferTrayIcon::SignalQuit);
    connect(this, &QSystemTrayIcon::activated, this, [this](ActivationReason reason) {
        if (reason == Trigger || reason == DoubleClick) {
            ShowWindow();
        }
    });
    SetQueue(0, -1, false);
}

bool TransferTrayIcon::Available()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TransferTrayIcon::SetQueue(int count, double percent, bool started)
{
    allStarted = started;
    allAction->setText(started ? tr("Tray.PauseAll") : tr("Tray.StartAll"));
    allAction->setEnabled(count > 0);
    QString tip = QGuiApplication::applicationDisplayName();
    if (count > 0) {
        tip += QLatin1Char('\n') + tr("Tray.Uploads %1").arg(count);
        if (percent >= 0) {
            tip += QStringLiteral("  %1%").arg(QString::number(percent, 'f', 2));
        }
    } else {
        tip += QLatin1Char('\n') + tr("Tray.NoUploads");
    }
    // Set every second while uploads run: a tray host is only told of a tip that changed.
    if (tip != toolTip()) {
        setToolTip(tip);
    }
}

void TransferTrayIcon::ShowWindow()
{
    if (!window) {
        return;
    }
    window->showNormal();
    window->raise();
    window->activateWindow();
}
