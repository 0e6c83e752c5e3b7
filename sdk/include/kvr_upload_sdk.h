#pragma once

/*
 * kvr-upload-sdk: resumable, verified uploads of video files to the Kavro platform.
 *
 * Plain C interface. Strings cross it as NUL-terminated UTF-8. Every int result is an error
 * code, 0 meaning success; KVRGetSdkErrorDescription() explains a code. Every function may be
 * called from any thread; transfers run on threads owned by the library, and the progress,
 * result and delete callbacks are called from those threads only, never from inside a call
 * into the library.
 *
 * Calling order at each sign-in:
 *   KVRSetSdkLogFile(path); KVRSetSdkLogLevel(2);
 *   KVRSetSdkCachePath(dir);
 *   KVRSetSdkPlatformUrl(baseUrl);            (may come at any time before the first Start)
 *   KVRInitSdkLibrary(userId, appId, appSecret);
 *   KVRSetSdkHttpRequest(3); KVRSetSdkCacertFile(path); KVRGetSdkVersion();
 * At shutdown: destroy every handle, then KVRReleaseSdkLibrary().
 *
 * Result codes reported by the library:
 *     0  uploaded and verified
 *   112  done without transfer: the platform already holds this file complete
 *     5  stopped by KVRUploaderPause / KVRUploaderStop (not a failure)
 *    19  CRC-64 of the uploaded bytes differs from the platform's
 *     2  file missing            4  file empty          10  file cannot be opened or read
 *   102  no space left on the platform for this file
 *   113 + n  the platform refused with its error code n
 *   others: see KVRGetSdkErrorDescription(); the result message names the cause with a
 *   stable key ("ConnectionTimeout", "SocketTimeout", "RequestTimeout", "InternalError",
 *   "AccessDenied", "http response parse error", "fileContentError", ...).
 */

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(KVR_UPLOAD_SDK_BUILD)
#define KVR_API __declspec(dllexport)
#else
#define KVR_API __declspec(dllimport)
#endif
#else
#define KVR_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Error codes named by the library. Codes 113 and above carry a platform error code. */
enum KVRErrorCode
{
    KVR_OK = 0,
    KVR_ERR_INVALID_ARGUMENT = 1,
    KVR_ERR_FILE_MISSING = 2,
    KVR_ERR_NOT_INITIALISED = 3,
    KVR_ERR_FILE_EMPTY = 4,
    KVR_ERR_STOPPED = 5,
    KVR_ERR_INVALID_HANDLE = 6,
    KVR_ERR_BUSY = 7,
    KVR_ERR_NETWORK = 8,
    KVR_ERR_PROTOCOL = 9,
    KVR_ERR_FILE_OPEN = 10,
    KVR_ERR_CACHE_PATH = 11,
    KVR_ERR_UPLOAD_GONE = 12,
    KVR_ERR_NO_PARAM = 13,
    KVR_ERR_LOG_FILE = 14,
    KVR_ERR_FILE_CHANGED = 15,
    KVR_ERR_SERVER = 16,
    KVR_ERR_CRC64 = 19,
    KVR_ERR_NO_SPACE = 102,
    KVR_DONE_WITHOUT_TRANSFER = 112,
    KVR_PLATFORM_ERROR_BASE = 113
};

/* An uploader: one file, one upload. 0 is never a valid handle; a destroyed handle is never
 * handed out again, so a stale handle yields KVR_ERR_INVALID_HANDLE. */
typedef uintptr_t KVRUploaderHandle;

/* The parameters of one upload, field by field in this order. */
typedef struct KVRUploadParam
{
    const char* filePath; /* local path of the file */
    const char* title;    /* video title */
    const char* desc;     /* video description */
    const char* tag;      /* video tags */
    int64_t cateId;       /* category id */
    int32_t luping;       /* 1 = optimise the file as courseware */
    int32_t keepSource;   /* always 0 */
} KVRUploadParam;

/* increment: bytes since the previous progress call; uploadBytes: bytes the platform holds
 * (or has been sent in the running request); totalBytes: the file's size. */
typedef void (*KVRProgressCallback)(int increment, int64_t uploadBytes, int64_t totalBytes,
                                    void* user);
/* The end of a run started by KVRUploaderStart: one call per start. */
typedef void (*KVRResultCallback)(int code, const char* message, void* user);
/* The end of a KVRUploaderDelete: exactly one call per delete. */
typedef void (*KVRDeleteCallback)(int code, const char* message, void* user);

/* ---- library ---------------------------------------------------------------------------- */

/* Log file, appended to; NULL or "" closes it. */
KVR_API int KVRSetSdkLogFile(const char* path);
/* 0 off, 1 errors, 2 errors, warnings and one line per request (default), 3 debug,
 * 4 debug plus libcurl's own trace. */
KVR_API int KVRSetSdkLogLevel(int level);
/* Directory of the resume records (created if missing). Without it uploads still work but
 * cannot continue after the process ends. */
KVR_API int KVRSetSdkCachePath(const char* path);
/* Base URL of the platform, e.g. "https://api.kavro.example"; the upload collection is
 * base + "/upload/files/". Default: the deployment's built-in platform URL; the library reads
 * no environment variable, the host program decides. */
KVR_API int KVRSetSdkPlatformUrl(const char* baseUrl);
/* The signed-in account: user id (part of every vid), appId and appSecret (request signing).
 * May be called again after a change of account; running uploads keep the old account. */
KVR_API int KVRInitSdkLibrary(const char* userId, const char* appId, const char* appSecret);
/* 0 libcurl's choice, 1 HTTP/1.1, 2 HTTP/2 where the server offers it, 3 HTTP/1.1 with TCP
 * keep-alive probes (the default: one bulk stream is fastest over HTTP/1.1). */
KVR_API int KVRSetSdkHttpRequest(int mode);
/* CA bundle used to verify the platform's certificate; NULL or "" for the system's. */
KVR_API int KVRSetSdkCacertFile(const char* path);
/* type 0 no proxy (other arguments ignored), 1 HTTP proxy, 2 SOCKS5 proxy (names resolved by
 * the proxy); user and password optional. */
KVR_API int KVRSetSdkProxy(int type, const char* host, unsigned int port, const char* user,
                           const char* password);
/* Upload speed limit for the whole library in bytes per second, shared evenly by the
 * running uploads; 0 = unlimited. Applies to running uploads at once. */
KVR_API int KVRSetSdkTrafficLimit(int64_t bytesPerSecond);
/* "major.minor.patch (libcurl/x.y.z)"; static storage. */
KVR_API const char* KVRGetSdkVersion(void);
/* Text of a code; valid until the next call on the same thread. */
KVR_API const char* KVRGetSdkErrorDescription(int code);
/* Stops every transfer, waits (a few seconds at most) for the library's threads and forgets
 * every handle. */
KVR_API int KVRReleaseSdkLibrary(void);

/* ---- uploader --------------------------------------------------------------------------- */

/* A new uploader (never 0). */
KVR_API KVRUploaderHandle KVRUploaderCreate(void);
/* Sets the file and texts and derives the vid. 2 when the file is missing; 3 before
 * KVRInitSdkLibrary; 7 while a transfer runs. */
KVR_API int KVRUploaderSetParam(KVRUploaderHandle handle, const KVRUploadParam* param);
/* The vid: 32 lower-case hex digits, "_", one character. Empty for an invalid handle or
 * before SetParam/SetVID. Valid until the next SetParam/SetVID/Release/Destroy. */
KVR_API const char* KVRUploaderGetVID(KVRUploaderHandle handle);
/* Attaches a stored vid (an upload begun earlier): Start continues it, Delete terminates it. */
KVR_API int KVRUploaderSetVID(KVRUploaderHandle handle, const char* vid);
/* Forgets the file and parameters (not the platform's upload nor its resume record). */
KVR_API int KVRUploaderRelease(KVRUploaderHandle handle);
KVR_API int KVRUploaderSetProgressHandler(KVRUploaderHandle handle, KVRProgressCallback fn,
                                          void* user);
KVR_API int KVRUploaderSetResultHandler(KVRUploaderHandle handle, KVRResultCallback fn, void* user);
KVR_API int KVRUploaderSetDeleteHandler(KVRUploaderHandle handle, KVRDeleteCallback fn, void* user);
/* Starts or continues the upload on a library thread; the outcome comes through the result
 * callback (file errors included). 0 also when it already runs. */
KVR_API int KVRUploaderStart(KVRUploaderHandle handle);
/* Aborts the running request promptly and returns at once; the result callback then
 * reports 5. The upload continues from the platform's offset at the next Start. */
KVR_API int KVRUploaderPause(KVRUploaderHandle handle);
/* Like Pause, but returns only when the transfer has ended and the file is closed (at most a
 * few seconds). Called from inside a callback it does not wait. */
KVR_API int KVRUploaderStop(KVRUploaderHandle handle);
/* Aborts a running transfer and terminates the upload on the platform, asynchronously; the
 * delete callback reports the outcome (0 also when the platform never held the upload). */
KVR_API int KVRUploaderDelete(KVRUploaderHandle handle);
/* Invalidates the handle. No callback of this handle is called once it returns (unless it
 * is called from inside one of them). A running transfer is aborted; its resume record
 * stays. */
KVR_API int KVRUploaderDestroy(KVRUploaderHandle handle);

#ifdef __cplusplus
}
#endif
