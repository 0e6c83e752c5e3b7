// The C interface: argument checks, handle look-up, and hand-over to the library's objects.
#include <curl/curl.h>
#include <filesystem>
#include <mutex>
#include <string>

#include "HandleRegistry.h"
#include "Logger.h"
#include "ResultCode.h"
#include "SdkSettings.h"
#include "TrafficLimiter.h"
#include "Uploader.h"
#include "kvr_upload_sdk.h"

using kvr::HandleRegistry;
using kvr::Logger;
using kvr::SdkSettings;

namespace {

constexpr const char kVersion[] = "1.0.0";
constexpr auto kReleaseWait = std::chrono::seconds(10);

std::string Text(const char* s)
{
    return s ? std::string(s) : std::string();
}

template <typename Fn>
int WithUploader(KVRUploaderHandle handle, Fn fn)
{
    const auto uploader = HandleRegistry::Find(handle);
    return uploader ? fn(*uploader) : KVR_ERR_INVALID_HANDLE;
}

}  // namespace

extern "C" {

int KVRSetSdkLogFile(const char* path)
{
    return Logger::Instance().Open(Text(path)) ? KVR_OK : KVR_ERR_LOG_FILE;
}

int KVRSetSdkLogLevel(int level)
{
    if (level < 0 || level > 4) {
        return KVR_ERR_INVALID_ARGUMENT;
    }
    Logger::Instance().SetLevel(level);
    return KVR_OK;
}

int KVRSetSdkCachePath(const char* path)
{
    const std::string dir = Text(path);
    if (!dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (!std::filesystem::is_directory(dir, ec)) {
            KVR_LOG(Logger::kError, "cache path unusable: " + dir);
            return KVR_ERR_CACHE_PATH;
        }
    }
    SdkSettings::Update([&](SdkSettings& s) { s.cachePath = dir; });
    return KVR_OK;
}

int KVRSetSdkPlatformUrl(const char* baseUrl)
{
    const std::string url = Text(baseUrl);
    if (!url.empty() && url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
        return KVR_ERR_INVALID_ARGUMENT;
    }
    SdkSettings::Update([&](SdkSettings& s) { s.platformUrl = url; });
    return KVR_OK;
}

int KVRInitSdkLibrary(const char* userId, const char* appId, const char* appSecret)
{
    if (!userId || !*userId || !appId || !appSecret) {
        return KVR_ERR_INVALID_ARGUMENT;
    }
    static std::once_flag curlInit;
    static CURLcode curlCode = CURLE_OK;
    std::call_once(curlInit, [] { curlCode = curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (curlCode != CURLE_OK) {
        return KVR_ERR_NETWORK;
    }
    SdkSettings::Update([&](SdkSettings& s) {
        s.initialised = true;
        s.userId = userId;
        s.appId = appId;
        s.appSecret = appSecret;
    });
    KVR_LOG(Logger::kInfo, std::string("initialised for user ") + userId + ", upload to " +
                               SdkSettings::Get().CollectionUrl());
    return KVR_OK;
}

int KVRSetSdkHttpRequest(int mode)
{
    if (mode < 0 || mode > 3) {
        return KVR_ERR_INVALID_ARGUMENT;
    }
    SdkSettings::Update([&](SdkSettings& s) { s.httpMode = mode; });
    return KVR_OK;
}

int KVRSetSdkCacertFile(const char* path)
{
    SdkSettings::Update([&](SdkSettings& s) { s.cacertFile = Text(path); });
    return KVR_OK;
}

int KVRSetSdkProxy(int type, const char* host, unsigned int port, const char* user,
                   const char* password)
{
    if (type < 0 || type > 2 || (type != 0 && (!host || !*host))) {
        return KVR_ERR_INVALID_ARGUMENT;
    }
    SdkSettings::Update([&](SdkSettings& s) {
        s.proxyType = type;
        s.proxyHost = type == 0 ? std::string() : Text(host);
        s.proxyPort = type == 0 ? 0 : port;
        s.proxyUser = type == 0 ? std::string() : Text(user);
        s.proxyPassword = type == 0 ? std::string() : Text(password);
    });
    return KVR_OK;
}

int KVRSetSdkTrafficLimit(int64_t bytesPerSecond)
{
    if (bytesPerSecond < 0) {
        return KVR_ERR_INVALID_ARGUMENT;
    }
    kvr::TrafficLimiter::SetLimit(bytesPerSecond);
    return KVR_OK;
}

const char* KVRGetSdkVersion(void)
{
    static const std::string version =
        std::string(kVersion) + " (libcurl/" + curl_version_info(CURLVERSION_NOW)->version + ")";
    return version.c_str();
}

const char* KVRGetSdkErrorDescription(int code)
{
    thread_local std::string text;
    text = kvr::ResultCode::Describe(code);
    return text.c_str();
}

int KVRReleaseSdkLibrary(void)
{
    for (const auto& uploader : HandleRegistry::RemoveAll()) {
        uploader->Destroy();
    }
    const bool done = kvr::Uploader::WaitForAllWorkers(kReleaseWait);
    SdkSettings::Update([](SdkSettings& s) {
        s.initialised = false;
        s.appSecret.clear();
    });
    KVR_LOG(Logger::kInfo, done ? "released" : "released; some transfers did not end in time");
    return done ? KVR_OK : KVR_ERR_BUSY;
}

KVRUploaderHandle KVRUploaderCreate(void)
{
    return HandleRegistry::Add(std::make_shared<kvr::Uploader>());
}

int KVRUploaderSetParam(KVRUploaderHandle handle, const KVRUploadParam* param)
{
    if (!param) {
        return HandleRegistry::Find(handle) ? KVR_ERR_INVALID_ARGUMENT : KVR_ERR_INVALID_HANDLE;
    }
    return WithUploader(handle, [&](kvr::Uploader& u) { return u.SetParam(*param); });
}

const char* KVRUploaderGetVID(KVRUploaderHandle handle)
{
    const auto uploader = HandleRegistry::Find(handle);
    return uploader ? uploader->Vid() : "";
}

int KVRUploaderSetVID(KVRUploaderHandle handle, const char* vid)
{
    return WithUploader(handle, [&](kvr::Uploader& u) { return u.SetVid(Text(vid)); });
}

int KVRUploaderRelease(KVRUploaderHandle handle)
{
    return WithUploader(handle, [](kvr::Uploader& u) { return u.Release(); });
}

int KVRUploaderSetProgressHandler(KVRUploaderHandle handle, KVRProgressCallback fn, void* user)
{
    return WithUploader(handle, [&](kvr::Uploader& u) { return u.SetProgressHandler(fn, user); });
}

int KVRUploaderSetResultHandler(KVRUploaderHandle handle, KVRResultCallback fn, void* user)
{
    return WithUploader(handle, [&](kvr::Uploader& u) { return u.SetResultHandler(fn, user); });
}

int KVRUploaderSetDeleteHandler(KVRUploaderHandle handle, KVRDeleteCallback fn, void* user)
{
    return WithUploader(handle, [&](kvr::Uploader& u) { return u.SetDeleteHandler(fn, user); });
}

int KVRUploaderStart(KVRUploaderHandle handle)
{
    if (!SdkSettings::Get().initialised) {
        return HandleRegistry::Find(handle) ? KVR_ERR_NOT_INITIALISED : KVR_ERR_INVALID_HANDLE;
    }
    return WithUploader(handle, [](kvr::Uploader& u) { return u.Start(); });
}

int KVRUploaderPause(KVRUploaderHandle handle)
{
    return WithUploader(handle, [](kvr::Uploader& u) { return u.Pause(); });
}

int KVRUploaderStop(KVRUploaderHandle handle)
{
    return WithUploader(handle, [](kvr::Uploader& u) { return u.Stop(); });
}

int KVRUploaderDelete(KVRUploaderHandle handle)
{
    return WithUploader(handle, [](kvr::Uploader& u) { return u.Delete(); });
}

int KVRUploaderDestroy(KVRUploaderHandle handle)
{
    const auto uploader = HandleRegistry::Remove(handle);
    if (!uploader) {
        return KVR_ERR_INVALID_HANDLE;
    }
    uploader->Destroy();
    return KVR_OK;
}

}  // extern "C"
