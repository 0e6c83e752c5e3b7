#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

struct PlatformContext;
struct Video;

// The parts of a video in the web API's answers: "basicInfo", "snapshotInfo",
// "transcodeInfos" and "metaData", with URLs under the server's public base.
class VideoJson
{
public:
    explicit VideoJson(const PlatformContext& context) : context_(context) {}

    QJsonObject BasicInfo(const Video& video) const;
    QJsonObject SnapshotInfo(const Video& video, const QString& ownerUserId) const;
    // Renditions exist once a video is released; they describe, nothing plays.
    QJsonArray TranscodeInfos(const Video& video) const;
    static QJsonObject MetaData(const Video& video);

    // Where the file host keeps (or draws) a video's pictures: "<userId>/<vid>/".
    static QString PictureDir(const QString& ownerUserId, const QString& vid);

private:
    const PlatformContext& context_;
};
