#include "platform/TerminationHandler.h"

#include <QCoreApplication>
#include <QDebug>

#ifndef Q_OS_WIN
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#endif

namespace {

bool g_terminationRequested = false;

#ifndef Q_OS_WIN
// The signal handler may only write to a descriptor; the event loop reads the other end.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int sig)
{
    const char byte = static_cast<char>(sig);
    ssize_t ignored = write(g_signalPipe[0], &byte, 1);
    (void)ignored;
}
#endif

}  // namespace

namespace Platform {

void CatchTerminationSignals()
{
#ifndef Q_OS_WIN
    if (g_signalPipe[0] >= 0 ||
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) {
        return;
    }
    struct sigaction action
    {
    };
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(sig, &action, nullptr);
    }
#endif
}

void InstallTerminationHandler(QCoreApplication* app)
{
#ifdef Q_OS_WIN
    Q_UNUSED(app)
#else
    CatchTerminationSignals();
    if (g_signalPipe[1] < 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [app] {
        char sig = 0;
        if (read(g_signalPipe[1], &sig, 1) == 1) {
            qInfo() << "Termination signal:" << int(sig);
            g_terminationRequested = true;
            // Ends every running event loop, the modal ones of open dialogs included.
            app->quit();
        }
    });
#endif
}

bool TakeTerminationRequest()
{
    const bool requested = g_terminationRequested;
    g_terminationRequested = false;
    return requested;
}

}  // namespace Platform
