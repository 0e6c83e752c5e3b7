#pragma once

#include <QString>

// Start at log-on. Windows: the value named after the application under the current user's
// Run registry key. Linux: an XDG autostart entry "<config dir>/autostart/<name>.desktop"
// whose Exec line holds the quoted executable path.
namespace AutoStart {

// True when the registered command is the quoted path of this executable, compared
// case-insensitively and with native separators.
bool IsAutoStart();
void SetAutoStart(bool enable);
// Calls SetAutoStart only when enable differs from IsAutoStart().
void UpdateAutoStart(bool enable);

// The command the entry holds when enabled: the quoted path of this executable.
QString QuotedCommand();

}  // namespace AutoStart
