#pragma once

#include <QDialog>

class Config;
class SDKManager;

namespace Ui {
class NetSettingsDialog;
}

// Edits the proxy of the web and upload traffic in config and applies it to the upload
// manager; opened from the login dialog.
class NetSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    NetSettingsDialog(Config& config, SDKManager& uploads, QWidget* parent = nullptr);
    ~NetSettingsDialog() override;

public slots:
    void OnApply();

private:
    void Load();

    Config& config;
    SDKManager& uploads;
    Ui::NetSettingsDialog* ui;
};
