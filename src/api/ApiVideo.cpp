#include "api/ApiVideo.h"

#include <QJsonObject>
#include <QVariant>

#include "api/ApiEnvelope.h"
#include "api/ApiRequest.h"

namespace {

const char kListTag[] = "list-video:";
const char kInfoTag[] = "get-video-info:";
const char kUpdateTag[] = "update-video-info:";
const char kMoveTag[] = "move-video:";
const char kDeleteTag[] = "delete-video:";
const char kChangeCoverTag[] = "change-video-cover:";

QString Text(const QJsonObject& object, const char* name)
{
    return object.value(QLatin1String(name)).toString();
}

double Real(const QJsonObject& object, const char* name)
{
    return object.value(QLatin1String(name)).toVariant().toDouble();
}

int Integer(const QJsonObject& object, const char* name)
{
    return ApiCollection::readInt(object.value(QLatin1String(name)));
}

quint64 Unsigned(const QJsonObject& object, const char* name)
{
    return ApiCollection::readUInt64(object.value(QLatin1String(name)));
}

QList<QUrl> UrlList(const QJsonObject& object, const char* name)
{
    QList<QUrl> urls;
    const QJsonArray array = object.value(QLatin1String(name)).toArray();
    for (const QJsonValue& element : array) {
        if (!element.isString()) {
            break;
        }
        urls.append(QUrl(element.toString()));
    }
    return urls;
}

QString JoinVids(const QStringList& vids)
{
    return vids.join(QLatin1Char(','));
}

}  // namespace

namespace ApiCollection {

QString sortMethodValue(SortMethod sort)
{
    switch (sort) {
        case CreationTimeDesc:
            return QStringLiteral("creationTimeDesc");
        case CreationTimeAsc:
            return QStringLiteral("creationTimeAsc");
        case TitleNameDesc:
            return QStringLiteral("titleDesc");
        case TitleNameAsc:
            return QStringLiteral("titleAsc");
        case NoSort:
            break;
    }
    return QString();
}

QString videoInfoFilter(VideoInfoTypeFlags types)
{
    QStringList names;
    if (types.testFlag(Snapshot)) {
        names << QStringLiteral("snapshotInfo");
    }
    if (types.testFlag(Basic)) {
        names << QStringLiteral("basicInfo");
    }
    if (types.testFlag(Transcode)) {
        names << QStringLiteral("transcodeInfo");
    }
    if (types.testFlag(Metadata)) {
        names << QStringLiteral("metaData");
    }
    return names.join(QLatin1Char(','));
}

VideoInfo parseVideoInfo(const QJsonObject& item, VideoInfoTypeFlags* parts)
{
    VideoInfo info;
    info.vid = Text(item, "vid");

    const QJsonValue basicValue = item.value(QLatin1String("basicInfo"));
    if (basicValue.isObject()) {
        *parts |= Basic;
        const QJsonObject basic = basicValue.toObject();
        info.title = Text(basic, "title");
        info.description = Text(basic, "description");
        info.duration = Real(basic, "duration");
        info.thumbnailURL = QUrl(Text(basic, "thumbnailURL"));
        info.coverURL = QUrl(Text(basic, "coverURL"));
        info.creationTime = Text(basic, "creationTime");
        info.updateTime = Text(basic, "updateTime");
        info.size = Unsigned(basic, "size");
        info.status = Integer(basic, "status");
        info.cateId = Unsigned(basic, "cateId");
        info.cateName = Text(basic, "cateName");
        info.tags = Text(basic, "tags");
        info.uploader = Text(basic, "uploader");
        info.playTimes = Unsigned(basic, "playTimes");
        info.md5Checksum = Text(basic, "md5Checksum");
    }
    if (item.contains(QLatin1String("snapshotInfo"))) {
        *parts |= Snapshot;
        const QJsonObject snapshot = item.value(QLatin1String("snapshotInfo")).toObject();
        info.imageUrl = UrlList(snapshot, "imageUrl");
        info.bigImageUrl = UrlList(snapshot, "bigImageUrl");
    }
    if (item.contains(QLatin1String("transcodeInfos"))) {
        *parts |= Transcode;
        const QJsonArray transcodes = item.value(QLatin1String("transcodeInfos")).toArray();
        for (const QJsonValue& element : transcodes) {
            if (!element.isObject()) {
                continue;
            }
            const QJsonObject object = element.toObject();
            TranscodeInfo transcode;
            transcode.playUrl = QUrl(Text(object, "playUrl"));
            transcode.definition = Text(object, "definition");
            transcode.bitrate = Integer(object, "bitrate");
            transcode.duration = Real(object, "duration");
            transcode.encrypt = object.value(QLatin1String("encrypt")).toVariant().toBool();
            transcode.format = Text(object, "format");
            transcode.fps = Integer(object, "fps");
            transcode.height = Integer(object, "height");
            transcode.width = Integer(object, "width");
            transcode.status = Text(object, "status");
            info.transcodeInfos.append(transcode);
        }
    }
    if (item.contains(QLatin1String("metaData"))) {
        *parts |= Metadata;
        const QJsonObject meta = item.value(QLatin1String("metaData")).toObject();
        info.metaData.size = Unsigned(meta, "size");
        info.metaData.format = Text(meta, "format");
        info.metaData.duration = Real(meta, "duration");
        info.metaData.bitrate = Integer(meta, "bitrate");
        info.metaData.fps = Integer(meta, "fps");
        info.metaData.height = Integer(meta, "height");
        info.metaData.width = Integer(meta, "width");
        info.metaData.codec = Text(meta, "codec");
    }
    return info;
}

RequestError ListVideoRequest(const QUuid& requestId, quint64 cateId, const QString& title,
                              bool containSubCate, quint64 page, quint64 pageSize, SortMethod sort,
                              QByteArray* response, bool* abortFlag, QString* errorText)
{
    ParamMap params{{QStringLiteral("cateId"), QString::number(cateId)},
                    {QStringLiteral("containSubCate"),
                     containSubCate ? QStringLiteral("Y") : QStringLiteral("N")},
                    {QStringLiteral("page"), QString::number(page)},
                    {QStringLiteral("pageSize"), QString::number(pageSize)}};
    if (!title.isEmpty()) {
        params.insert(QStringLiteral("title"), title);
    }
    const QString sortValue = sortMethodValue(sort);
    if (!sortValue.isEmpty()) {
        params.insert(QStringLiteral("sort"), sortValue);
    }
    return runSignedRequest(
        makeSetup(requestId, kListTag, "GET", 15, response, abortFlag, errorText),
        QStringLiteral("/v3/video/list-video"), params);
}

RequestError ParseListVideoResponse(const QByteArray& response, ListVideoResult* result)
{
    QJsonObject root;
    const RequestError envelope = parseEnvelope(kListTag, response, result, &root);
    if (envelope != NoError) {
        return envelope;
    }
    const QJsonValue dataValue = root.value(QLatin1String("data"));
    if (!dataValue.isObject()) {
        return payloadError(kListTag, "data field is not object in request", *result);
    }
    const QJsonObject data = dataValue.toObject();
    const QJsonValue contents = data.value(QLatin1String("contents"));
    if (!contents.isArray()) {
        return payloadError(kListTag, "data.contents is not array in request", *result);
    }
    result->pageNumber = Unsigned(data, "pageNumber");
    result->totalPages = Unsigned(data, "totalPages");
    result->pageSize = Unsigned(data, "pageSize");
    result->totalItems = Unsigned(data, "totalItems");
    result->contents = contents.toArray();
    return NoError;
}

RequestError GetVideoInfoRequest(const QUuid& requestId, const QStringList& vids,
                                 VideoInfoTypeFlags types, QByteArray* response, bool* abortFlag,
                                 QString* errorText)
{
    return runSignedRequest(
        makeSetup(requestId, kInfoTag, "GET", 15, response, abortFlag, errorText),
        QStringLiteral("/v3/video/get-video-info"),
        {{QStringLiteral("vids"), JoinVids(vids)},
         {QStringLiteral("filter"), videoInfoFilter(types)}});
}

RequestError ParseGetVideoInfoResponse(const QByteArray& response, VideoInfosResult* result)
{
    QJsonObject root;
    const RequestError envelope = parseEnvelope(kInfoTag, response, result, &root);
    if (envelope != NoError) {
        return envelope;
    }
    const QJsonValue data = root.value(QLatin1String("data"));
    if (!data.isArray()) {
        return payloadError(kInfoTag, "data field is not array in request", *result);
    }
    const QJsonArray items = data.toArray();
    for (const QJsonValue& item : items) {
        result->videos.append(parseVideoInfo(item.toObject(), &result->infoTypes));
    }
    return NoError;
}

RequestError UpdateVideoInfoRequest(const QUuid& requestId, const QString& vid,
                                    const QString& title, const QString& tag,
                                    const QString& describ, QByteArray* response, bool* abortFlag,
                                    QString* errorText)
{
    return runSignedRequest(
        makeSetup(requestId, kUpdateTag, "POST", 15, response, abortFlag, errorText),
        QStringLiteral("/v3/video/update-info"),
        {{QStringLiteral("vid"), vid},
         {QStringLiteral("title"), title},
         {QStringLiteral("tag"), tag},
         {QStringLiteral("describ"), describ}});
}

RequestError ParseUpdateVideoInfoResponse(const QByteArray& response, ApiResult* result)
{
    QJsonObject root;
    return parseEnvelope(kUpdateTag, response, result, &root);
}

RequestError MoveVideoRequest(const QUuid& requestId, const QStringList& vids, quint64 cateId,
                              QByteArray* response, bool* abortFlag, QString* errorText)
{
    return runSignedRequest(
        makeSetup(requestId, kMoveTag, "POST", 15, response, abortFlag, errorText),
        QStringLiteral("/v3/video/update-category"),
        {{QStringLiteral("vids"), JoinVids(vids)},
         {QStringLiteral("cateId"), QString::number(cateId)}});
}

RequestError ParseMoveVideoResponse(const QByteArray& response, ApiResult* result)
{
    QJsonObject root;
    return parseEnvelope(kMoveTag, response, result, &root);
}

RequestError DeleteVideoRequest(const QUuid& requestId, const QString& vid, QByteArray* response,
                                bool* abortFlag, QString* errorText)
{
    return runSignedRequest(
        makeSetup(requestId, kDeleteTag, "POST", 15, response, abortFlag, errorText),
        QStringLiteral("/v3/video/delete-video"), {{QStringLiteral("vid"), vid}});
}

RequestError ParseDeleteVideoResponse(const QByteArray& response, ApiResult* result)
{
    QJsonObject root;
    return parseEnvelope(kDeleteTag, response, result, &root);
}

RequestError ChangeVideoCoverRequest(const QUuid& requestId, const QString& vid,
                                     const QUrl& imageUrl, QByteArray* response, bool* abortFlag,
                                     QString* errorText)
{
    return runSignedRequest(
        makeSetup(requestId, kChangeCoverTag, "POST", 15, response, abortFlag, errorText),
        QStringLiteral("/v3/video/change-cover-image"),
        {{QStringLiteral("vid"), vid}, {QStringLiteral("imgUrl"), imageUrl.toString()}});
}

RequestError parseCoverResponse(const char* tag, const QByteArray& response, CoverResult* result)
{
    QJsonObject root;
    const RequestError envelope = parseEnvelope(tag, response, result, &root);
    if (envelope != NoError) {
        return envelope;
    }
    const QJsonValue data = root.value(QLatin1String("data"));
    if (!data.isObject()) {
        return payloadError(tag, "data field is not object in request", *result);
    }
    result->imageUrlBig = Text(data.toObject(), "imageUrlBig");
    result->imageUrlSmall = Text(data.toObject(), "imageUrlSmall");
    return NoError;
}

RequestError ParseChangeVideoCoverResponse(const QByteArray& response, CoverResult* result)
{
    return parseCoverResponse(kChangeCoverTag, response, result);
}

}  // namespace ApiCollection
