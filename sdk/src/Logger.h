#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace kvr {

// The library's log file: one line per event, "timestamp level [thread] text". Level 0 is
// off, 1 errors, 2 adds warnings and one line per request, 3 debug, 4 libcurl's trace.
class Logger
{
public:
    enum Level
    {
        kOff = 0,
        kError = 1,
        kInfo = 2,
        kDebug = 3,
        kTrace = 4
    };

    static Logger& Instance();

    bool Open(const std::string& path);  // empty path closes
    void SetLevel(int level);
    bool Enabled(int level) const;
    void Write(int level, const std::string& text);

private:
    Logger() = default;
    ~Logger();

    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    int level_ = kInfo;
};

}  // namespace kvr

#define KVR_LOG(level, text)                                \
    do {                                                    \
        if (::kvr::Logger::Instance().Enabled(level)) {     \
            ::kvr::Logger::Instance().Write(level, (text)); \
        }                                                   \
    } while (0)
