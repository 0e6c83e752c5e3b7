// Upload benchmark: the upload library against plain curl speaking tus (one POST, one PATCH
// of the whole file), alternating, against a devplatform over HTTPS on loopback. Prints
// throughput, CPU seconds per GiB and the library's peak resident memory; never fails on a
// time. Run it through bench/upload/run-upload-bench (which starts the devplatform).
//
//   bench_upload [--rounds N] [--dir D]     the benchmark (needs KAVRO_PLATFORM_URL,
//                                           KAVRO_TEST_CACERT)
//   bench_upload --library FILE...          child: uploads the files concurrently with the
//                                           library and exits 0 when all succeeded
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
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

int RunLibrary(const std::vector<std::string>& files)
{
    KVRSetSdkLogLevel(0);
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

struct Figures
{
    bool ok = false;
    double seconds = 0;
    double cpu = 0;
    long maxRssKiB = 0;
};

Figures LibraryRun(const std::string& self, const std::vector<std::string>& files,
                   const std::string& tmp)
{
    std::vector<std::string> args{self, "--library"};
    for (const auto& f : files) {
        Retouch(f);
        args.push_back(f);
    }
    Figures fig;
    const double start = Now();
    rusage usage{};
    fig.ok = Wait(Spawn(args, tmp + "/library.out"), &usage);
    fig.seconds = Now() - start;
    fig.cpu = CpuSeconds(usage);
    fig.maxRssKiB = usage.ru_maxrss;
    return fig;
}

std::vector<std::string> CurlBase(const std::string& cacert)
{
    return {"curl", "-sS", "--cacert", cacert, "-o", "/dev/null"};
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
    fig.cpu = cpu;
    return fig;
}

void PrintRow(int round, const char* what, const char* tool, int64_t bytes, const Figures& f)
{
    std::printf("%5d  %-12s %-8s %8.2f %9.1f %8.2f %10.2f %9s\n", round, what, tool, f.seconds,
                bytes / kMiB / f.seconds, f.cpu, f.cpu / (double(bytes) / kGiB),
                f.maxRssKiB ? (std::to_string(f.maxRssKiB / 1024) + " MiB").c_str() : "-");
    if (!f.ok) {
        std::printf("       ^ this run FAILED (its figures mean nothing)\n");
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--library") == 0) {
        return RunLibrary(std::vector<std::string>(argv + 2, argv + argc));
    }
    int rounds = 2;
    std::string dir = "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--dir") == 0) {
            dir = argv[i + 1];
        }
    }
    if (Env("KAVRO_PLATFORM_URL").empty()) {
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
    std::printf("upload benchmark against %s (HTTPS on loopback), %s\n",
                Env("KAVRO_PLATFORM_URL").c_str(), KVRGetSdkVersion());
    std::printf("preparing 3 x 1 GiB and 1 x 4 GiB of random data in %s ...\n", tmp.c_str());
    std::fflush(stdout);
    std::vector<std::string> gib;
    for (int i = 0; i < 3; ++i) {
        gib.push_back(tmp + "/gib" + std::to_string(i) + ".bin");
        if (!MakeFile(gib.back(), kGiB, uint64_t(i + 1))) {
            std::perror("write");
            return 2;
        }
    }
    const std::string big = tmp + "/4gib.bin";
    if (!MakeFile(big, 4 * kGiB, 9)) {
        std::perror("write");
        return 2;
    }

    std::printf(
        "\nround  case         tool      seconds     MiB/s    cpu-s  cpu-s/GiB  peak-RSS\n");
    // Sums over all rounds: on a shared machine single runs vary a lot, and alternating
    // rounds with summed times give both tools the same share of the noise.
    Figures sumLib1, sumCurl1, sumLib3, sumCurl3;
    auto add = [](Figures* sum, const Figures& f) {
        sum->ok = sum->seconds == 0 ? f.ok : sum->ok && f.ok;
        sum->seconds += f.seconds;
        sum->cpu += f.cpu;
        sum->maxRssKiB = std::max(sum->maxRssKiB, f.maxRssKiB);
    };
    for (int round = 1; round <= rounds; ++round) {
        const Figures lib1 = LibraryRun(self, {gib[0]}, tmp);
        PrintRow(round, "1 x 1 GiB", "library", kGiB, lib1);
        const Figures curl1 = CurlRun({gib[0]}, tmp);
        PrintRow(round, "1 x 1 GiB", "curl", kGiB, curl1);
        const Figures lib3 = LibraryRun(self, gib, tmp);
        PrintRow(round, "3 x 1 GiB", "library", 3 * kGiB, lib3);
        const Figures curl3 = CurlRun(gib, tmp);
        PrintRow(round, "3 x 1 GiB", "curl", 3 * kGiB, curl3);
        add(&sumLib1, lib1);
        add(&sumCurl1, curl1);
        add(&sumLib3, lib3);
        add(&sumCurl3, curl3);
    }
    const Figures lib4 = LibraryRun(self, {big}, tmp);
    PrintRow(0, "1 x 4 GiB", "library", 4 * kGiB, lib4);

    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    const double gibs = rounds;  // GiB moved per upload slot over all rounds
    std::printf("\nsummary (all %d rounds together%s)\n", rounds,
                sumLib1.ok && sumCurl1.ok && sumLib3.ok && sumCurl3.ok && lib4.ok
                    ? ""
                    : "; SOME RUNS FAILED");
    std::printf(
        "  throughput, 1 upload:   library %.1f MiB/s, curl %.1f MiB/s, ratio %.2f "
        "(goal >= 0.90)\n",
        gibs * 1024 / sumLib1.seconds, gibs * 1024 / sumCurl1.seconds,
        ratio(sumCurl1.seconds, sumLib1.seconds));
    std::printf(
        "  throughput, 3 uploads:  library %.1f MiB/s, curl %.1f MiB/s, ratio %.2f "
        "(goal >= 0.90)\n",
        3 * gibs * 1024 / sumLib3.seconds, 3 * gibs * 1024 / sumCurl3.seconds,
        ratio(sumCurl3.seconds, sumLib3.seconds));
    std::printf("  CPU s/GiB, 1 upload:    library %.2f, curl %.2f, ratio %.2f (goal <= 1.3)\n",
                sumLib1.cpu / gibs, sumCurl1.cpu / gibs, ratio(sumLib1.cpu, sumCurl1.cpu));
    std::printf("  CPU s/GiB, 3 uploads:   library %.2f, curl %.2f, ratio %.2f (goal <= 1.3)\n",
                sumLib3.cpu / (3 * gibs), sumCurl3.cpu / (3 * gibs),
                ratio(sumLib3.cpu, sumCurl3.cpu));
    std::printf(
        "  peak RSS (whole process): 1 GiB %.1f MiB, 4 GiB %.1f MiB, difference %.1f MiB "
        "(goal <= 8); 3 concurrent %.1f MiB (goal < 32 per upload)\n",
        sumLib1.maxRssKiB / 1024.0, lib4.maxRssKiB / 1024.0,
        (lib4.maxRssKiB - sumLib1.maxRssKiB) / 1024.0, sumLib3.maxRssKiB / 1024.0);
    for (const auto& f : gib) {
        std::remove(f.c_str());
    }
    std::remove(big.c_str());
    std::system(("rm -rf '" + tmp + "'").c_str());
    return 0;
}
