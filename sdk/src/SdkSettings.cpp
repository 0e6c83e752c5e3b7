#include "SdkSettings.h"

#include <mutex>

#include "kavro/Deployment.h"

namespace kvr {
namespace {

std::mutex& SettingsMutex()
{
    static std::mutex mutex;
    return mutex;
}

SdkSettings& Shared()
{
    static SdkSettings settings;
    return settings;
}

}  // namespace

std::string SdkSettings::CollectionUrl() const
{
    // The client works the deployment out and hands it in; the library reads no environment.
    std::string base = platformUrl.empty() ? kavro::deployment::kPlatformUrl : platformUrl;
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    return base + "/upload/files/";
}

SdkSettings SdkSettings::Get()
{
    std::lock_guard<std::mutex> lock(SettingsMutex());
    return Shared();
}

void SdkSettings::Update(const std::function<void(SdkSettings&)>& fn)
{
    std::lock_guard<std::mutex> lock(SettingsMutex());
    fn(Shared());
}

}  // namespace kvr
