#include "ui/shell/ShellDialogs.h"

#include <QPointer>

#include "ui/shell/AboutDialog.h"
#include "ui/shell/PreferenceDialog.h"
#include "ui/shell/UpdateDialog.h"

namespace {

QPointer<PreferenceDialog> g_preferences;
QPointer<AboutDialog> g_about;
QPointer<UpdateDialog> g_update;

}  // namespace

void ShellDialogs::ShowPreferences(Config& config, SDKManager& uploads)
{
    if (!g_preferences) {
        g_preferences = new PreferenceDialog(config, uploads, nullptr);
        g_preferences->setAttribute(Qt::WA_DeleteOnClose);
    }
    g_preferences->show();
    g_preferences->raise();
    g_preferences->activateWindow();
}

void ShellDialogs::ExecAbout()
{
    if (g_about) {
        g_about->raise();
        return;
    }
    g_about = new AboutDialog(nullptr);
    g_about->exec();
}

void ShellDialogs::ShowUpdate(Config& config, SDKManager& uploads)
{
    if (g_update) {
        g_update->raise();
        g_update->activateWindow();
        return;
    }
    g_update = new UpdateDialog(UpdateDialog::Checking, config, uploads, nullptr);
    g_update->setAttribute(Qt::WA_DeleteOnClose);
    g_update->show();
    g_update->StartCheck();
}

QWidget* ShellDialogs::Preferences()
{
    return g_preferences;
}

QWidget* ShellDialogs::About()
{
    return g_about;
}

QWidget* ShellDialogs::Update()
{
    return g_update;
}
