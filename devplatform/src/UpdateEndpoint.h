#pragma once

#include "Endpoint.h"

// The update service's version check: a JSON body signed with the update salt, answered with
// the version, description and installer URL the flags configure (by default the client's own
// version, so nothing newer is offered).
class UpdateEndpoint : public Endpoint
{
public:
    using Endpoint::Endpoint;
    void Register(httplib::Server& server) override;
};
