#include "platform/CrashHandler.h"

#include <cstring>

#ifdef Q_OS_WIN
// clang-format off
#include <windows.h>
#include <dbghelp.h>
// clang-format on
#else
#include <cstdint>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN

wchar_t g_dumpPath[Platform::kCrashPathCapacity];

LONG WINAPI WriteMiniDump(EXCEPTION_POINTERS* exceptionPointers)
{
    HANDLE file = CreateFileW(g_dumpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    MINIDUMP_EXCEPTION_INFORMATION info;
    info.ThreadId = GetCurrentThreadId();
    info.ExceptionPointers = exceptionPointers;
    info.ClientPointers = TRUE;
    MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &info,
                      nullptr, nullptr);
    CloseHandle(file);
    return EXCEPTION_EXECUTE_HANDLER;
}

#else

// Everything the handler touches is static and prepared before a crash: it runs in a signal
// context and may only call async-signal-safe functions.
char g_dumpPath[Platform::kCrashPathCapacity];
const int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
char g_altStack[64 * 1024];

void WriteText(int fd, const char* text)
{
    ssize_t ignored = write(fd, text, std::strlen(text));
    (void)ignored;
}

void WriteNumber(int fd, std::uintptr_t value, unsigned base)
{
    char buffer[32];
    int pos = sizeof(buffer);
    buffer[--pos] = '\0';
    do {
        buffer[--pos] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0 && pos > 0);
    WriteText(fd, buffer + pos);
}

const char* SignalName(int sig)
{
    switch (sig) {
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGFPE:
            return "SIGFPE";
        case SIGILL:
            return "SIGILL";
        case SIGABRT:
            return "SIGABRT";
        default:
            return "signal";
    }
}

void OnFatalSignal(int sig, siginfo_t* info, void*)
{
    const int fd = open(g_dumpPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        WriteText(fd, "KavroUploadClient crash report\nsignal: ");
        WriteNumber(fd, static_cast<std::uintptr_t>(sig), 10);
        WriteText(fd, " (");
        WriteText(fd, SignalName(sig));
        WriteText(fd, ")\ncode: ");
        WriteNumber(fd, static_cast<std::uintptr_t>(info ? info->si_code : 0), 10);
        WriteText(fd, "\naddress: 0x");
        WriteNumber(fd, reinterpret_cast<std::uintptr_t>(info ? info->si_addr : nullptr), 16);
        WriteText(fd, "\npid: ");
        WriteNumber(fd, static_cast<std::uintptr_t>(getpid()), 10);
        WriteText(fd, "\nbacktrace:\n");
        void* frames[64];
        const int count = backtrace(frames, 64);
        backtrace_symbols_fd(frames, count, fd);
        close(fd);
    }
    // Let the default action end the process (and leave a core file where enabled).
    signal(sig, SIG_DFL);
    raise(sig);
}

#endif

}  // namespace

namespace Platform {

bool InstallCrashHandler(const QString& dumpPath)
{
#ifdef Q_OS_WIN
    if (dumpPath.isNull() || dumpPath.size() >= kCrashPathCapacity) {
        SetUnhandledExceptionFilter(nullptr);
        return false;
    }
    std::memset(g_dumpPath, 0, sizeof(g_dumpPath));
    std::memcpy(g_dumpPath, dumpPath.utf16(), dumpPath.size() * sizeof(wchar_t));
    SetUnhandledExceptionFilter(WriteMiniDump);
    return true;
#else
    const QByteArray path = dumpPath.toLocal8Bit();
    if (dumpPath.isNull() || path.size() >= kCrashPathCapacity) {
        for (int sig : kSignals) {
            signal(sig, SIG_DFL);
        }
        return false;
    }
    std::memset(g_dumpPath, 0, sizeof(g_dumpPath));
    std::memcpy(g_dumpPath, path.constData(), static_cast<size_t>(path.size()));

    // backtrace() loads its unwinder lazily; load it now, outside any signal context.
    void* warmUp[1];
    backtrace(warmUp, 1);

    // A stack overflow leaves no stack for the handler: give it one of its own.
    stack_t stack{};
    stack.ss_sp = g_altStack;
    stack.ss_size = sizeof(g_altStack);
    sigaltstack(&stack, nullptr);

    struct sigaction action
    {
    };
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int sig : kSignals) {
        sigaction(sig, &action, nullptr);
    }
    return true;
#endif
}

}  // namespace Platform
