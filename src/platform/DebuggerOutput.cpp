#include "platform/DebuggerOutput.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace Platform {

void DebuggerOutput(const QString& text)
{
#ifdef Q_OS_WIN
    OutputDebugStringW(reinterpret_cast<const wchar_t*>(text.utf16()));
#else
    Q_UNUSED(text)
#endif
}

}  // namespace Platform
