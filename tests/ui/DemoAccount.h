#pragma once

class Application;

// Until the application signs in through its account manager, the demo signs in with the web
// API client directly: the login request on a pool thread, the refusal's platform text (with
// the attempts left), and on success the account data for the title widget and the hand-over
// from the login dialog to the main window. Installed only when the application has no login
// of its own.
namespace DemoAccount {

void InstallIfMissing(Application* app);

}  // namespace DemoAccount
