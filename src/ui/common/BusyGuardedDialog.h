#pragma once

#include <QDialog>

// A dialog that may not be closed while its request runs: the close button, Escape and reject()
// all ask RefuseWhileRunning(), which tells the user why and answers true to keep it open.
class BusyGuardedDialog : public QDialog
{
    Q_OBJECT

public:
    using QDialog::QDialog;

    void reject() override;

protected:
    virtual bool RefuseWhileRunning() = 0;

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
