#pragma once

#include <QString>

namespace Platform {

// Room of the crash report path, terminator included (MAX_PATH on Windows). A longer path is
// refused: the handler is then not installed rather than written past its buffer.
constexpr int kCrashPathCapacity = 260;

// Installs the handler that writes a crash report to dumpPath when the process dies of a
// fatal signal (Linux: signal, faulting address and backtrace as text) or an unhandled
// exception (Windows: a minidump). A null path uninstalls it. False when not installed.
bool InstallCrashHandler(const QString& dumpPath);

}  // namespace Platform
