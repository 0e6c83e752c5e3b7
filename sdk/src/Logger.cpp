#include "Logger.h"

#include <ctime>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

namespace kvr {

Logger& Logger::Instance()
{
    static Logger logger;
    return logger;
}

Logger::~Logger()
{
    if (file_) {
        std::fclose(file_);
    }
}

bool Logger::Open(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (path.empty()) {
        return true;
    }
    file_ = std::fopen(path.c_str(), "ae");
    return file_ != nullptr;
}

void Logger::SetLevel(int level)
{
    std::lock_guard<std::mutex> lock(mutex_);
    level_ = level;
}

bool Logger::Enabled(int level) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return file_ && level <= level_;
}

void Logger::Write(int level, const std::string& text)
{
    static const char* const kTags[] = {"", "ERROR", "INFO", "DEBUG", "TRACE"};
    timeval tv{};
    ::gettimeofday(&tv, nullptr);
    std::tm tm{};
    ::localtime_r(&tv.tv_sec, &tm);
    char stamp[40];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
    const long tid = static_cast<long>(::syscall(SYS_gettid));

    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_) {
        return;
    }
    std::fprintf(file_, "%s.%03ld %-5s [%ld] %s\n", stamp, static_cast<long>(tv.tv_usec / 1000),
                 kTags[level < 0   ? 0
                       : level > 4 ? 4
                                   : level],
                 tid, text.c_str());
    std::fflush(file_);
}

}  // namespace kvr
