// kavro-devplatform: the local platform server. See docs/devplatform.md.
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

#include <QCoreApplication>
#include <QDebug>

#include "PlatformServer.h"
#include "ServerOptions.h"

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    ServerOptions options;
    QString error;
    if (!options.Parse(app.arguments(), &error)) {
        fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 2;
    }

    // SIGTERM and SIGINT stop the server cleanly; they are taken by one thread with sigwait,
    // so every other thread (the HTTP workers start later and inherit the mask) ignores them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    PlatformServer server(options);
    if (!server.Start(&error)) {
        qCritical() << "devplatform: start failed:" << error;
        return 1;
    }
    std::thread stopper([&server, stopSignals] {
        int signalNumber = 0;
        sigwait(&stopSignals, &signalNumber);
        qInfo() << "devplatform: stopping on signal" << signalNumber;
        server.Stop();
    });
    stopper.detach();

    // The first line of stdout is the port: test fixtures and scripts read it.
    printf("%d\n", server.Port());
    fflush(stdout);
    qInfo() << "devplatform: listening on" << server.Port() << "seed" << options.seed;
    return server.Run() ? 0 : 1;
}
