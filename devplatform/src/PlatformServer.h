#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "PlatformContext.h"

namespace httplib {
class SSLServer;
struct Request;
struct Response;
}  // namespace httplib

class Endpoint;
class VideoProcessor;

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
    // Body limit and injected faults before routing; returns a Server::HandlerResponse.
    int PreRoute(const httplib::Request& req, httplib::Response& res);

    PlatformContext context_;
    std::unique_ptr<Database> db_;
    std::unique_ptr<httplib::SSLServer> http_;
    std::vector<std::unique_ptr<Endpoint>> endpoints_;
    std::unique_ptr<VideoProcessor> processor_;
    int port_ = 0;
};
