#pragma once

class QCoreApplication;

namespace Platform {

// Turns SIGTERM, SIGINT and SIGHUP (a session log-out, Ctrl+C in a terminal) into an orderly
// quit of the event loop, so that the normal stop sequence saves the upload records and ends
// the transfers. Windows has no such signals for a GUI process; there these do nothing.
//
// CatchTerminationSignals, first thing in main, routes the signals into a pipe, so that one
// arriving while the process still starts is kept rather than killing it;
// InstallTerminationHandler then reads the pipe from the application's event loop and quits it.
void CatchTerminationSignals();
void InstallTerminationHandler(QCoreApplication* app);

// True once a termination signal was read. A quit asked for while only a nested event loop ran
// (a message box before the main loop started) ends that loop alone; the main loop checks this
// before it starts. Taking the request clears it.
bool TakeTerminationRequest();

}  // namespace Platform
