#include "ui/common/BusyGuardedDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>

void BusyGuardedDialog::reject()
{
    if (RefuseWhileRunning()) {
        return;
    }
    QDialog::reject();
}

void BusyGuardedDialog::closeEvent(QCloseEvent* event)
{
    if (RefuseWhileRunning()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void BusyGuardedDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && RefuseWhileRunning()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
