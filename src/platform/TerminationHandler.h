#pragma once

class QCoreApplication;

namespace Platform {

// Turns SIGTERM, SIGINT and SIGHUP (a session log-out, Ctrl+C in a terminal) into an orderly
// quit of the event loop, so that the normal stop sequence saves the upload records and ends
// the transfers. Windows has no such signals for a GUI process; there it does nothing.
void InstallTerminationHandler(QCoreApplication* app);

}  // namespace Platform
