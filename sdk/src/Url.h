#pragma once

#include <string>

namespace kvr {

// URL helpers over libcurl's URL API.
class Url
{
public:
    // location resolved against base (tus servers may answer with a relative Location);
    // empty when either is malformed.
    static std::string Resolve(const std::string& base, const std::string& location);
    // The path of url, without scheme, host and query ("/" when it has none).
    static std::string Path(const std::string& url);
};

}  // namespace kvr
