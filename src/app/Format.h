#pragma once

#include <QString>
#include <QtGlobal>

// Display texts shared by every page.

// "1.50 KB": the first unit (of the first unitCount of B, KB, MB, ... YB) where the value is
// below 1024, printed "%3.2f %s"; past the last taken unit "%.2f %s" of that unit.
QString FormatSize(quint64 bytes, int unitCount);

// "01:02:05": hours (not wrapped at 24), minutes and seconds, each at least two digits.
QString FormatDuration(quint64 seconds);
