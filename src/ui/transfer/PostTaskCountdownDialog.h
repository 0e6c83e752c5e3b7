#pragma once

#include <QDialog>

#include "ui/transfer/PostTaskMenu.h"

class QLabel;
class QTimer;

// "All uploads have finished. The computer will sleep in 60 seconds." with a cancel and a
// "now" button; counts down once a second and emits SignalElapsed at zero or on "now".
class PostTaskCountdownDialog : public QDialog
{
    Q_OBJECT

public:
    PostTaskCountdownDialog(PostTaskMenu::Choice choice, int seconds, QWidget* parent = nullptr);

    int SecondsLeft() const { return secondsLeft; }

signals:
    void SignalElapsed();

private:
    void Tick();
    void Refresh();

    PostTaskMenu::Choice choice;
    int secondsLeft;
    QLabel* textLabel = nullptr;
    QTimer* timer = nullptr;
};
