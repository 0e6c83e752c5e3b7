#pragma once

#include <QString>

namespace Platform {

// Mirrors a formatted log text to the debugger: OutputDebugStringW on Windows. Elsewhere the
// log file is the one sink (a debugger there reads stderr, which is left to the console
// fallback of the log handler), so this does nothing.
void DebuggerOutput(const QString& text);

}  // namespace Platform
