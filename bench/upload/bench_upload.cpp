// Upload benchmark: the upload library against plain curl speaking tus (one POST, one PATCH
// of the whole file), against a devplatform over HTTPS on loopback. Library and curl runs
// alternate (which goes first swaps every round), every run's videos are deleted on the
// platform before the next one, and the summary gives medians with min-max: throughput,
// client CPU seconds per GiB, the platform's CPU seconds per GiB received and peak RSS. Never
// fails on a time. Run it through bench/upload/run-upload-bench (which starts the devplatform).
//
//   bench_upload [--rounds N] [--dir D] [--files D] [--cases 1x1,3x1,1x4,8x256]
//                                           the benchmark (needs KAVRO_PLATFORM_URL,
//                                           KAVRO_TEST_CACERT, KAVRO_DEVPLATFORM_DATA)
//                                           (--files: keep the data files there)
//   bench_upload --resume [--dir D]         kill -9 of a 4 GiB library upload at 10, 50 and
//                                           90 %, then restart: time until the platform
//                                           receives bytes again (page cache dropped first
//                                           when run as root)
//   bench_upload --library [--cache D] FILE...
//                                           child: uploads the files concurrently with the
//                                           library and exits 0 when all succeeded
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "Digest.h"
#include "RequestSigner.h"
#include "TusMetadata.h"
#include "Url.h"
#include "VideoId.h"
#include "kvr_upload_sdk.h"

extern char** environ;

namespace {

constexpr const char kUserId[] = "1d3e5a7c9b";  // the devplatform's demo account
constexpr const char kAppId[] = "K1D3E5A7C9";
constexpr const char kAppSecret[] = "demo-secret-6f1c2a9e4b7d";
constexpr int64_t kGiB = int64_t(1) << 30;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr int kReleaseWaitSeconds = 120;

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double CpuSeconds(const rusage& r)
{
    return r.ru_utime.tv_sec + r.ru_utime.tv_usec / 1e6 + r.ru_stime.tv_sec +
           r.ru_stime.tv_usec / 1e6;
}

// ---- child: library uploads -----------------------------------------------------------------

std::mutex gMutex;
std::condition_variable gCond;
int gPending = 0;
int gFailures = 0;

void OnResult(int code, const char* message, void*)
{
    std::lock_guard<std::mutex> lock(gMutex);
    if (code != 0) {
        ++gFailures;
        std::fprintf(stderr, "library upload failed: %d %s\n", code, message);
    }
    --gPending;
    gCond.notify_all();
}

int RunLibrary(const std::vector<std::string>& files, const std::string& cache)
{
    KVRSetSdkLogLevel(0);
    if (!cache.empty()) {
        KVRSetSdkCachePath(cache.c_str());
        // The resume figures read what the library checksummed again from its debug log.
        KVRSetSdkLogFile((cache + "/library.log").c_str());
        KVRSetSdkLogLevel(3);
    }
    KVRSetSdkPlatformUrl(Env("KAVRO_PLATFORM_URL").c_str());
    if (KVRInitSdkLibrary(kUserId, kAppId, kAppSecret) != 0) {
        return 2;
    }
    KVRSetSdkHttpRequest(3);
    KVRSetSdkCacertFile(Env("KAVRO_TEST_CACERT").c_str());
    std::vector<KVRUploaderHandle> handles;
    for (const auto& file : files) {
        const KVRUploaderHandle h = KVRUploaderCreate();
        KVRUploadParam param{file.c_str(), "bench", "", "", 1, 0, 0};
        if (KVRUploaderSetParam(h, &param) != 0) {
            return 2;
        }
        KVRUploaderSetResultHandler(h, &OnResult, nullptr);
        handles.push_back(h);
    }
    gPending = int(handles.size());
    for (const auto h : handles) {
        KVRUploaderStart(h);
    }
    std::unique_lock<std::mutex> lock(gMutex);
    gCond.wait(lock, [] { return gPending == 0; });
    lock.unlock();
    for (const auto h : handles) {
        KVRUploaderDestroy(h);
    }
    KVRReleaseSdkLibrary();
    // The peak of this program's own memory: the rusage of a spawned child also counts the
    // parent's pages it shared before exec.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            std::printf("%ld\n", std::atol(line.c_str() + 6));
        }
    }
    return gFailures == 0 ? 0 : 1;
}

// ---- parent -----------------------------------------------------------------------------------

pid_t Spawn(const std::vector<std::string>& args, const std::string& outFile)
{
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool Wait(pid_t pid, rusage* usage)
{
    int status = 0;
    if (pid < 0 || wait4(pid, &status, 0, usage) != pid) {
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes size pseudo-random bytes (incompressible), 8 MiB at a time.
bool MakeFile(const std::string& path, int64_t size, uint64_t seed)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    std::vector<uint64_t> block(1 << 20);
    uint64_t x = seed * 0x9E3779B97F4A7C15ULL + 1;
    for (int64_t left = size; left > 0;) {
        for (auto& v : block) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            v = x;
        }
        const size_t n = size_t(std::min<int64_t>(left, int64_t(block.size() * 8)));
        if (std::fwrite(block.data(), 1, n, f) != n) {
            std::fclose(f);
            return false;
        }
        left -= int64_t(n);
    }
    return std::fclose(f) == 0;
}

// A new mtime gives the file a new vid, so every round is a fresh upload, never a second pass.
void Retouch(const std::string& path)
{
    static int64_t stamp = 1600000000;
    const timespec times[2] = {{stamp, 0}, {stamp, 0}};
    ++stamp;
    utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::vector<std::string> CurlBase(const std::string& cacert)
{
    return {"curl", "-sS", "--cacert", cacert, "-o", "/dev/null"};
}

struct Figures
{
    bool ok = false;
    double seconds = 0;
    double cpu = 0;          // client processes
    double serverStart = 0;  // the platform's CPU seconds when the run started
    double serverCpu = 0;    // the platform's for this run, finishing work included
    long maxRssKiB = 0;      // the library's process (VmHWM); not measured for curl
    std::vector<std::string> vids;
};

// The devplatform's process: the one whose command line names the data folder.
pid_t ServerPid()
{
    const std::string data = Env("KAVRO_DEVPLATFORM_DATA");
    DIR* proc = opendir("/proc");
    pid_t found = -1;
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0) {
            continue;
        }
        std::string cmdline = ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (cmdline.find("kavro-devplatform") != std::string::npos &&
            cmdline.find(" " + data + " ") != std::string::npos) {
            found = pid;
        }
    }
    if (proc) {
        closedir(proc);
    }
    return found;
}

// CPU seconds the process has used so far (user + system).
double ProcessCpu(pid_t pid)
{
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::vector<std::string> fields;
    size_t pos = close + 2;
    while (pos < stat.size()) {
        const size_t end = stat.find(' ', pos);
        fields.push_back(stat.substr(pos, end - pos));
        pos = end == std::string::npos ? stat.size() : end + 1;
    }
    // Fields 14 and 15 of stat; fields[0] is field 3.
    if (fields.size() < 13) {
        return 0;
    }
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) /
           double(sysconf(_SC_CLK_TCK));
}

std::string Vid(const std::string& path)
{
    struct stat st
    {
    };
    stat(path.c_str(), &st);
    return kvr::VideoId::Derive(kUserId, path, st.st_size, st.st_mtime, 1);
}

// Waits until the platform has released every video (its log's "processing: ... released"):
// the end of all its work on them, an MD5 pass over the file included where a server makes one.
// False when that did not happen within kReleaseWaitSeconds.
bool WaitReleased(const std::vector<std::string>& vids)
{
    const std::string log = Env("KAVRO_DEVPLATFORM_LOG");
    for (int tick = 0; tick < kReleaseWaitSeconds * 10; ++tick) {
        const std::string text = ReadFile(log);
        size_t released = 0;
        for (const auto& vid : vids) {
            const size_t at = text.find("\"" + vid + "\" released");
            released += at != std::string::npos ? 1 : 0;
        }
        if (released == vids.size()) {
            return true;
        }
        usleep(100000);
    }
    return false;
}

// Deletes the videos on the platform (the web API's delete, which also removes the uploaded
// files), so the rounds neither fill the disk nor leave work behind for later rounds.
void DeleteVideos(const std::vector<std::string>& vids, const std::string& tmp)
{
    const std::string url = Env("KAVRO_PLATFORM_URL") + "/v3/video/delete-video";
    for (const auto& vid : vids) {
        const std::string timestamp =
            std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count());
        std::string sign = kvr::Digest::Md5Hex(std::string(kAppSecret) + "appId" + kAppId +
                                               "timestamp" + timestamp + "vid" + vid + kAppSecret);
        std::transform(sign.begin(), sign.end(), sign.begin(), ::toupper);
        std::vector<std::string> args = CurlBase(Env("KAVRO_TEST_CACERT"));
        args.insert(args.end(),
                    {"-d", std::string("appId=") + kAppId, "-d", "timestamp=" + timestamp, "-d",
                     "vid=" + vid, "-d", "sign=" + sign, url});
        rusage usage{};
        if (!Wait(Spawn(args, tmp + "/delete.out"), &usage)) {
            std::fprintf(stderr, "could not delete video %s\n", vid.c_str());
        }
    }
}

Figures LibraryRun(const std::string& self, const std::vector<std::string>& files,
                   const std::string& tmp)
{
    std::vector<std::string> args{self, "--library"};
    Figures fig;
    for (const auto& f : files) {
        Retouch(f);
        args.push_back(f);
        fig.vids.push_back(Vid(f));
    }
    const pid_t server = ServerPid();
    const double serverBefore = ProcessCpu(server);
    const double start = Now();
    rusage usage{};
    fig.ok = Wait(Spawn(args, tmp + "/library.out"), &usage);
    fig.seconds = Now() - start;
    fig.serverStart = serverBefore;
    fig.cpu = CpuSeconds(usage);
    fig.maxRssKiB = std::atol(ReadFile(tmp + "/library.out").c_str());
    return fig;
}

Figures CurlRun(const std::vector<std::string>& files, const std::string& tmp)
{
    const std::string base = Env("KAVRO_PLATFORM_URL");
    const std::string cacert = Env("KAVRO_TEST_CACERT");
    const std::string collection = base + "/upload/files/";
    const kvr::RequestSigner signer(kAppId, kAppSecret);
    Figures fig;
    fig.ok = true;
    double cpu = 0;
    const pid_t server = ServerPid();
    const double serverBefore = ProcessCpu(server);
    const double start = Now();
    std::vector<pid_t> patches;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        Retouch(file);
        struct stat st
        {
        };
        stat(file.c_str(), &st);
        const std::string size = std::to_string(int64_t(st.st_size));
        const std::string vid =
            kvr::VideoId::Derive(kUserId, file + ".curl", st.st_size, st.st_mtime, 1);
        fig.vids.push_back(vid);
        kvr::TusMetadata meta;
        meta.Add("vid", vid);
        meta.Add("filename", "bench.bin");
        meta.Add("cataid", "1");
        std::vector<std::string> post = CurlBase(cacert);
        post.insert(post.end(), {"-X", "POST", "-D", "-", "-H", "Tus-Resumable: 1.0.0", "-H",
                                 "Upload-Length: " + size, "-H", "Content-Length: 0", "-H",
                                 "Upload-Metadata: " + meta.Encode()});
        for (const auto& h : signer.Headers("POST", "/upload/files/", "", size)) {
            post.insert(post.end(), {"-H", h});
        }
        post.push_back(collection);
        const std::string out = tmp + "/post" + std::to_string(i) + ".out";
        rusage usage{};
        if (!Wait(Spawn(post, out), &usage)) {
            fig.ok = false;
            continue;
        }
        cpu += CpuSeconds(usage);
        std::string location;
        std::string headers = ReadFile(out);
        for (size_t pos = 0; pos < headers.size();) {
            const size_t end = headers.find('\n', pos);
            std::string line = headers.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (strncasecmp(line.c_str(), "location:", 9) == 0) {
                location = line.substr(9);
                location.erase(0, location.find_first_not_of(' '));
            }
            pos = end == std::string::npos ? headers.size() : end + 1;
        }
        const std::string url = kvr::Url::Resolve(collection, location);
        std::vector<std::string> patch = CurlBase(cacert);
        patch.insert(
            patch.end(),
            {"-X", "PATCH", "-T", file, "-H", "Tus-Resumable: 1.0.0", "-H", "Upload-Offset: 0",
             "-H", "Content-Type: application/offset+octet-stream", "-H", "Expect:", "-f"});
        for (const auto& h : signer.Headers("PATCH", kvr::Url::Path(url), "0", "")) {
            patch.insert(patch.end(), {"-H", h});
        }
        patch.push_back(url);
        patches.push_back(Spawn(patch, tmp + "/patch" + std::to_string(i) + ".out"));
    }
    for (const pid_t pid : patches) {
        rusage usage{};
        fig.ok = Wait(pid, &usage) && fig.ok;
        cpu += CpuSeconds(usage);
    }
    fig.seconds = Now() - start;
    fig.serverStart = serverBefore;
    fig.cpu = cpu;
    return fig;
}

void PrintRow(int round, const std::string& what, const char* tool, int64_t bytes, const Figures& f)
{
    const double gib = double(bytes) / kGiB;
    std::printf("%5d  %-10s %-8s %8.2f %9.1f %10.2f %10.2f %9s\n", round, what.c_str(), tool,
                f.seconds, bytes / kMiB / f.seconds, f.cpu / gib, f.serverCpu / gib,
                f.maxRssKiB > 0 ? std::to_string(f.maxRssKiB / 1024).c_str() : "-");
    if (!f.ok) {
        std::printf("       ^ this run FAILED (its figures mean nothing)\n");
    }
    std::fflush(stdout);
}

struct Case
{
    std::string name;
    int count;
    int64_t size;
    std::vector<std::string> files;
    std::vector<Figures> library;
    std::vector<Figures> curl;
};

struct Spread
{
    double median = 0;
    double min = 0;
    double max = 0;
};

Spread SpreadOf(std::vector<double> values)
{
    Spread s;
    if (values.empty()) {
        return s;
    }
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.min = values.front();
    s.max = values.back();
    return s;
}

std::string Text(const Spread& s, const char* format)
{
    char buffer[128];
    std::string f = std::string(format) + " (" + format + "-" + format + ")";
    std::snprintf(buffer, sizeof buffer, f.c_str(), s.median, s.min, s.max);
    return buffer;
}

void Summarise(const Case& c)
{
    const double gib = double(c.count) * double(c.size) / kGiB;
    auto collect = [&](const std::vector<Figures>& runs, auto value) {
        std::vector<double> out;
        for (const auto& f : runs) {
            out.push_back(value(f));
        }
        return out;
    };
    auto throughput = [&](const Figures& f) { return gib * 1024 / f.seconds; };
    auto cpu = [&](const Figures& f) { return f.cpu / gib; };
    auto server = [&](const Figures& f) { return f.serverCpu / gib; };
    auto rss = [&](const Figures& f) { return f.maxRssKiB / 1024.0; };
    bool ok = true;
    for (const auto& f : c.library) {
        ok = ok && f.ok;
    }
    for (const auto& f : c.curl) {
        ok = ok && f.ok;
    }
    const Spread libT = SpreadOf(collect(c.library, throughput));
    const Spread curlT = SpreadOf(collect(c.curl, throughput));
    const Spread libC = SpreadOf(collect(c.library, cpu));
    const Spread curlC = SpreadOf(collect(c.curl, cpu));
    std::printf("%s%s\n", c.name.c_str(), ok ? "" : "  (SOME RUNS FAILED)");
    std::printf("  MiB/s          library %-24s curl %-24s ratio %.2f (goal >= 0.95)\n",
                Text(libT, "%.0f").c_str(), Text(curlT, "%.0f").c_str(),
                curlT.median > 0 ? libT.median / curlT.median : 0.0);
    std::printf("  CPU s/GiB      library %-24s curl %-24s ratio %.2f (goal <= 1.05)\n",
                Text(libC, "%.2f").c_str(), Text(curlC, "%.2f").c_str(),
                curlC.median > 0 ? libC.median / curlC.median : 0.0);
    std::printf("  server s/GiB   library %-24s curl %-24s\n",
                Text(SpreadOf(collect(c.library, server)), "%.2f").c_str(),
                Text(SpreadOf(collect(c.curl, server)), "%.2f").c_str());
    std::printf("  peak RSS MiB   library %-24s\n",
                Text(SpreadOf(collect(c.library, rss)), "%.0f").c_str());
}

// ---- resume after kill -9 ------------------------------------------------------------------

int64_t FileSize(const std::string& path)
{
    struct stat st
    {
    };
    return stat(path.c_str(), &st) == 0 ? int64_t(st.st_size) : -1;
}

// The upload's file on the platform: the newest file of its uploads folder.
std::string NewestUpload()
{
    const std::string dir = Env("KAVRO_DEVPLATFORM_DATA") + "/uploads";
    std::string best;
    timespec bestTime{};
    DIR* d = opendir(dir.c_str());
    while (dirent* entry = d ? readdir(d) : nullptr) {
        const std::string path = dir + "/" + entry->d_name;
        struct stat st
        {
        };
        if (entry->d_name[0] == '.' || stat(path.c_str(), &st) != 0) {
            continue;
        }
        if (best.empty() || st.st_mtim.tv_sec > bestTime.tv_sec ||
            (st.st_mtim.tv_sec == bestTime.tv_sec && st.st_mtim.tv_nsec > bestTime.tv_nsec)) {
            best = path;
            bestTime = st.st_mtim;
        }
    }
    if (d) {
        closedir(d);
    }
    return best;
}

bool DropCaches()
{
    sync();
    std::FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!f) {
        return false;
    }
    const bool ok = std::fputs("3\n", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

int RunResume(const std::string& self, const std::string& tmp)
{
    const std::string file = tmp + "/4gib.bin";
    const std::string cache = tmp + "/cache";
    mkdir(cache.c_str(), 0700);
    if (!MakeFile(file, 4 * kGiB, 9)) {
        std::perror("write");
        return 2;
    }
    Retouch(file);
    const std::vector<std::string> args{self, "--library", "--cache", cache, file};
    std::printf("\nresume after kill -9 of a 4 GiB upload (page cache %s before each restart)\n",
                geteuid() == 0 ? "dropped" : "NOT dropped: not root");
    std::printf("  killed at   platform offset   restart -> bytes arriving   checksummed again\n");
    pid_t child = Spawn(args, tmp + "/resume.out");
    std::string upload;
    for (const double fraction : {0.1, 0.5, 0.9}) {
        // Run until the platform holds that much, then kill.
        while (true) {
            if (upload.empty()) {
                upload = NewestUpload();
            }
            if (!upload.empty() && FileSize(upload) >= int64_t(fraction * 4 * kGiB)) {
                break;
            }
            usleep(2000);
        }
        kill(child, SIGKILL);
        Wait(child, nullptr);
        // The platform stores what the socket still held; wait until the file stops growing.
        int64_t held = FileSize(upload);
        for (int still = 0; still < 30; usleep(10000)) {
            const int64_t now = FileSize(upload);
            still = now == held ? still + 1 : 0;
            held = now;
        }
        if (geteuid() == 0) {
            DropCaches();
        }
        const double start = Now();
        child = Spawn(args, tmp + "/resume.out");
        while (FileSize(upload) <= held && Now() - start < 60) {
            usleep(500);
        }
        const double ms = (Now() - start) * 1000;
        // "checksum of bytes A..B from the file": what the new run read before sending.
        int64_t reread = 0;
        const std::string log = ReadFile(cache + "/library.log");
        const size_t at = log.rfind("checksum of bytes ");
        if (at != std::string::npos) {
            const int64_t from = std::atoll(log.c_str() + at + 18);
            const size_t dots = log.find("..", at);
            reread = dots == std::string::npos ? 0 : std::atoll(log.c_str() + dots + 2) - from;
        }
        std::remove((cache + "/library.log").c_str());
        std::printf("  %5.0f %%   %10.1f MiB   %8.0f ms   %10.1f MiB\n", fraction * 100,
                    held / kMiB, ms, reread / kMiB);
        std::fflush(stdout);
    }
    const bool ok = Wait(child, nullptr);
    std::printf("  upload %s (the library compares its CRC-64 with the platform's at the end)\n",
                ok ? "complete" : "FAILED");
    DeleteVideos({Vid(file)}, tmp);
    std::remove(file.c_str());
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--library") == 0) {
        std::string cache;
        int first = 2;
        if (argc >= 5 && std::strcmp(argv[2], "--cache") == 0) {
            cache = argv[3];
            first = 4;
        }
        return RunLibrary(std::vector<std::string>(argv + first, argv + argc), cache);
    }
    int rounds = 3;
    bool resume = false;
    std::string dir = "/tmp";
    std::string cases = "1x1,3x1,1x4,8x256";
    std::string filesDir;  // kept between invocations when given
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--resume") == 0) {
            resume = true;
        } else if (i + 1 < argc && std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (i + 1 < argc && std::strcmp(argv[i], "--dir") == 0) {
            dir = argv[++i];
        } else if (i + 1 < argc && std::strcmp(argv[i], "--files") == 0) {
            filesDir = argv[++i];
        } else if (i + 1 < argc && std::strcmp(argv[i], "--cases") == 0) {
            cases = std::string(",") + argv[++i] + ",";
        }
    }
    if (Env("KAVRO_PLATFORM_URL").empty() || Env("KAVRO_DEVPLATFORM_DATA").empty()) {
        std::fprintf(stderr, "KAVRO_PLATFORM_URL is not set: run through run-upload-bench\n");
        return 2;
    }
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        return 2;
    }
    std::string tmpl = dir + "/kvr-bench.XXXXXX";
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string tmp = tmpl;
    std::printf("upload benchmark against %s (HTTPS on loopback), %s, %ld processors\n",
                Env("KAVRO_PLATFORM_URL").c_str(), KVRGetSdkVersion(),
                sysconf(_SC_NPROCESSORS_ONLN));
    if (resume) {
        const int rc = RunResume(self, tmp);
        std::system(("rm -rf '" + tmp + "'").c_str());
        return rc;
    }
    cases = "," + cases + ",";
    std::vector<Case> all;
    const std::map<std::string, Case> known{{"1x1", {"1 x 1 GiB", 1, kGiB, {}, {}, {}}},
                                            {"3x1", {"3 x 1 GiB", 3, kGiB, {}, {}, {}}},
                                            {"1x4", {"1 x 4 GiB", 1, 4 * kGiB, {}, {}, {}}},
                                            {"8x256", {"8 x 256 MiB", 8, kGiB / 4, {}, {}, {}}}};
    for (const char* key : {"1x1", "3x1", "1x4", "8x256"}) {
        if (cases.find(std::string(",") + key + ",") != std::string::npos) {
            all.push_back(known.at(key));
        }
    }
    // Files: a 4 GiB one and as many 1 GiB and 256 MiB ones as the cases need.
    std::printf("preparing files in %s ...\n", tmp.c_str());
    std::fflush(stdout);
    for (Case& c : all) {
        for (int i = 0; i < c.count; ++i) {
            const std::string name = (filesDir.empty() ? tmp : filesDir) + "/" +
                                     std::to_string(c.size >> 20) + "m-" + std::to_string(i) +
                                     ".bin";
            if (FileSize(name) != c.size && !MakeFile(name, c.size, uint64_t(i + 1))) {
                std::perror("write");
                return 2;
            }
            c.files.push_back(name);
        }
    }

    std::printf("\nround  case       tool      seconds     MiB/s  cpu-s/GiB  srv-s/GiB  RSS-MiB\n");
    for (int round = 1; round <= rounds; ++round) {
        for (Case& c : all) {
            const int64_t bytes = c.count * c.size;
            for (int turn = 0; turn < 2; ++turn) {
                const bool libraryTurn = (turn == 0) == (round % 2 == 1);
                Figures f = libraryTurn ? LibraryRun(self, c.files, tmp) : CurlRun(c.files, tmp);
                // The platform's CPU is read once it has released the run's videos, so all of
                // its work on them counts with the run (and none is cut short by the delete).
                if (!WaitReleased(f.vids)) {
                    std::printf("(the platform did not release every video)\n");
                }
                f.serverCpu = ProcessCpu(ServerPid()) - f.serverStart;
                PrintRow(round, c.name, libraryTurn ? "library" : "curl", bytes, f);
                (libraryTurn ? c.library : c.curl).push_back(f);
                DeleteVideos(f.vids, tmp);
            }
        }
    }
    // The platform's CPU after the last run: work it left for later (there should be none).
    // A run's platform CPU may include work left by the run before it, so the honest figure
    // is the whole benchmark's CPU over all bytes received.
    const pid_t server = ServerPid();
    const double before = ProcessCpu(server);
    sleep(5);
    const double tail = ProcessCpu(server) - before;
    double serverCpu = tail;
    double gibs = 0;
    for (const Case& c : all) {
        for (const auto* runs : {&c.library, &c.curl}) {
            for (const Figures& f : *runs) {
                serverCpu += f.serverCpu;
                gibs += double(c.count) * double(c.size) / kGiB;
            }
        }
    }
    std::printf(
        "\nplatform CPU in the 5 s after the last run: %.2f s; over the whole benchmark: "
        "%.2f s per GiB received\n",
        tail, gibs > 0 ? serverCpu / gibs : 0.0);
    std::printf("\nsummary: median (min-max) of %d rounds\n", rounds);
    for (const Case& c : all) {
        Summarise(c);
    }
    std::system(("rm -rf '" + tmp + "'").c_str());
    return 0;
}
