#pragma once

class Config;
class QWidget;
class SDKManager;

// The dialogs of which at most one exists in the process, each created on demand without
// parent and held by a guarded pointer.
namespace ShellDialogs {

// Non-modal, deleted on close; raises the open one.
void ShowPreferences(Config& config, SDKManager& uploads);
// Modal.
void ExecAbout();
// Shown and starts a check.
void ShowUpdate(Config& config, SDKManager& uploads);

QWidget* Preferences();
QWidget* About();
QWidget* Update();

}  // namespace ShellDialogs
