#include "VideoId.h"

#include <filesystem>

#include "Digest.h"

namespace kvr {

std::string VideoId::Derive(const std::string& userId, const std::string& absolutePath,
                            int64_t size, int64_t mtimeSeconds, int64_t cateId)
{
    const std::string text = userId + "\n" + absolutePath + "\n" + std::to_string(size) + "\n" +
                             std::to_string(mtimeSeconds) + "\n" + std::to_string(cateId);
    return Digest::Md5Hex(text) + "_" + (userId.empty() ? '0' : userId.front());
}

std::string VideoId::AbsolutePath(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) {
        return path;
    }
    return absolute.lexically_normal().string();
}

bool VideoId::IsWellFormed(const std::string& vid)
{
    if (vid.empty() || vid.size() > 128) {
        return false;
    }
    for (const char c : vid) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                        (c >= 'A' && c <= 'Z') || c == '_' || c == '-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace kvr
