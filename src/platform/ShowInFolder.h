#pragma once

#include <QString>

// Shows a file selected in the system's file manager. Windows: explorer.exe "/select,"
// with the native path. Linux: the freedesktop FileManager1 ShowItems call on the session
// bus, falling back to opening the containing folder when no file manager answers.
void ShowInFolder(const QString& path);
