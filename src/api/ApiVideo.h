#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include "api/ApiCollection.h"
#include "api/ApiTransport.h"

// The seven signed video requests: list a category's page, fetch details, edit texts, move,
// delete, set a cover from a URL and upload a local cover image.
namespace ApiCollection {

struct TranscodeInfo
{
    QUrl playUrl;
    QString definition;
    int bitrate = 0;
    double duration = 0;
    bool encrypt = false;
    QString format;
    int fps = 0;
    int height = 0;
    int width = 0;
    QString status;
};

struct VideoMetadata
{
    quint64 size = 0;
    QString format;
    double duration = 0;
    int bitrate = 0;
    int fps = 0;
    int height = 0;
    int width = 0;
    QString codec;
};

struct VideoInfo
{
    QString vid;
    // Basic part ("basicInfo").
    QString title;
    QString description;
    double duration = 0;
    QUrl thumbnailURL;
    QUrl coverURL;
    QString creationTime;
    QString updateTime;
    quint64 size = 0;
    int status = 0;
    quint64 cateId = 0;
    QString cateName;
    QString tags;
    QString uploader;
    quint64 playTimes = 0;
    QString md5Checksum;
    // Snapshot part ("snapshotInfo").
    QList<QUrl> imageUrl;
    QList<QUrl> bigImageUrl;
    // Transcode part ("transcodeInfos").
    QList<TranscodeInfo> transcodeInfos;
    // Metadata part ("metaData").
    VideoMetadata metaData;
};

struct VideoInfosResult : ApiResult
{
    VideoInfoTypeFlags infoTypes;
    QList<VideoInfo> videos;
};

struct ListVideoResult : ApiResult
{
    quint64 pageNumber = 0;
    quint64 totalPages = 0;
    quint64 pageSize = 0;
    quint64 totalItems = 0;
    QJsonArray contents;
};

struct CoverResult : ApiResult
{
    QString imageUrlBig;
    QString imageUrlSmall;
};

// The "sort" value of a SortMethod; empty for NoSort (then nothing is sent).
QString sortMethodValue(SortMethod sort);
// The "filter" value of the requested parts, in the order snapshotInfo, basicInfo,
// transcodeInfo, metaData.
QString videoInfoFilter(VideoInfoTypeFlags types);
// Reads one item of a "get-video-info" answer; ORs the flag of each part it carries.
VideoInfo parseVideoInfo(const QJsonObject& item, VideoInfoTypeFlags* parts);

RequestError ListVideoRequest(const QUuid& requestId, quint64 cateId, const QString& title,
                              bool containSubCate, quint64 page, quint64 pageSize, SortMethod sort,
                              QByteArray* response, bool* abortFlag, QString* errorText);
RequestError ParseListVideoResponse(const QByteArray& response, ListVideoResult* result);

RequestError GetVideoInfoRequest(const QUuid& requestId, const QStringList& vids,
                                 VideoInfoTypeFlags types, QByteArray* response, bool* abortFlag,
                                 QString* errorText);
RequestError ParseGetVideoInfoResponse(const QByteArray& response, VideoInfosResult* result);

RequestError UpdateVideoInfoRequest(const QUuid& requestId, const QString& vid,
                                    const QString& title, const QString& tag,
                                    const QString& describ, QByteArray* response, bool* abortFlag,
                                    QString* errorText);
RequestError ParseUpdateVideoInfoResponse(const QByteArray& response, ApiResult* result);

RequestError MoveVideoRequest(const QUuid& requestId, const QStringList& vids, quint64 cateId,
                              QByteArray* response, bool* abortFlag, QString* errorText);
RequestError ParseMoveVideoResponse(const QByteArray& response, ApiResult* result);

RequestError DeleteVideoRequest(const QUuid& requestId, const QString& vid, QByteArray* response,
                                bool* abortFlag, QString* errorText);
RequestError ParseDeleteVideoResponse(const QByteArray& response, ApiResult* result);

RequestError ChangeVideoCoverRequest(const QUuid& requestId, const QString& vid,
                                     const QUrl& imageUrl, QByteArray* response, bool* abortFlag,
                                     QString* errorText);
// The cover answers of both cover requests: "data" with "imageUrlBig" and "imageUrlSmall".
RequestError parseCoverResponse(const char* tag, const QByteArray& response, CoverResult* result);
RequestError ParseChangeVideoCoverResponse(const QByteArray& response, CoverResult* result);

// Multipart upload of a local image as the cover of the given videos (30 s time-out).
RequestError UploadVideoCoverRequest(const QUuid& requestId, const QStringList& vids,
                                     const QString& imageFile, const ProgressFunction& progress,
                                     QByteArray* response, bool* abortFlag, QString* errorText);
RequestError ParseUploadVideoCoverResponse(const QByteArray& response, CoverResult* result);

}  // namespace ApiCollection
