#include "ui/shell/ShellServices.h"

ShellServices& ShellServices::Instance()
{
    static ShellServices services;
    return services;
}

void ShellServices::PauseAll() const
{
    if (pauseAll) {
        pauseAll();
    }
}

void ShellServices::ApplyNetworkSettings() const
{
    if (applyNetworkSettings) {
        applyNetworkSettings();
    }
}

void ShellServices::ApplyQueueSettings() const
{
    if (applyQueueSettings) {
        applyQueueSettings();
    }
}
