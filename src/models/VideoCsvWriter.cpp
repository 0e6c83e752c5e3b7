#include "models/VideoCsvWriter.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QLocale>

namespace VideoCsvWriter {

QStringList HeaderFields()
{
    return {QStringLiteral("vid"),       QObject::tr("title"),        QObject::tr("description"),
            QObject::tr("duration"),     QObject::tr("thumbnailURL"), QObject::tr("coverURL"),
            QObject::tr("creationTime"), QObject::tr("updateTime"),   QObject::tr("size"),
            QObject::tr("status"),       QObject::tr("cateId"),       QObject::tr("cateName"),
            QObject::tr("tags"),         QObject::tr("uploader"),     QObject::tr("playTimes"),
            QObject::tr("md5Checksum")};
}

QStringList RowFields(const ApiCollection::VideoInfo& video)
{
    return {video.vid,
            video.title,
            video.description,
            QString::number(video.duration, 'g', QLocale::FloatingPointShortest),
            video.thumbnailURL.toString(QUrl::FullyEncoded),
            video.coverURL.toString(QUrl::FullyEncoded),
            video.creationTime,
            video.updateTime,
            QString::number(video.size),
            QString::number(video.status),
            QString::number(video.cateId),
            video.cateName,
            video.tags,
            video.uploader,
            QString::number(video.playTimes),
            video.md5Checksum};
}

QString Field(const QString& text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar ch : text) {
        if (special.contains(ch)) {
            QString quoted = text;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            return QLatin1Char('"') + quoted + QLatin1Char('"');
        }
    }
    return text;
}

QByteArray Build(const QList<ApiCollection::VideoInfo>& videos)
{
    auto line = [](const QStringList& fields) {
        QStringList written;
        written.reserve(fields.size());
        for (const QString& field : fields) {
            written.append(Field(field));
        }
        return written.join(QLatin1Char(',')) + QLatin1Char('\n');
    };
    QString text = line(HeaderFields());
    for (const ApiCollection::VideoInfo& video : videos) {
        text += line(RowFields(video));
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool Write(QIODevice* device, const QList<ApiCollection::VideoInfo>& videos)
{
    const QByteArray bytes = Build(videos);
    return device && device->write(bytes) == bytes.size();
}

}  // namespace VideoCsvWriter
