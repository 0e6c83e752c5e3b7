#include "VideoJson.h"

#include <tuple>

#include <QDateTime>

#include "PlatformContext.h"
#include "VideoStore.h"

namespace {

QString TimeText(qint64 ms)
{
    return ms == 0
               ? QString()
               : QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

int Bitrate(const Video& v)
{
    return v.duration > 0 ? static_cast<int>(v.size * 8 / v.duration / 1000) : 0;
}

}  // namespace

QString VideoJson::PictureDir(const QString& ownerUserId, const QString& vid)
{
    return ownerUserId + QLatin1Char('/') + vid + QLatin1Char('/');
}

QJsonObject VideoJson::BasicInfo(const Video& v) const
{
    return QJsonObject{
        {QStringLiteral("title"), v.title},
        {QStringLiteral("description"), v.description},
        {QStringLiteral("duration"), v.duration},
        {QStringLiteral("thumbnailURL"),
         v.thumbnail.isEmpty() ? QString() : context_.FileUrl(v.thumbnail)},
        {QStringLiteral("coverURL"), v.cover.isEmpty() ? QString() : context_.FileUrl(v.cover)},
        {QStringLiteral("creationTime"), TimeText(v.createdMs)},
        {QStringLiteral("updateTime"), TimeText(v.updatedMs)},
        {QStringLiteral("size"), v.size},
        {QStringLiteral("status"), v.status},
        {QStringLiteral("cateId"), v.cateId},
        {QStringLiteral("cateName"), v.cateName},
        {QStringLiteral("tags"), v.tags},
        {QStringLiteral("uploader"), v.uploader},
        {QStringLiteral("playTimes"), v.playTimes},
        {QStringLiteral("md5Checksum"), v.md5}};
}

QJsonObject VideoJson::SnapshotInfo(const Video& v, const QString& ownerUserId) const
{
    QJsonArray small;
    QJsonArray big;
    const QString dir = PictureDir(ownerUserId, v.vid);
    for (int i = 0; i < v.snapshots; ++i) {
        small.append(context_.FileUrl(dir + QStringLiteral("snap_%1.png").arg(i)));
        big.append(context_.FileUrl(dir + QStringLiteral("snapbig_%1.png").arg(i)));
    }
    return QJsonObject{{QStringLiteral("imageUrl"), small}, {QStringLiteral("bigImageUrl"), big}};
}

QJsonArray VideoJson::TranscodeInfos(const Video& v) const
{
    QJsonArray transcodes;
    if (v.status != 60 && v.status != 61) {
        return transcodes;
    }
    const QList<std::tuple<const char*, int, int>> renditions = {{"SD", 640, 360},
                                                                 {"HD", 1280, 720}};
    for (const auto& [definition, width, height] : renditions) {
        transcodes.append(QJsonObject{
            {QStringLiteral("playUrl"), context_.publicUrl + QStringLiteral("/play/") + v.vid +
                                            QLatin1Char('_') + QLatin1String(definition) +
                                            QStringLiteral(".mp4")},
            {QStringLiteral("definition"), QLatin1String(definition)},
            {QStringLiteral("bitrate"), Bitrate(v) * width / 1280},
            {QStringLiteral("duration"), v.duration},
            {QStringLiteral("encrypt"), false},
            {QStringLiteral("format"), QStringLiteral("mp4")},
            {QStringLiteral("fps"), 25},
            {QStringLiteral("height"), height},
            {QStringLiteral("width"), width},
            {QStringLiteral("status"), QStringLiteral("success")}});
    }
    return transcodes;
}

QJsonObject VideoJson::MetaData(const Video& v)
{
    return QJsonObject{{QStringLiteral("size"), v.size},
                       {QStringLiteral("format"), QStringLiteral("mp4")},
                       {QStringLiteral("duration"), v.duration},
                       {QStringLiteral("bitrate"), Bitrate(v)},
                       {QStringLiteral("fps"), 25},
                       {QStringLiteral("height"), 720},
                       {QStringLiteral("width"), 1280},
                       {QStringLiteral("codec"), QStringLiteral("h264")}};
}
