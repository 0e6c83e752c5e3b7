#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <QString>

struct UploadState;

// Writes the body of one PATCH to the upload's file on a thread of its own, so that reading
// and decrypting the socket overlaps with the CRC and the write. Bytes are gathered into
// aligned buffers of a few MiB; at most two wait for the writer, which bounds the memory of an
// upload whatever its size. Whole aligned blocks go to the file with O_DIRECT where the file
// system allows it: copying a gigabyte into the page cache costs more than receiving it. The
// upload's offset, CRC and MD5 move on only after a buffer has been written.
class UploadWriter
{
public:
    // Writes from offset on into the file at path.
    UploadWriter(const QString& path, qint64 offset, UploadState& upload);
    ~UploadWriter();
    UploadWriter(const UploadWriter&) = delete;
    UploadWriter& operator=(const UploadWriter&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Takes bytes; false once a write failed or the upload was terminated.
    bool Append(const char* data, size_t length);
    // The free part of the buffer being filled (never empty), for reading the body straight
    // into it; Commit(n) then takes its first n bytes as Append would.
    char* Space() const { return filling_.data + filling_.size; }
    size_t SpaceSize() const { return filling_.capacity - filling_.size; }
    bool Commit(size_t length);
    // Hands what is gathered to the writer now (used when the body arrives slowly).
    void Flush();
    // Writes everything taken so far and stops the thread; false when a write failed.
    bool Finish();
    bool Failed() const;

private:
    struct Chunk
    {
        char* data = nullptr;
        size_t size = 0;
        size_t capacity = 0;
    };

    Chunk TakeChunk(size_t capacity);
    void HandOver();
    void Run();
    bool Write(const Chunk& chunk);

    static constexpr size_t kBlock = 4096;
    static constexpr size_t kBufferSize = 4 << 20;
    static constexpr size_t kHugePage = 2 << 20;
    static constexpr size_t kMaxQueued = 2;

    int fd_ = -1;
    int directFd_ = -1;
    qint64 position_;  // file offset of the next byte the writer writes
    UploadState& upload_;
    Chunk filling_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> queue_;
    std::vector<char*> spare_;
    bool closing_ = false;
    // Read for every received piece of the body, so without taking the lock.
    std::atomic<bool> failed_{false};
    std::atomic<bool> stopped_{false};  // the upload was terminated
    bool finished_ = false;
    std::thread thread_;
};
