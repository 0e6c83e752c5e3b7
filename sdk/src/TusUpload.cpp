#include "TusUpload.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "Crc64.h"
#include "CurlFailure.h"
#include "Logger.h"
#include "TusMetadata.h"
#include "Url.h"
#include "kvr_upload_sdk.h"

namespace kvr {
namespace {

constexpr const char kTusVersion[] = "Tus-Resumable: 1.0.0";
constexpr int64_t kCheckpointEvery = 4 << 20;
// A record written while a PATCH streams names a point this far behind the bytes handed to
// the socket, so that after a crash it is almost always at or before the server's offset.
constexpr int64_t kRecordTrail = 16 << 20;
// ... and is written every second or every 64 MiB, whichever comes first, so a new run
// checksums at most about 64 MiB + kRecordTrail of the file again before it sends.
constexpr auto kRecordEvery = std::chrono::seconds(1);
constexpr int64_t kRecordBytes = 64 << 20;
constexpr size_t kMaxCheckpoints = 64;

Outcome Stopped()
{
    return {KVR_ERR_STOPPED, "upload stopped"};
}

std::string BaseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The "message" string of the platform's JSON refusal body, without a JSON library: the body
// is small and only this one field is shown.
std::string JsonMessage(const std::string& body)
{
    auto pos = body.find("\"message\"");
    if (pos == std::string::npos) {
        return {};
    }
    pos = body.find(':', pos);
    pos = pos == std::string::npos ? pos : body.find('"', pos);
    if (pos == std::string::npos) {
        return {};
    }
    std::string out;
    for (size_t i = pos + 1; i < body.size(); ++i) {
        if (body[i] == '\\' && i + 1 < body.size()) {
            out += body[++i];
        } else if (body[i] == '"') {
            return out;
        } else {
            out += body[i];
        }
    }
    return {};
}

}  // namespace

TusUpload::TusUpload(UploadJob job, const std::atomic<int>& abort, ProgressFn progress)
    : job_(std::move(job)),
      abort_(abort),
      progress_(std::move(progress)),
      http_(job_.settings, abort),
      signer_(job_.settings.appId, job_.settings.appSecret)
{
}

TusUpload::~TusUpload()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

double TusUpload::BackoffSeconds(int attempt)
{
    return std::min(30.0, 0.5 * std::pow(2.0, attempt - 1));
}

std::vector<std::string> TusUpload::BaseHeaders(const std::string& method, const std::string& url,
                                                const std::string& offset,
                                                const std::string& length) const
{
    std::vector<std::string> headers{kTusVersion};
    for (auto& h : signer_.Headers(method, Url::Path(url), offset, length)) {
        headers.push_back(std::move(h));
    }
    return headers;
}

Outcome TusUpload::Run()
{
    Outcome out = OpenFile();
    if (out.code != 0) {
        return out;
    }
    const std::string& cache = job_.settings.cachePath;
    haveRecord_ = ResumeRecord::Load(cache, job_.vid, &record_) && record_.size == job_.size &&
                  record_.mtime == job_.mtime;
    if (!haveRecord_) {
        ResumeRecord::Remove(cache, job_.vid);
    }

    enum class State
    {
        kCreate,
        kHead,
        kPatch
    } state = haveRecord_ ? State::kHead : State::kCreate;
    int failures = 0;
    int restarts = 0;
    int64_t progressMark = -1;
    for (;;) {
        if (abort_ != 0) {
            return Stopped();
        }
        Step step = Step::kDone;
        switch (state) {
            case State::kCreate:
                step = Create(&out);
                break;
            case State::kHead:
                step = Head(&out);
                break;
            case State::kPatch:
                step = Patch(&out);
                break;
        }
        if (serverOffset_ > progressMark) {
            progressMark = serverOffset_;
            failures = 0;  // only failures without progress count towards giving up
        }
        switch (step) {
            case Step::kDone:
                return out;
            case Step::kNext:
                state = State::kPatch;
                break;
            case Step::kRetry:
                if (abort_ != 0) {
                    return Stopped();
                }
                if (++failures >= kMaxAttempts) {
                    out.message += " (after " + std::to_string(failures) + " attempts)";
                    return Settle(out);
                }
                KVR_LOG(Logger::kInfo, job_.vid + ": retry " + std::to_string(failures) +
                                           " after: " + out.message);
                if (!WaitBackoff(failures)) {
                    return Stopped();
                }
                state = haveRecord_ ? State::kHead : State::kCreate;
                break;
            case Step::kRestart:
                if (++restarts > 2) {
                    return {KVR_ERR_UPLOAD_GONE,
                            "UploadFileNotExist: the platform keeps losing the upload"};
                }
                KVR_LOG(Logger::kInfo,
                        job_.vid + ": upload unknown to the server, creating it anew");
                haveRecord_ = false;
                ResumeRecord::Remove(cache, job_.vid);
                state = State::kCreate;
                break;
        }
    }
}

Outcome TusUpload::OpenFile()
{
    struct stat st
    {
    };
    if (::stat(job_.filePath.c_str(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) {
            return {KVR_ERR_FILE_MISSING, "file does not exist: " + job_.filePath};
        }
        return {KVR_ERR_FILE_OPEN, "cannot open file: " + std::string(std::strerror(err))};
    }
    if (!S_ISREG(st.st_mode)) {
        return {KVR_ERR_FILE_OPEN, "cannot open file: not a regular file"};
    }
    if (st.st_size == 0) {
        return {KVR_ERR_FILE_EMPTY, "file is empty: " + job_.filePath};
    }
    fd_ = ::open(job_.filePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        return {KVR_ERR_FILE_OPEN, "cannot open file: " + std::string(std::strerror(errno))};
    }
    if (st.st_size != job_.size || st.st_mtime != job_.mtime) {
        return {KVR_ERR_FILE_CHANGED, "fileContentError: the file changed after it was added"};
    }
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return {};
}

TusUpload::Step TusUpload::Create(Outcome* out)
{
    const std::string collection = job_.settings.CollectionUrl();
    TusMetadata meta;
    meta.Add("vid", job_.vid);
    meta.Add("filename", BaseName(job_.filePath));
    meta.Add("title", job_.title);
    meta.Add("desc", job_.desc);
    meta.Add("tag", job_.tag);
    meta.Add("cataid", std::to_string(job_.cateId));
    meta.Add("luping", job_.luping == 1 ? "1" : "0");
    const std::string length = std::to_string(job_.size);
    auto headers = BaseHeaders("POST", collection, "", length);
    headers.push_back("Upload-Length: " + length);
    headers.push_back("Upload-Metadata: " + meta.Encode());

    const HttpResponse r = http_.Perform("POST", collection, headers);
    if (r.curlCode != CURLE_OK || r.status != 201) {
        *out = FailureOf(r, true);
        return IsTransient(r) ? Step::kRetry : Step::kDone;
    }
    const std::string location = r.Header("location");
    const std::string url = location.empty() ? std::string() : Url::Resolve(collection, location);
    int64_t offset = r.Header("upload-offset").empty() ? 0 : r.HeaderInt("upload-offset");
    if (url.empty() || offset < 0 || offset > job_.size) {
        *out = {KVR_ERR_PROTOCOL,
                "http response parse error: creation answer without a usable "
                "Location or Upload-Offset"};
        return Step::kDone;
    }
    if (offset == job_.size) {
        ResumeRecord::Remove(job_.settings.cachePath, job_.vid);
        progress_(job_.size, job_.size, true);
        *out = {KVR_DONE_WITHOUT_TRANSFER, "SecondPass: the platform already holds this file"};
        return Step::kDone;
    }
    record_ = ResumeRecord{url, job_.size, job_.mtime, 0, 0};
    haveRecord_ = true;
    uint64_t crc = 0;
    if (!CrcAt(offset, &crc)) {
        *out = abort_ != 0 ? Stopped() : Outcome{KVR_ERR_FILE_OPEN, "cannot read file"};
        return Step::kDone;
    }
    serverOffset_ = offset;
    SaveRecord(offset, crc);
    progress_(offset, job_.size, true);
    return Step::kNext;
}

TusUpload::Step TusUpload::Head(Outcome* out)
{
    const HttpResponse r =
        http_.Perform("HEAD", record_.url, BaseHeaders("HEAD", record_.url, "", ""));
    if (r.curlCode == CURLE_OK && (r.status == 404 || r.status == 410)) {
        return Step::kRestart;
    }
    if (r.curlCode != CURLE_OK || (r.status != 200 && r.status != 204)) {
        *out = FailureOf(r, false);
        return IsTransient(r) ? Step::kRetry : Step::kDone;
    }
    const int64_t offset = r.HeaderInt("upload-offset");
    const int64_t length = r.HeaderInt("upload-length");
    if (length >= 0 && length != job_.size) {
        return Step::kRestart;
    }
    if (offset < 0 || offset > job_.size) {
        *out = {KVR_ERR_PROTOCOL, "http response parse error: HEAD without a valid Upload-Offset"};
        return Step::kDone;
    }
    uint64_t crc = 0;
    if (!CrcAt(offset, &crc)) {
        *out = abort_ != 0 ? Stopped() : Outcome{KVR_ERR_FILE_OPEN, "cannot read file"};
        return Step::kDone;
    }
    serverOffset_ = offset;
    SaveRecord(offset, crc);
    progress_(offset, job_.size, true);
    if (offset == job_.size) {
        *out = Verify(r, crc);
        return Step::kDone;
    }
    return Step::kNext;
}

TusUpload::Step TusUpload::Patch(Outcome* out)
{
    const int64_t start = serverOffset_;
    if (!CrcAt(start, &readCrc_) || ::lseek(fd_, start, SEEK_SET) != start) {
        *out = abort_ != 0 ? Stopped() : Outcome{KVR_ERR_FILE_OPEN, "cannot read file"};
        return Step::kDone;
    }
    readPos_ = start;
    patchStart_ = start;
    patchSent_ = 0;
    fileError_ = 0;
    lastRecordSave_ = std::chrono::steady_clock::now();
    stream_ = std::make_unique<TrafficLimiter::Stream>();

    const std::string offset = std::to_string(start);
    auto headers = BaseHeaders("PATCH", record_.url, offset, "");
    headers.push_back("Upload-Offset: " + offset);
    headers.push_back("Content-Type: application/offset+octet-stream");
    const HttpResponse r = http_.Perform(
        "PATCH", record_.url, headers, [this](char* buf, size_t max) { return ReadBody(buf, max); },
        job_.size - start,
        [this](int64_t sent) {
            patchSent_ = sent;
            progress_(patchStart_ + sent, job_.size, false);
        });
    stream_.reset();

    if (fileError_ != 0) {
        *out = {fileError_, fileError_ == KVR_ERR_FILE_CHANGED
                                ? "fileContentError: the file changed during the upload"
                                : "cannot read file: " + std::string(std::strerror(EIO))};
        return Step::kDone;
    }
    if (abort_ != 0) {
        SaveStreamingRecord(ResumeRecord::kSynced);  // pause, stop: the next run starts here
        *out = Stopped();
        return Step::kDone;
    }
    if (r.curlCode == CURLE_OK && (r.status == 404 || r.status == 410)) {
        return Step::kRestart;
    }
    if (r.curlCode == CURLE_OK && r.status == 409) {
        *out = {KVR_ERR_PROTOCOL, "offset conflict (HTTP 409)"};
        return Step::kRetry;  // HEAD tells the server's offset
    }
    if (r.curlCode != CURLE_OK || (r.status != 204 && r.status != 200)) {
        *out = FailureOf(r, false);
        if (IsTransient(r)) {
            return Step::kRetry;  // the retry starts with a HEAD
        }
        if (r.curlCode != CURLE_OK) {
            *out = Settle(*out);
        }
        return Step::kDone;
    }
    const int64_t newOffset = r.HeaderInt("upload-offset");
    if (newOffset < start || newOffset > job_.size) {
        *out = {KVR_ERR_PROTOCOL, "http response parse error: PATCH without a valid Upload-Offset"};
        return Step::kDone;
    }
    uint64_t crc = readCrc_;
    if (newOffset != readPos_ && !CrcAt(newOffset, &crc)) {
        *out = abort_ != 0 ? Stopped() : Outcome{KVR_ERR_FILE_OPEN, "cannot read file"};
        return Step::kDone;
    }
    serverOffset_ = newOffset;
    SaveRecord(newOffset, crc);
    progress_(newOffset, job_.size, true);
    if (newOffset == job_.size) {
        *out = Verify(r, crc);
        return Step::kDone;
    }
    return Step::kNext;
}

size_t TusUpload::ReadBody(char* buf, size_t max)
{
    const size_t want = stream_->MaxChunk(max);
    if (!stream_->Throttle(want, abort_)) {
        return CURL_READFUNC_ABORT;
    }
    ssize_t got;
    do {
        got = ::read(fd_, buf, want);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        fileError_ = KVR_ERR_FILE_OPEN;
        return CURL_READFUNC_ABORT;
    }
    if (got == 0 && readPos_ < job_.size) {
        fileError_ = KVR_ERR_FILE_CHANGED;  // the file shrank under us
        return CURL_READFUNC_ABORT;
    }
    const int64_t lastCheckpoint = checkpoints_.empty() ? 0 : checkpoints_.back().first;
    readCrc_ = Crc64::Update(readCrc_, buf, size_t(got));
    readPos_ += got;
    if (readPos_ - lastCheckpoint >= kCheckpointEvery) {
        RememberCheckpoint(readPos_, readCrc_);
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastRecordSave_ >= kRecordEvery ||
        patchStart_ + patchSent_ - kRecordTrail - record_.offset >= kRecordBytes) {
        lastRecordSave_ = now;
        // Not flushed to the disk: a flush takes milliseconds, sometimes a hundred, and this
        // runs between two chunks of the body. A process crash keeps the record all the same.
        SaveStreamingRecord(ResumeRecord::kCached);
    }
    return size_t(got);
}

void TusUpload::SaveStreamingRecord(ResumeRecord::Durability durability)
{
    const int64_t safe = patchStart_ + patchSent_ - kRecordTrail;
    for (auto it = checkpoints_.rbegin(); it != checkpoints_.rend(); ++it) {
        if (it->first <= safe) {
            if (it->first > record_.offset) {
                SaveRecord(it->first, it->second, durability);
            }
            return;
        }
    }
}

bool TusUpload::CrcAt(int64_t offset, uint64_t* crc)
{
    // Start from the nearest known point at or before offset.
    int64_t from = 0;
    uint64_t value = 0;
    auto consider = [&](int64_t o, uint64_t c) {
        if (o <= offset && o > from) {
            from = o;
            value = c;
        }
    };
    if (haveRecord_) {
        consider(record_.offset, record_.crc);
    }
    for (const auto& [o, c] : checkpoints_) {
        consider(o, c);
    }
    consider(readPos_, readCrc_);
    if (from < offset) {
        KVR_LOG(Logger::kDebug, job_.vid + ": checksum of bytes " + std::to_string(from) + ".." +
                                    std::to_string(offset) + " from the file");
        std::vector<char> buffer(1 << 20);
        while (from < offset) {
            if (abort_ != 0) {
                return false;
            }
            const size_t want = size_t(std::min<int64_t>(int64_t(buffer.size()), offset - from));
            const ssize_t got = ::pread(fd_, buffer.data(), want, from);
            if (got <= 0) {
                if (got < 0 && errno == EINTR) {
                    continue;
                }
                return false;
            }
            value = Crc64::Update(value, buffer.data(), size_t(got));
            from += got;
        }
        RememberCheckpoint(offset, value);
    }
    *crc = value;
    return true;
}

void TusUpload::RememberCheckpoint(int64_t offset, uint64_t crc)
{
    checkpoints_.emplace_back(offset, crc);
    if (checkpoints_.size() > kMaxCheckpoints) {
        checkpoints_.pop_front();
    }
}

void TusUpload::SaveRecord(int64_t offset, uint64_t crc, ResumeRecord::Durability durability)
{
    record_.offset = offset;
    record_.crc = crc;
    if (!job_.settings.cachePath.empty() &&
        !record_.Save(job_.settings.cachePath, job_.vid, durability)) {
        KVR_LOG(Logger::kError,
                job_.vid + ": cannot write the resume record in " + job_.settings.cachePath);
    }
}

Outcome TusUpload::Verify(const HttpResponse& response, uint64_t crc)
{
    const std::string serverCrc = response.Header("kvr-crc64");
    if (!serverCrc.empty()) {
        char* end = nullptr;
        const unsigned long long value = std::strtoull(serverCrc.c_str(), &end, 10);
        if (*end != '\0' || value != crc) {
            KVR_LOG(Logger::kError, job_.vid + ": CRC-64 mismatch, local " + std::to_string(crc) +
                                        ", platform " + serverCrc);
            return {KVR_ERR_CRC64,
                    "CRC64 check failed: local " + std::to_string(crc) + ", platform " + serverCrc};
        }
    }
    ResumeRecord::Remove(job_.settings.cachePath, job_.vid);
    return {KVR_OK, "upload complete"};
}

Outcome TusUpload::Settle(const Outcome& failure)
{
    if (!haveRecord_ || abort_ != 0) {
        return failure;
    }
    KVR_LOG(Logger::kInfo,
            job_.vid + ": asking the platform's offset before reporting: " + failure.message);
    Outcome verified;
    if (Head(&verified) == Step::kDone && serverOffset_ == job_.size) {
        return verified;  // every byte arrived: 0, or 19 when the checksums differ
    }
    return abort_ != 0 ? Stopped() : failure;
}

bool TusUpload::IsTransient(const HttpResponse& r) const
{
    if (r.curlCode == CURLE_OK) {
        return r.status >= 500 || r.status == 408 || r.status == 429;
    }
    return CurlFailure::IsTransient(r.curlCode);
}

Outcome TusUpload::FailureOf(const HttpResponse& r, bool creation) const
{
    if (r.curlCode != CURLE_OK) {
        if (r.curlCode == CURLE_ABORTED_BY_CALLBACK) {
            return Stopped();
        }
        return {KVR_ERR_NETWORK,
                CurlFailure::MessageKey(r.curlCode, r.connected) + " (" + r.curlError + ")"};
    }
    const std::string status = "HTTP " + std::to_string(r.status);
    const int64_t platformCode = r.HeaderInt("kvr-error-code");
    const std::string message = JsonMessage(r.body);
    if (creation && r.status == 413) {
        return {KVR_ERR_NO_SPACE,
                "CapacityOverLimit: no space left for this file (" + status + ")"};
    }
    if (platformCode > 0 && r.status < 500) {
        return {int(KVR_PLATFORM_ERROR_BASE + platformCode),
                message.empty() ? "platform error " + std::to_string(platformCode) : message};
    }
    if (r.status == 408 || r.status == 504) {
        return {KVR_ERR_NETWORK,
                "RequestTimeout: the platform did not answer in time (" + status + ")"};
    }
    if (r.status == 507) {
        // Retried like any 5xx (the offset stays at the bytes stored); if it persists, the
        // platform has no room for the rest.
        return {KVR_ERR_NO_SPACE,
                "CapacityOverLimit: the platform cannot store the bytes (" + status + ")"};
    }
    if (r.status >= 500) {
        return {KVR_ERR_SERVER, "InternalError: the platform failed (" + status + ")" +
                                    (message.empty() ? "" : ": " + message)};
    }
    if (r.status == 401 || r.status == 403) {
        return {KVR_ERR_SERVER, "AccessDenied: the platform refused the request (" + status + ")"};
    }
    if (r.status == 413) {
        return {KVR_ERR_NO_SPACE, "CapacityOverLimit: the file is too large (" + status + ")"};
    }
    return {KVR_ERR_PROTOCOL, "http response parse error: unexpected answer " + status};
}

bool TusUpload::WaitBackoff(int attempt)
{
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(BackoffSeconds(attempt)));
    while (std::chrono::steady_clock::now() < until) {
        if (abort_ != 0) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return abort_ == 0;
}

Outcome TusUpload::Terminate()
{
    ResumeRecord record;
    if (!ResumeRecord::Load(job_.settings.cachePath, job_.vid, &record)) {
        return {KVR_OK, "nothing to terminate"};
    }
    Outcome out;
    for (int attempt = 1;; ++attempt) {
        if (abort_ != 0) {
            return Stopped();
        }
        const HttpResponse r =
            http_.Perform("DELETE", record.url, BaseHeaders("DELETE", record.url, "", ""));
        if (r.curlCode == CURLE_OK &&
            (r.status == 204 || r.status == 200 || r.status == 404 || r.status == 410)) {
            ResumeRecord::Remove(job_.settings.cachePath, job_.vid);
            return {KVR_OK, "upload terminated"};
        }
        out = FailureOf(r, false);
        if (!IsTransient(r) || attempt >= kMaxAttempts || !WaitBackoff(attempt)) {
            return out;
        }
    }
}

}  // namespace kvr
