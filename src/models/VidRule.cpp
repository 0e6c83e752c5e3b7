#include "models/VidRule.h"

#include <QSaveFile>

namespace VidRule {

bool IsValid(const QString& vid)
{
    if (vid.size() != kVidLength) {
        return false;
    }
    const QStringList parts = vid.split(QLatin1Char('_'));
    return parts.size() == 2 && parts.first().size() == kStemLength;
}

QStringList Split(const QString& text)
{
    static const QStringList separators = {QStringLiteral(","),  QStringLiteral(";"),
                                           QStringLiteral(" "),  QStringLiteral("\r\n"),
                                           QStringLiteral("\n"), QStringLiteral("\r")};
    QStringList parts;
    for (const QString& separator : separators) {
        parts = text.split(separator);
        if (parts.size() >= 2) {
            break;
        }
    }
    QStringList tokens;
    for (const QString& part : qAsConst(parts)) {
        const QString token = part.trimmed();
        if (!token.isEmpty()) {
            tokens.append(token);
        }
    }
    return tokens;
}

QStringList TemplateVids()
{
    static const QString stem = QStringLiteral("7c1e94a2d05b3f68e9a4c7d12b0f5e38");
    QStringList vids;
    for (int i = 0; i < 10; ++i) {
        vids.append(stem + QLatin1Char('_') + QString::number(i));
    }
    return vids;
}

bool WriteTemplateFile(const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    for (const QString& vid : TemplateVids()) {
        file.write(vid.toUtf8() + '\n');
    }
    if (!file.commit()) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    return true;
}

}  // namespace VidRule
