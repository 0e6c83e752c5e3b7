#pragma once

#include "Endpoint.h"

// The platform's plain pages the client links to: GET /pages/agreement (the user agreement of
// the login page), /pages/help and /pages/feedback. Static HTML, so that the demo's links open
// a real page.
class InfoPages : public Endpoint
{
public:
    using Endpoint::Endpoint;
    void Register(httplib::Server& server) override;

    static constexpr char kAgreementPath[] = "/pages/agreement";
    static constexpr char kHelpPath[] = "/pages/help";
    static constexpr char kFeedbackPath[] = "/pages/feedback";
};
