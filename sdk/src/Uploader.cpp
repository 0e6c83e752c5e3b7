#include "Uploader.h"

#include <openssl/crypto.h>
#include <sys/stat.h>

#include "Logger.h"
#include "VideoId.h"

namespace kvr {
namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(200);
constexpr auto kStopWait = std::chrono::seconds(10);

// Library threads are detached (a thread may outlive its handle); this count lets
// KVRReleaseSdkLibrary wait for them.
std::mutex gWorkersMutex;
std::condition_variable gWorkersDone;
int gWorkers = 0;

std::string Text(const char* s)
{
    return s ? std::string(s) : std::string();
}

}  // namespace

bool Uploader::WaitForAllWorkers(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(gWorkersMutex);
    return gWorkersDone.wait_for(lock, timeout, [] { return gWorkers == 0; });
}

int Uploader::SetParam(const KVRUploadParam& param)
{
    if (!param.filePath || !*param.filePath) {
        return KVR_ERR_INVALID_ARGUMENT;
    }
    const SdkSettings settings = SdkSettings::Get();
    if (!settings.initialised) {
        return KVR_ERR_NOT_INITIALISED;
    }
    const std::string path = VideoId::AbsolutePath(param.filePath);
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? KVR_ERR_FILE_MISSING : KVR_ERR_FILE_OPEN;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ || deleting_) {
        return KVR_ERR_BUSY;
    }
    job_ = UploadJob{};
    job_.filePath = path;
    job_.title = Text(param.title);
    job_.desc = Text(param.desc);
    job_.tag = Text(param.tag);
    job_.cateId = param.cateId;
    job_.luping = param.luping;
    job_.size = st.st_size;
    job_.mtime = st.st_mtime;
    vid_ = VideoId::Derive(settings.userId, path, job_.size, job_.mtime, job_.cateId);
    hasParam_ = true;
    KVR_LOG(Logger::kDebug, "vid " + vid_ + " for " + path);
    return KVR_OK;
}

const char* Uploader::Vid()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return vid_.c_str();
}

int Uploader::SetVid(const std::string& vid)
{
    if (!VideoId::IsWellFormed(vid)) {
        return KVR_ERR_INVALID_ARGUMENT;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ || deleting_) {
        return KVR_ERR_BUSY;
    }
    vid_ = vid;
    return KVR_OK;
}

int Uploader::Release()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_ || deleting_) {
        return KVR_ERR_BUSY;
    }
    hasParam_ = false;
    job_ = UploadJob{};
    vid_.clear();
    return KVR_OK;
}

int Uploader::SetProgressHandler(KVRProgressCallback fn, void* user)
{
    std::lock_guard<std::recursive_mutex> lock(callbackMutex_);
    progressFn_ = fn;
    progressUser_ = user;
    return KVR_OK;
}

int Uploader::SetResultHandler(KVRResultCallback fn, void* user)
{
    std::lock_guard<std::recursive_mutex> lock(callbackMutex_);
    resultFn_ = fn;
    resultUser_ = user;
    return KVR_OK;
}

int Uploader::SetDeleteHandler(KVRDeleteCallback fn, void* user)
{
    std::lock_guard<std::recursive_mutex> lock(callbackMutex_);
    deleteFn_ = fn;
    deleteUser_ = user;
    return KVR_OK;
}

int Uploader::Start()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (vid_.empty()) {
        return KVR_ERR_NO_PARAM;
    }
    if (deleting_ || deleteRequested_) {
        return KVR_ERR_BUSY;
    }
    if (running_ && abort_ == kNoAbort) {
        return KVR_OK;  // already running
    }
    // While a pause winds down the request is remembered and runs once 5 is reported.
    runRequested_ = true;
    EnsureWorker();
    return KVR_OK;
}

int Uploader::Pause()
{
    std::lock_guard<std::mutex> lock(mutex_);
    runRequested_ = false;
    if (running_ && abort_ == kNoAbort) {
        abort_ = kAbortPause;
    }
    return KVR_OK;
}

int Uploader::Stop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    runRequested_ = false;
    if (running_ && abort_ == kNoAbort) {
        abort_ = kAbortPause;
    }
    if (std::this_thread::get_id() == workerId_) {
        return KVR_OK;  // inside a callback: waiting would wait for ourselves
    }
    return idle_.wait_for(lock, kStopWait, [this] { return !running_; }) ? KVR_OK : KVR_ERR_BUSY;
}

int Uploader::Delete()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (vid_.empty()) {
        return KVR_ERR_NO_PARAM;
    }
    runRequested_ = false;
    deleteRequested_ = true;
    if (running_) {
        abort_ = kAbortDelete;
    }
    EnsureWorker();
    return KVR_OK;
}

void Uploader::Destroy()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        destroyed_ = true;
        abort_ = kAbortDestroy;
        runRequested_ = false;
        deleteRequested_ = false;
    }
    // Waits for a callback running on another thread; from inside a callback the recursive
    // mutex lets the caller through.
    std::lock_guard<std::recursive_mutex> lock(callbackMutex_);
    progressFn_ = nullptr;
    resultFn_ = nullptr;
    deleteFn_ = nullptr;
}

void Uploader::EnsureWorker()
{
    if (workerActive_ || destroyed_) {
        return;
    }
    workerActive_ = true;
    {
        std::lock_guard<std::mutex> lock(gWorkersMutex);
        ++gWorkers;
    }
    std::thread(&Uploader::WorkerMain, shared_from_this()).detach();
}

UploadJob Uploader::MakeJob() const
{
    UploadJob job = job_;
    job.vid = vid_;
    job.settings = SdkSettings::Get();
    return job;
}

void Uploader::WorkerMain()
{
    std::unique_lock<std::mutex> lock(mutex_);
    workerId_ = std::this_thread::get_id();
    while (!destroyed_) {
        if (deleteRequested_) {
            deleteRequested_ = false;
            deleting_ = true;
            abort_ = kNoAbort;
            const UploadJob job = MakeJob();
            lock.unlock();
            Outcome outcome = TusUpload(job, abort_, nullptr).Terminate();
            KVR_LOG(Logger::kInfo, job.vid + ": delete -> " + std::to_string(outcome.code) + " " +
                                       outcome.message);
            ReportDelete(outcome);
            lock.lock();
            deleting_ = false;
        } else if (runRequested_) {
            runRequested_ = false;
            running_ = true;
            abort_ = kNoAbort;
            const bool hasParam = hasParam_;
            const UploadJob job = MakeJob();
            lastReported_ = -1;
            lock.unlock();
            Outcome outcome{KVR_ERR_NO_PARAM, "uploader has no file"};
            if (hasParam) {
                outcome =
                    TusUpload(job, abort_, [this](int64_t uploaded, int64_t total, bool force) {
                        ReportProgress(uploaded, total, force);
                    }).Run();
            }
            KVR_LOG(outcome.code == 0 || outcome.code == KVR_ERR_STOPPED ? Logger::kInfo
                                                                         : Logger::kError,
                    job.vid + ": result " + std::to_string(outcome.code) + " " + outcome.message);
            // The file is closed here (TusUpload is gone): Stop may return.
            lock.lock();
            running_ = false;
            idle_.notify_all();
            lock.unlock();
            ReportResult(outcome);
            lock.lock();
        } else {
            break;
        }
    }
    workerActive_ = false;
    workerId_ = std::thread::id();
    running_ = false;
    idle_.notify_all();
    lock.unlock();
    // Free OpenSSL's per-thread state now rather than in the thread's exit handlers, which may
    // run after KVRReleaseSdkLibrary has returned and the process is ending.
    OPENSSL_thread_stop();
    std::lock_guard<std::mutex> workers(gWorkersMutex);
    if (--gWorkers == 0) {
        gWorkersDone.notify_all();
    }
}

void Uploader::ReportProgress(int64_t uploaded, int64_t total, bool force)
{
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastReportTime_ < kProgressInterval) {
        return;
    }
    if (lastReported_ == uploaded && !force) {
        return;
    }
    const int64_t increment =
        lastReported_ < 0 ? 0 : std::max<int64_t>(0, uploaded - lastReported_);
    lastReported_ = uploaded;
    lastReportTime_ = now;
    std::lock_guard<std::recursive_mutex> lock(callbackMutex_);
    if (progressFn_ && !destroyed_) {
        progressFn_(int(std::min<int64_t>(increment, INT32_MAX)), uploaded, total, progressUser_);
    }
}

void Uploader::ReportResult(const Outcome& outcome)
{
    std::lock_guard<std::recursive_mutex> lock(callbackMutex_);
    if (resultFn_ && !destroyed_) {
        resultFn_(outcome.code, outcome.message.c_str(), resultUser_);
    }
}

void Uploader::ReportDelete(const Outcome& outcome)
{
    std::lock_guard<std::recursive_mutex> lock(callbackMutex_);
    if (deleteFn_ && !destroyed_) {
        deleteFn_(outcome.code, outcome.message.c_str(), deleteUser_);
    }
}

}  // namespace kvr
