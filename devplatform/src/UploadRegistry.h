#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include <QHash>
#include <QString>

#include "Crc64.h"
#include "Md5Stream.h"

class Database;

// The live state of one tus upload. offset, crc and md5 describe exactly the bytes written to
// the upload's file; they only move forward after a write has returned. The hashes are taken
// as the bytes arrive and stored with the upload (SaveHashes), so neither finishing the upload
// nor restarting the server reads the file again.
struct UploadState
{
    enum State
    {
        Receiving = 0,
        Complete = 1,
        Terminated = 2
    };

    QString id;
    QString vid;
    QString path;        // the upload's file
    qint64 owner = 0;    // the library
    qint64 account = 0;  // the account that created it: the only one that may use it
    qint64 length = 0;
    QString metadata;  // Upload-Metadata as the creation sent it

    std::mutex mutex;  // guards the members below
    std::condition_variable idle;
    qint64 offset = 0;
    Crc64 crc;
    Md5Stream md5;
    bool crcKnown = true;  // false for a finished upload whose bytes the server never saw
    int state = Receiving;
    bool busy = false;  // a PATCH is writing
};

// Upload states by id, loaded from the store on first use. After a restart the offset is the
// file's size; the hashes continue from the stored ones over the bytes written after them.
class UploadRegistry
{
public:
    explicit UploadRegistry(const Database& db) : db_(db) {}

    // Null when the store has no such upload.
    std::shared_ptr<UploadState> Find(const QString& id);
    void Add(const std::shared_ptr<UploadState>& upload);
    // Stores the upload's offset and hash states (only while it is receiving).
    void SaveHashes(UploadState& upload) const;

private:
    std::shared_ptr<UploadState> Load(const QString& id) const;

    const Database& db_;
    std::mutex mutex_;
    QHash<QString, std::shared_ptr<UploadState>> uploads_;
};
