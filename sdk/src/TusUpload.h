#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "HttpClient.h"
#include "RequestSigner.h"
#include "ResumeRecord.h"
#include "SdkSettings.h"
#include "TrafficLimiter.h"

namespace kvr {

// What one run of an upload needs, copied from the uploader when it starts.
struct UploadJob
{
    SdkSettings settings;
    std::string vid;
    std::string filePath;
    std::string title;
    std::string desc;
    std::string tag;
    int64_t cateId = 0;
    int32_t luping = 0;
    int64_t size = 0;   // as seen when the vid was derived
    int64_t mtime = 0;  // idem
};

struct Outcome
{
    int code = 0;
    std::string message;
};

// Why a run was asked to end early (the uploader's abort flag).
enum AbortReason
{
    kNoAbort = 0,
    kAbortPause = 1,
    kAbortDelete = 2,
    kAbortDestroy = 3
};

// One run of one tus upload, on the calling (library) thread:
//
//            +-----------+  no usable record   +--------+ 201, offset = length
//   Run ---> | open file |-------------------->|  POST  |-----------------------> 112
//            +-----------+                     +--------+
//                 | record (url, size, mtime)       | 201 + Location: record written
//                 v                                 v
//            +--------+  404/410/length differs  +--------+
//            |  HEAD  |------------------------->|  POST  |  (once)
//            +--------+                          +--------+
//                 | server offset S: CRC of [0, S) continued from the best known point
//                 v
//            +--------+ 204, offset < length     (record written after every answer, at
//        +-->| PATCH  |-----------+               pause, and every 1 s or 64 MiB streamed)
//        |   +--------+           |
//        +----------------------- +
//                 | 204, offset = length: compare Kvr-Crc64 -> 0 or 19, record removed
//                 | transient failure: back-off, HEAD, PATCH again (6 tries without progress)
//                 | any other failure after a PATCH, or giving up: HEAD once; offset = length
//                 |   -> compare Kvr-Crc64 -> 0 or 19 (a finished upload is never a failure)
//                 | abort flag: request aborted at once -> 5
//                 | platform refusal -> 113 + code, 413 on creation -> 102
class TusUpload
{
public:
    using ProgressFn = std::function<void(int64_t uploaded, int64_t total, bool force)>;

    TusUpload(UploadJob job, const std::atomic<int>& abort, ProgressFn progress);
    ~TusUpload();

    Outcome Run();
    // Termination (DELETE) of the upload named by the vid's resume record.
    Outcome Terminate();

    // Seconds to wait before retry number `attempt` (1-based): 0.5, 1, 2, 4, 8, 16, ...
    static double BackoffSeconds(int attempt);
    static constexpr int kMaxAttempts = 6;

private:
    enum class Step
    {
        kDone,
        kNext,
        kRetry,
        kRestart
    };

    Outcome OpenFile();
    Step Create(Outcome* out);
    Step Head(Outcome* out);
    Step Patch(Outcome* out);
    Outcome Verify(const HttpResponse& response, uint64_t crc);
    Outcome FailureOf(const HttpResponse& response, bool creation) const;
    // Before a failure is reported: one HEAD, in case the platform holds every byte after all
    // (a connection that broke after the last byte). Then the verified result, else failure.
    Outcome Settle(const Outcome& failure);
    bool IsTransient(const HttpResponse& response) const;
    bool WaitBackoff(int attempt);
    size_t ReadBody(char* buf, size_t max);
    bool CrcAt(int64_t offset, uint64_t* crc);
    void RememberCheckpoint(int64_t offset, uint64_t crc);
    void SaveRecord(int64_t offset, uint64_t crc,
                    ResumeRecord::Durability durability = ResumeRecord::kSynced);
    // Records the newest checkpoint that the server surely holds while (or after) a PATCH
    // streams.
    void SaveStreamingRecord(ResumeRecord::Durability durability);
    std::vector<std::string> BaseHeaders(const std::string& method, const std::string& url,
                                         const std::string& offset,
                                         const std::string& length) const;

    UploadJob job_;
    const std::atomic<int>& abort_;
    ProgressFn progress_;
    HttpClient http_;
    RequestSigner signer_;
    int fd_ = -1;
    bool haveRecord_ = false;
    ResumeRecord record_;
    int64_t serverOffset_ = 0;
    // Streaming state of the running PATCH.
    int64_t readPos_ = 0;
    uint64_t readCrc_ = 0;
    int64_t patchStart_ = 0;
    int64_t patchSent_ = 0;
    int fileError_ = 0;
    std::deque<std::pair<int64_t, uint64_t>> checkpoints_;
    std::chrono::steady_clock::time_point lastRecordSave_{};
    std::unique_ptr<TrafficLimiter::Stream> stream_;
};

}  // namespace kvr
