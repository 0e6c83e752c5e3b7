#include "ResumeRecord.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <unistd.h>

namespace kvr {
namespace {

constexpr const char kMagic[] = "kvr-resume 1";

bool ParseInt(const std::string& text, int64_t* out)
{
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0) {
        return false;
    }
    *out = v;
    return true;
}

}  // namespace

std::string ResumeRecord::PathFor(const std::string& cacheDir, const std::string& vid)
{
    return cacheDir + "/" + vid + ".resume";
}

bool ResumeRecord::Load(const std::string& cacheDir, const std::string& vid, ResumeRecord* out)
{
    if (cacheDir.empty()) {
        return false;
    }
    std::ifstream in(PathFor(cacheDir, vid));
    std::string line;
    if (!in || !std::getline(in, line) || line != kMagic) {
        return false;
    }
    std::map<std::string, std::string> fields;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) {
            fields[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    ResumeRecord r;
    r.url = fields["url"];
    char* end = nullptr;
    const std::string crc = fields["crc"];
    r.crc = std::strtoull(crc.c_str(), &end, 10);
    if (r.url.empty() || crc.empty() || *end != '\0' || !ParseInt(fields["size"], &r.size) ||
        !ParseInt(fields["mtime"], &r.mtime) || !ParseInt(fields["offset"], &r.offset) ||
        r.offset > r.size) {
        return false;
    }
    *out = r;
    return true;
}

bool ResumeRecord::Save(const std::string& cacheDir, const std::string& vid,
                        Durability durability) const
{
    if (cacheDir.empty()) {
        return false;
    }
    const std::string path = PathFor(cacheDir, vid);
    const std::string temp = path + ".tmp";
    const std::string text = std::string(kMagic) + "\nurl=" + url +
                             "\nsize=" + std::to_string(size) + "\nmtime=" + std::to_string(mtime) +
                             "\noffset=" + std::to_string(offset) + "\ncrc=" + std::to_string(crc) +
                             "\n";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    // Data before name: after a crash of the machine the renamed file must hold the new
    // contents. (A crash of the process alone leaves both in the page cache.)
    if (durability == kSynced) {
        ok = ::fdatasync(fd) == 0 && ok;
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

void ResumeRecord::Remove(const std::string& cacheDir, const std::string& vid)
{
    if (!cacheDir.empty()) {
        std::remove(PathFor(cacheDir, vid).c_str());
    }
}

}  // namespace kvr
