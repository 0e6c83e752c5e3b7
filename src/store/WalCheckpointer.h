#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include <QString>

// Moves the database's write-ahead log into the database file on a thread of its own, every
// few seconds while the log holds anything new. A checkpoint syncs the disk, and while uploads
// run the disk is busy reading them: left to SQLite, the checkpoint would run on the GUI thread,
// in the commit that crosses the log's size threshold, and stall the window for as long as the
// sync takes. The checkpoint is passive: it never waits for, nor holds up, the GUI thread's
// reads and commits.
class WalCheckpointer
{
public:
    WalCheckpointer() = default;
    ~WalCheckpointer();
    WalCheckpointer(const WalCheckpointer&) = delete;
    WalCheckpointer& operator=(const WalCheckpointer&) = delete;

    // Starts checkpointing the database file at path every intervalMs (stopping a previous
    // run first).
    void Start(const QString& path, int intervalMs = 5000);
    // Stops the thread and closes its connection; a checkpoint under way finishes first.
    void Stop();

private:
    void Run(const QString& path, int intervalMs);

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread thread;
};
