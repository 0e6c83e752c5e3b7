#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "TusUpload.h"
#include "kvr_upload_sdk.h"

namespace kvr {

// The object behind one uploader handle. Client calls only change flags under the mutex and
// return; the work runs on a detached library thread that lives while there is something to
// do (a run or a delete) and holds the object alive. States of a handle:
//
//   idle --Start--> running --(0/112/19/2/4/10/...)--> idle      result callback
//                      | Pause/Stop: abort flag, request aborted
//                      +--> stopping --(5)--> idle                result callback
//                      |       `--Start--> runs again after reporting 5
//                      | Delete: abort flag
//                      +--> deleting --DELETE--> idle            (result 5), delete callback
//   any --Destroy--> destroyed: no callback after Destroy returns; the thread winds down
class Uploader : public std::enable_shared_from_this<Uploader>
{
public:
    int SetParam(const KVRUploadParam& param);
    const char* Vid();
    int SetVid(const std::string& vid);
    int Release();
    int SetProgressHandler(KVRProgressCallback fn, void* user);
    int SetResultHandler(KVRResultCallback fn, void* user);
    int SetDeleteHandler(KVRDeleteCallback fn, void* user);
    int Start();
    int Pause();
    int Stop();
    int Delete();
    void Destroy();

    // Waits until every library thread of every uploader has ended; false on time-out.
    static bool WaitForAllWorkers(std::chrono::milliseconds timeout);

private:
    void EnsureWorker();  // mutex_ held
    void WorkerMain();
    UploadJob MakeJob() const;  // mutex_ held
    void ReportProgress(int64_t uploaded, int64_t total, bool force);
    void ReportResult(const Outcome& outcome);
    void ReportDelete(const Outcome& outcome);

    std::mutex mutex_;
    std::condition_variable idle_;
    bool hasParam_ = false;
    UploadJob job_;
    std::string vid_;
    bool workerActive_ = false;
    std::thread::id workerId_;
    bool running_ = false;
    bool deleting_ = false;
    bool runRequested_ = false;
    bool deleteRequested_ = false;
    std::atomic<bool> destroyed_{false};
    std::atomic<int> abort_{kNoAbort};

    // Held while a callback runs, so Destroy can guarantee silence once it returns.
    std::recursive_mutex callbackMutex_;
    KVRProgressCallback progressFn_ = nullptr;
    void* progressUser_ = nullptr;
    KVRResultCallback resultFn_ = nullptr;
    void* resultUser_ = nullptr;
    KVRDeleteCallback deleteFn_ = nullptr;
    void* deleteUser_ = nullptr;
    int64_t lastReported_ = -1;
    std::chrono::steady_clock::time_point lastReportTime_{};
};

}  // namespace kvr
