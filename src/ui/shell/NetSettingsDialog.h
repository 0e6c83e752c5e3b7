#pragma once

#include <QDialog>

class Config;
class SDKManager;

namespace Ui {
class NetSettingsDialog;
}

// Edits the proxy of the web and upload traffic in config and applies it to the upload
// manager, and the platform address ("Custom"/"platformUrl", https only; a new address is
// saved only after a platform answered there); opened from the login dialog.
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
    void ApplyProxy();

    Config& config;
    SDKManager& uploads;
    Ui::NetSettingsDialog* ui;
    bool probing = false;
    bool probeAbort = false;  // read by the address check on its pool thread
};
