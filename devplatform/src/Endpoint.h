#pragma once

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

struct PlatformContext;

// One group of routes of the server.
class Endpoint
{
public:
    explicit Endpoint(PlatformContext& context) : context_(context) {}
    virtual ~Endpoint() = default;
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;

    virtual void Register(httplib::Server& server) = 0;

protected:
    PlatformContext& context_;
};
