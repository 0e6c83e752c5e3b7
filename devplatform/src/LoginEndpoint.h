#pragma once

#include "Endpoint.h"

// POST /v3/front/login-client: e-mail and the 20-character password digest for the account
// record, with the signing secret encrypted under the login constant. Five wrong passwords in
// a row lock the account.
class LoginEndpoint : public Endpoint
{
public:
    using Endpoint::Endpoint;
    void Register(httplib::Server& server) override;

    static constexpr int kLoginAttempts = 5;
};
