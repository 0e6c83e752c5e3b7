#include "UploadWriter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QDebug>

#include "UploadRegistry.h"

namespace {

bool WriteAt(int fd, const char* data, size_t length, qint64 offset)
{
    while (length > 0) {
        const ssize_t n = ::pwrite(fd, data, length, offset);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        offset += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

UploadWriter::UploadWriter(const QString& path, qint64 offset, UploadState& upload)
    : position_(offset), upload_(upload)
{
    const QByteArray name = path.toLocal8Bit();
    fd_ = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    directFd_ = ::open(name.constData(), O_WRONLY | O_CLOEXEC | O_DIRECT);  // may be refused
    // Until the file offset is block-aligned the bytes go through the page cache; a first
    // buffer just large enough to reach the next block boundary keeps every later one aligned.
    const size_t toBoundary = static_cast<size_t>(offset % static_cast<qint64>(kBlock));
    filling_ = TakeChunk(toBoundary == 0 ? kBufferSize : kBlock - toBoundary);
    thread_ = std::thread([this] { Run(); });
}

UploadWriter::~UploadWriter()
{
    Finish();
    for (char* data : spare_) {
        free(data);
    }
    free(filling_.data);
    if (directFd_ >= 0) {
        ::close(directFd_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

UploadWriter::Chunk UploadWriter::TakeChunk(size_t capacity)
{
    Chunk chunk;
    chunk.capacity = capacity;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!spare_.empty()) {
        chunk.data = spare_.back();
        spare_.pop_back();
    } else {
        // Aligned to huge pages and asking for them: pinning a buffer's pages for each direct
        // write, and walking them while hashing, costs less over two pages than over a
        // thousand.
        void* memory = nullptr;
        if (posix_memalign(&memory, kHugePage, kBufferSize) != 0) {
            throw std::bad_alloc();
        }
        madvise(memory, kBufferSize, MADV_HUGEPAGE);
        chunk.data = static_cast<char*>(memory);
    }
    return chunk;
}

bool UploadWriter::Append(const char* data, size_t length)
{
    while (length > 0) {
        const size_t take = std::min(length, SpaceSize());
        memcpy(Space(), data, take);
        Commit(take);
        data += take;
        length -= take;
    }
    return !failed_ && !stopped_;
}

bool UploadWriter::Commit(size_t length)
{
    filling_.size += length;
    if (filling_.size == filling_.capacity) {
        HandOver();
    }
    return !failed_ && !stopped_;
}

void UploadWriter::Flush()
{
    if (filling_.size > 0) {
        HandOver();
    }
}

void UploadWriter::HandOver()
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return queue_.size() < kMaxQueued || failed_; });
        queue_.push_back(filling_);
        changed_.notify_all();
    }
    // A flushed partial chunk leaves the file unaligned; the next one is sized to realign it.
    qint64 queuedEnd = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queuedEnd = position_;
        for (const Chunk& chunk : queue_) {
            queuedEnd += static_cast<qint64>(chunk.size);
        }
    }
    const size_t toBoundary = static_cast<size_t>(queuedEnd % static_cast<qint64>(kBlock));
    filling_ = TakeChunk(toBoundary == 0 ? kBufferSize : kBlock - toBoundary);
}

bool UploadWriter::Finish()
{
    if (finished_ || fd_ < 0) {
        return fd_ >= 0 && !Failed();
    }
    finished_ = true;
    Flush();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        changed_.notify_all();
    }
    thread_.join();
    return !Failed();
}

bool UploadWriter::Failed() const
{
    return failed_;
}

bool UploadWriter::Write(const Chunk& chunk)
{
    size_t direct = 0;
    if (directFd_ >= 0 && position_ % static_cast<qint64>(kBlock) == 0) {
        direct = chunk.size / kBlock * kBlock;
    }
    if (direct > 0 && !WriteAt(directFd_, chunk.data, direct, position_)) {
        if (errno != EINVAL) {
            return false;
        }
        // The file system refuses direct I/O after all: fall back for good.
        ::close(directFd_);
        directFd_ = -1;
        direct = 0;
    }
    return WriteAt(fd_, chunk.data + direct, chunk.size - direct,
                   position_ + static_cast<qint64>(direct));
}

void UploadWriter::Run()
{
    for (;;) {
        Chunk chunk;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
            if (queue_.empty()) {
                return;
            }
            chunk = queue_.front();
        }
        const bool ok = !Failed() && Write(chunk);
        if (ok) {
            // Only this thread moves the hashes while the PATCH runs; they are computed outside
            // the upload's lock so a HEAD is never held up by them.
            Crc64 crc;
            Md5Stream md5;
            {
                std::lock_guard<std::mutex> guard(upload_.mutex);
                crc = upload_.crc;
                md5 = upload_.md5;
            }
            crc.Update(chunk.data, chunk.size);
            md5.Update(chunk.data, chunk.size);
            std::lock_guard<std::mutex> guard(upload_.mutex);
            upload_.crc = crc;
            upload_.md5 = md5;
            upload_.offset += static_cast<qint64>(chunk.size);
            if (upload_.state == UploadState::Terminated) {
                stopped_ = true;
            }
        } else if (!Failed()) {
            qWarning() << "upload write failed:" << upload_.id << strerror(errno);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        position_ += static_cast<qint64>(chunk.size);
        if (!ok) {
            failed_ = true;
        }
        queue_.pop_front();
        spare_.push_back(chunk.data);
        changed_.notify_all();
    }
}
