#pragma once

#include <QDialog>

class Config;
class SDKManager;

namespace Ui {
class PreferenceDialog;
}

// The preferences: start-up, update and close behaviour, upload queue, speed limit and proxy.
// Every control writes its setting as soon as it changes; the speed limit is checked and
// written when the dialog closes. The queue and proxy settings are applied to the upload manager
// at once.
class PreferenceDialog : public QDialog
{
    Q_OBJECT

public:
    PreferenceDialog(Config& settings, SDKManager& uploads, QWidget* parent = nullptr);
    ~PreferenceDialog() override;

signals:
    void SignalAboutToClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Load();
    void Connect();
    void SaveSpeedLimit();
    void SetProxyBoxesEnabled(bool enabled);

    Config& settings;
    SDKManager& uploads;
    Ui::PreferenceDialog* ui;
};
