#pragma once

#include <cstdint>
#include <string>

namespace kvr {

// The video id of a file: md5(userId \n absolute path \n size \n mtime \n cateId) as 32
// lower-case hex digits, "_" and the user id's first character. Deterministic, so the same
// file in the same category finds its earlier upload again, and a changed file does not.
class VideoId
{
public:
    static std::string Derive(const std::string& userId, const std::string& absolutePath,
                              int64_t size, int64_t mtimeSeconds, int64_t cateId);
    // Absolute, lexically normalised form of a path (symbolic links are not resolved).
    static std::string AbsolutePath(const std::string& path);
    // A vid is used as a file name in the cache path, so only its own alphabet is accepted.
    static bool IsWellFormed(const std::string& vid);
};

}  // namespace kvr
