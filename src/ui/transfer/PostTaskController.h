#pragma once

#include <QObject>
#include <QPointer>

#include "ui/transfer/PostTaskMenu.h"

class PostTaskCountdownDialog;
class QWidget;
class SystemPower;

// Follows the upload queue: holds a sleep inhibitor while uploads wait or run and releases it
// when the queue is idle; when the queue has run empty with nothing failed or paused, carries
// out the chosen post-task action (quit, sleep, shut down) after a countdown the user can
// cancel.
class PostTaskController : public QObject
{
    Q_OBJECT

public:
    PostTaskController(SystemPower& power, QWidget* dialogParent, QObject* parent = nullptr);

    void SetChoice(PostTaskMenu::Choice value) { choice = value; }
    PostTaskMenu::Choice Choice() const { return choice; }
    void SetCountdownSeconds(int seconds) { countdownSeconds = seconds; }
    bool CountdownRunning() const { return !countdown.isNull(); }

    static constexpr int kCountdownSeconds = 60;

signals:
    // The chosen action is due; quit is carried out by whoever owns the windows.
    void SignalQuitRequested();
    void SignalActionDone(PostTaskMenu::Choice choice, bool ok);

public slots:
    // The queue's counts, from the uploading table at every tick and when it empties.
    void OnQueueState(int active, int paused, int failed);
    void CancelCountdown();

private:
    void StartCountdown();
    void Carry(PostTaskMenu::Choice action);

    SystemPower& power;
    QPointer<QWidget> dialogParent;
    PostTaskMenu::Choice choice = PostTaskMenu::Nothing;
    bool wasActive = false;
    int countdownSeconds = kCountdownSeconds;
    QPointer<PostTaskCountdownDialog> countdown;
};
