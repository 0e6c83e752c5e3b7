#pragma once

class Config;
class SDKManager;

// The proxy of the upload traffic, from the "NetWorkManager" settings. The web API client
// reads the same settings on every request; the upload library holds them until changed, so
// whoever writes them applies them here.
namespace NetworkSettings {

void Apply(const Config& config, SDKManager& uploads);

}  // namespace NetworkSettings
