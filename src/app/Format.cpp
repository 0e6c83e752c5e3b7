#include "app/Format.h"

#include <cstdio>

QString FormatSize(quint64 bytes, int unitCount)
{
    static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB", "PB", "EB", "ZB", "YB"};
    const int count = qBound(1, unitCount, static_cast<int>(sizeof(kUnits) / sizeof(kUnits[0])));
    double value = static_cast<double>(bytes);
    char buffer[64];
    for (int i = 0; i < count - 1; ++i) {
        if (value < 1024.0) {
            std::snprintf(buffer, sizeof(buffer), "%3.2f %s", value, kUnits[i]);
            return QString::fromLatin1(buffer);
        }
        value /= 1024.0;
    }
    std::snprintf(buffer, sizeof(buffer), "%.2f %s", value, kUnits[count - 1]);
    return QString::fromLatin1(buffer);
}

QString FormatDuration(quint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
