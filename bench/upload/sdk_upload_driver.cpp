// Uploads one file through the upload library in a process of its own (the drop soak starts
// one per run). Prints "vid <vid>", "start <server offset>", "progress <bytes>" lines (one per
// progress callback, about 5 a second) and a final "result <code> <message>"; the exit status
// is 0 for codes 0 and 112.
//
// usage: sdk_upload_driver --file F [--url U] [--cacert F] [--cache D] [--user U] [--app A]
//                          [--secret S] [--cate N] [--limit BYTES_PER_S] [--log F]
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "kvr_upload_sdk.h"

namespace {

std::mutex gMutex;
std::condition_variable gDone;
bool gFinished = false;
int gCode = -1;
std::string gMessage;
int64_t gPrinted = -1;

void OnProgress(int, int64_t uploaded, int64_t total, void*)
{
    std::lock_guard<std::mutex> lock(gMutex);
    if (gPrinted < 0) {
        // The first call tells where the upload begins: the server's offset.
        std::printf("start %lld\n", static_cast<long long>(uploaded));
    }
    (void)total;
    gPrinted = uploaded;
    std::printf("progress %lld\n", static_cast<long long>(uploaded));
    std::fflush(stdout);
}

void OnResult(int code, const char* message, void*)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gCode = code;
    gMessage = message ? message : "";
    gFinished = true;
    gDone.notify_all();
}

}  // namespace

int main(int argc, char** argv)
{
    std::map<std::string, std::string> args;
    for (int i = 1; i + 1 < argc; i += 2) {
        args[argv[i]] = argv[i + 1];
    }
    auto arg = [&](const char* name, const char* fallback = "") {
        const auto it = args.find(name);
        return it == args.end() ? std::string(fallback) : it->second;
    };
    if (arg("--file").empty()) {
        std::fprintf(stderr, "usage: %s --file F [--url U] [--cacert F] [--cache D] ...\n",
                     argv[0]);
        return 64;
    }
    if (!arg("--log").empty()) {
        KVRSetSdkLogFile(arg("--log").c_str());
        KVRSetSdkLogLevel(3);
    }
    KVRSetSdkCachePath(arg("--cache").c_str());
    if (!arg("--url").empty()) {
        KVRSetSdkPlatformUrl(arg("--url").c_str());
    }
    int rc = KVRInitSdkLibrary(arg("--user", "u1").c_str(), arg("--app").c_str(),
                               arg("--secret").c_str());
    if (rc != 0) {
        std::printf("result %d init failed\n", rc);
        return 1;
    }
    KVRSetSdkHttpRequest(3);
    KVRSetSdkCacertFile(arg("--cacert").c_str());
    KVRSetSdkTrafficLimit(std::atoll(arg("--limit", "0").c_str()));

    const KVRUploaderHandle h = KVRUploaderCreate();
    const std::string file = arg("--file");
    const std::string title = arg("--title", "driver");
    KVRUploadParam param{
        file.c_str(), title.c_str(), "", "", std::atoll(arg("--cate", "1").c_str()), 0, 0};
    KVRUploaderSetProgressHandler(h, &OnProgress, nullptr);
    KVRUploaderSetResultHandler(h, &OnResult, nullptr);
    rc = KVRUploaderSetParam(h, &param);
    if (rc != 0) {
        std::printf("result %d %s\n", rc, KVRGetSdkErrorDescription(rc));
        return 1;
    }
    std::printf("vid %s\n", KVRUploaderGetVID(h));
    std::fflush(stdout);
    KVRUploaderStart(h);
    std::unique_lock<std::mutex> lock(gMutex);
    gDone.wait(lock, [] { return gFinished; });
    std::printf("result %d %s\n", gCode, gMessage.c_str());
    std::fflush(stdout);
    lock.unlock();
    KVRUploaderDestroy(h);
    KVRReleaseSdkLibrary();
    return gCode == 0 || gCode == KVR_DONE_WITHOUT_TRANSFER ? 0 : 1;
}
