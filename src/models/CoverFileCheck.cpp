#include "models/CoverFileCheck.h"

#include <QFileInfo>
#include <QImageReader>

namespace CoverFileCheck {

Result Check(const QString& path, QSize* size)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        return Result::Missing;
    }
    if (info.size() > kMaxBytes) {
        return Result::TooLarge;
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) {
        return Result::Unreadable;
    }
    // The header usually tells the size; otherwise the image is decoded.
    QSize pixels = reader.size();
    if (!pixels.isValid()) {
        const QImage image = reader.read();
        if (image.isNull()) {
            return Result::Unreadable;
        }
        pixels = image.size();
    }
    if (size) {
        *size = pixels;
    }
    if (pixels.width() > kMaxWidth || pixels.height() > kMaxHeight) {
        return Result::ResolutionTooLarge;
    }
    return Result::Ok;
}

}  // namespace CoverFileCheck
