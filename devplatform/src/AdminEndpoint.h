#pragma once

#include "Endpoint.h"

// Test and demo controls, answered only to loopback peers:
//   GET /admin/faults, POST /admin/faults (a JSON rule or "path=...,delay=..." text),
//   DELETE /admin/faults, POST /admin/unlock?email=... (resets the login attempts),
//   POST /admin/account?email=...&permissions=a,b|all|none&space=N&expirationTime=MS
//   (changes an account for a test).
class AdminEndpoint : public Endpoint
{
public:
    using Endpoint::Endpoint;
    void Register(httplib::Server& server) override;
};
