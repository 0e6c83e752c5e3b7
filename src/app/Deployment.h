#pragma once

#include <QString>

class Config;

// The settings that differ between deployments of the client, worked out in one place from the
// built-in constants (kavro/Deployment.h), the ini file and the environment:
// - platformUrl: the platform's base URL (web API, upload endpoint, downloads), without a
//   trailing slash: the environment variable KAVRO_PLATFORM_URL, else "Custom"/"platformUrl",
//   else the built-in address;
// - caBundlePath: the CA bundle of every TLS connection: "NetWorkManager"/"customSSLCacert",
//   else cacert.pem beside the executable.
// The application works it out at start-up and hands it to the web API transport
// (ApiCollection::UseDeployment); the upload manager passes the transport's deployment on to
// the upload library (KVRSetSdkPlatformUrl, KVRSetSdkCacertFile). See docs/services.md.
struct Deployment
{
    QString platformUrl;
    QString caBundlePath;

    // config may be null: the built-in values and the environment alone.
    static Deployment FromConfig(const Config* config);
};
