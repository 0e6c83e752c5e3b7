#pragma once

#include <functional>
#include <string>

namespace kvr {

// Library-wide settings, set through the C interface from any thread. An upload copies them
// when it starts, so a change applies to the next run, never in the middle of a request.
struct SdkSettings
{
    bool initialised = false;
    std::string userId;
    std::string appId;
    std::string appSecret;
    std::string cachePath;
    std::string platformUrl;
    std::string cacertFile;
    int httpMode = 3;
    int proxyType = 0;
    std::string proxyHost;
    unsigned int proxyPort = 0;
    std::string proxyUser;
    std::string proxyPassword;

    // The tus upload collection: platform URL + "/upload/files/".
    std::string CollectionUrl() const;

    static SdkSettings Get();
    // Applies fn to the shared settings under their lock.
    static void Update(const std::function<void(SdkSettings&)>& fn);
};

}  // namespace kvr
