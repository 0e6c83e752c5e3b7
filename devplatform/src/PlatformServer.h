#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "PlatformContext.h"

namespace httplib {
class SSLServer;
}

class Endpoint;

// The HTTPS server on 127.0.0.1: opens the store, seeds it, binds and serves every endpoint
// (web API, upload endpoint, update service, file host, admin) until stopped.
class PlatformServer
{
public:
    explicit PlatformServer(const ServerOptions& options);
    ~PlatformServer();

    // Prepares the data folder and the store, seeds, binds the port. False with a reason.
    bool Start(QString* error);
    int Port() const { return port_; }
    // Serves until Stop(); returns false when the server could not listen.
    bool Run();
    void Stop();

private:
    PlatformContext context_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<httplib::SSLServer> http_;
    std::vector<std::unique_ptr<Endpoint>> endpoints_;
    int port_ = 0;
};
