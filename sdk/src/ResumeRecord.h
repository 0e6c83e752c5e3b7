#pragma once

#include <cstdint>
#include <string>

namespace kvr {

// What the library remembers of one upload between runs and processes, one file per vid in
// the cache path ("<vid>.resume"):
//   url     the upload URL          written after the creation POST
//   size    the file's size         written with url, checked before every resume
//   mtime   the file's mtime        written with url, checked before every resume
//   offset  a byte count the CRC    written after every PATCH answer, after a HEAD, at
//   crc     below belongs to          pause or stop, and every second or 64 MiB while a
//                                      PATCH streams (then trailing the bytes sent, see
//                                      TusUpload)
// The CRC-64 of the file's first `offset` bytes lets a resume continue the checksum without
// reading the whole prefix again. Writes go to a temporary file that is renamed, so a crash
// leaves either the old or the new record, never a torn one.
struct ResumeRecord
{
    enum Durability
    {
        kSynced,  // flushed to the disk before the rename: survives a crash of the machine
        kCached   // survives a crash of the process; costs no disk flush (milliseconds)
    };

    std::string url;
    int64_t size = 0;
    int64_t mtime = 0;
    int64_t offset = 0;
    uint64_t crc = 0;

    static std::string PathFor(const std::string& cacheDir, const std::string& vid);
    // false when missing or unreadable or malformed.
    static bool Load(const std::string& cacheDir, const std::string& vid, ResumeRecord* out);
    bool Save(const std::string& cacheDir, const std::string& vid,
              Durability durability = kSynced) const;
    static void Remove(const std::string& cacheDir, const std::string& vid);
};

}  // namespace kvr
