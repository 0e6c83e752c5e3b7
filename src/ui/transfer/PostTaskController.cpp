#include "ui/transfer/PostTaskController.h"

#include <QDebug>

#include "platform/SystemPower.h"
#include "ui/transfer/PostTaskCountdownDialog.h"

PostTaskController::PostTaskController(SystemPower& power, QWidget* dialogParent, QObject* parent)
    : QObject(parent), power(power), dialogParent(dialogParent)
{
}

void PostTaskController::OnQueueState(int active, int paused, int failed)
{
    power.SetInhibited(active > 0);
    if (active > 0) {
        wasActive = true;
        CancelCountdown();
        return;
    }
    if (!wasActive) {
        return;
    }
    wasActive = false;
    if (paused > 0 || failed > 0) {
        qInfo() << "queue stopped with paused:" << paused << ",failed:" << failed
                << ", no post task";
        return;
    }
    if (choice != PostTaskMenu::Nothing) {
        StartCountdown();
    }
}

void PostTaskController::StartCountdown()
{
    if (countdown) {
        return;
    }
    qInfo() << "queue finished, post task in" << countdownSeconds << "seconds:" << choice;
    countdown = new PostTaskCountdownDialog(choice, countdownSeconds, dialogParent);
    connect(countdown, &PostTaskCountdownDialog::SignalElapsed, this,
            [this, action = choice] { Carry(action); });
    connect(countdown, &QDialog::rejected, this, [] { qInfo() << "post task cancelled"; });
    countdown->show();
}

void PostTaskController::CancelCountdown()
{
    if (countdown) {
        countdown->close();
        countdown = nullptr;
    }
}

void PostTaskController::Carry(PostTaskMenu::Choice action)
{
    bool ok = true;
    switch (action) {
        case PostTaskMenu::Quit:
            qInfo() << "post task: quit";
            emit SignalQuitRequested();
            break;
        case PostTaskMenu::Sleep:
            qInfo() << "post task: sleep";
            ok = power.Suspend();
            break;
        case PostTaskMenu::Shutdown:
            qInfo() << "post task: shut down";
            ok = power.PowerOff();
            break;
        case PostTaskMenu::Nothing:
            break;
    }
    emit SignalActionDone(action, ok);
}
