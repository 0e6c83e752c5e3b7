#pragma once

#include "Endpoint.h"

// The category tree of a library: get-cate-tree, add, update-info (rename), update-cate
// (move), with the platform's refusals.
class CategoryEndpoints : public Endpoint
{
public:
    using Endpoint::Endpoint;
    void Register(httplib::Server& server) override;

    static constexpr int kMaxNameLength = 30;
};
