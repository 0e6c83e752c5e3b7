#pragma once

#include <QDialog>

namespace Ui {
class NetSettingsDialog;
}

// Edits the proxy of the web and upload traffic; opened from the login dialog.
class NetSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit NetSettingsDialog(QWidget* parent = nullptr);
    ~NetSettingsDialog() override;

public slots:
    void OnApply();

private:
    void Load();

    Ui::NetSettingsDialog* ui;
};
