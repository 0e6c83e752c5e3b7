#include "VideoEndpoints.h"

#include <httplib.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QVariant>

#include "AccountStore.h"
#include "ApiAuth.h"
#include "ApiEnvelope.h"
#include "CategoryStore.h"
#include "Crypto.h"
#include "PlatformContext.h"
#include "VideoJson.h"
#include "VideoStore.h"

namespace {

enum Code
{
    kVidEmpty = 401,
    kTitleEmpty = 402,
    kFileLimit5M = 415,
    kParamError = 1100,
    kParamIncorrectLength = 1113,
    kNumberRangeError = 1114,
    kParamNotBooleanYN = 1122,
    kCategoryNotExist = 3001,
    kVideoStatusLimit = 3100,
    kVideoNotExist = 4000,
    kInvalidFilter = 4001,
    kOperationCountExceed = 4004,
};

using P = Account::Permission;

// The vids of a comma-separated list: 401 when empty, 4004 when more than the limit.
bool VidList(const QString& text, QStringList* vids, httplib::Response& res)
{
    *vids = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& vid : *vids) {
        vid = vid.trimmed();
    }
    vids->removeAll(QString());
    vids->removeDuplicates();
    if (vids->isEmpty()) {
        ApiEnvelope::Failure(res, kVidEmpty, QStringLiteral("vid is empty"));
        return false;
    }
    if (vids->size() > VideoEndpoints::kMaxVidsPerRequest) {
        ApiEnvelope::Failure(res, kOperationCountExceed, QStringLiteral("too many vids"));
        return false;
    }
    return true;
}

// The image format by its first bytes, or an empty string.
QString ImageSuffix(const QByteArray& data)
{
    if (data.startsWith("\x89PNG\r\n\x1a\n")) {
        return QStringLiteral("png");
    }
    if (data.startsWith("\xff\xd8\xff")) {
        return QStringLiteral("jpg");
    }
    if (data.startsWith("GIF87a") || data.startsWith("GIF89a")) {
        return QStringLiteral("gif");
    }
    if (data.startsWith("BM")) {
        return QStringLiteral("bmp");
    }
    return QString();
}

}  // namespace

void VideoEndpoints::Register(httplib::Server& server)
{
    server.Get("/v3/video/list-video", [this](const httplib::Request& req, httplib::Response& res) {
        HandleList(req, res);
    });
    server.Get(
        "/v3/video/get-video-info",
        [this](const httplib::Request& req, httplib::Response& res) { HandleInfo(req, res); });
    server.Post("/v3/video/update-info",
                [this](const httplib::Request& req, httplib::Response& res) {
                    HandleUpdateInfo(req, res);
                });
    server.Post(
        "/v3/video/update-category",
        [this](const httplib::Request& req, httplib::Response& res) { HandleMove(req, res); });
    server.Post(
        "/v3/video/delete-video",
        [this](const httplib::Request& req, httplib::Response& res) { HandleDelete(req, res); });
    server.Post("/v3/video/change-cover-image",
                [this](const httplib::Request& req, httplib::Response& res) {
                    HandleChangeCover(req, res);
                });
    server.Post("/v3/video/upload-cover-image",
                [this](const httplib::Request& req, httplib::Response& res) {
                    HandleUploadCover(req, res);
                });
}

QString VideoEndpoints::OwnerUserId(qint64 owner) const
{
    const auto account = AccountStore(*context_.db).ById(owner);
    return account ? account->userId : QString();
}

void VideoEndpoints::HandleList(const httplib::Request& req, httplib::Response& res)
{
    const auto params = ApiAuth::Params(req);
    const auto account =
        ApiAuth::Verify(context_, req, res, params, {P::VideoAllSearch, P::VideoCurrentcataSearch});
    if (!account) {
        return;
    }
    bool ok = false;
    const qint64 cateId = params.value(QStringLiteral("cateId")).toLongLong(&ok);
    const QString sub = params.value(QStringLiteral("containSubCate"), QStringLiteral("N"));
    if (sub != QLatin1String("Y") && sub != QLatin1String("N")) {
        ApiEnvelope::Failure(res, kParamNotBooleanYN, QStringLiteral("containSubCate is Y or N"));
        return;
    }
    bool pageOk = false;
    bool sizeOk = false;
    const int page = params.value(QStringLiteral("page"), QStringLiteral("1")).toInt(&pageOk);
    const int pageSize =
        params.value(QStringLiteral("pageSize"), QStringLiteral("10")).toInt(&sizeOk);
    if (!pageOk || !sizeOk || page < 1 || pageSize < 1 || pageSize > kMaxPageSize) {
        ApiEnvelope::Failure(res, kNumberRangeError,
                             QStringLiteral("page or pageSize out of range"));
        return;
    }
    const QString sort = params.value(QStringLiteral("sort"));
    QString orderBy;
    if (sort.isEmpty() || sort == QLatin1String("creationTimeDesc")) {
        orderBy = QStringLiteral("v.created_ms DESC, v.vid DESC");
    } else if (sort == QLatin1String("creationTimeAsc")) {
        orderBy = QStringLiteral("v.created_ms ASC, v.vid ASC");
    } else if (sort == QLatin1String("titleDesc")) {
        orderBy = QStringLiteral("v.title DESC, v.vid DESC");
    } else if (sort == QLatin1String("titleAsc")) {
        orderBy = QStringLiteral("v.title ASC, v.vid ASC");
    } else {
        ApiEnvelope::Failure(res, kInvalidFilter, QStringLiteral("unknown sort"));
        return;
    }
    // A NUL would end the pattern early inside the store and match titles it does not contain.
    const QString title = params.value(QStringLiteral("title"));
    if (title.contains(QChar(0))) {
        ApiEnvelope::Failure(res, kParamError, QStringLiteral("title filter contains NUL"));
        return;
    }

    auto lock = context_.db->Lock();
    const CategoryStore categories(*context_.db);
    if (!ok || !categories.Get(account->Owner(), cateId)) {
        ApiEnvelope::Failure(res, kCategoryNotExist, QStringLiteral("category does not exist"));
        return;
    }
    if (!categories.Accessible(*account, cateId)) {
        ApiEnvelope::Failure(res, ApiAuth::kCategoryLimited, QStringLiteral("category limited"));
        return;
    }
    QList<qint64> cateIds = {cateId};
    if (sub == QLatin1String("Y")) {
        QHash<qint64, QList<qint64>> children;
        const QList<Category> all = categories.All(account->Owner());
        for (const Category& category : all) {
            children[category.parentId].append(category.id);
        }
        for (int i = 0; i < cateIds.size(); ++i) {
            cateIds += children.value(cateIds[i]);
        }
        if (cateIds.size() == all.size()) {
            cateIds.clear();  // the whole library: no category filter, so indexes sort
        }
    }
    const VideoStore::Page found =
        VideoStore(*context_.db).List(account->Owner(), cateIds, title, orderBy, page, pageSize);
    const VideoJson json(context_);
    QJsonArray contents;
    for (const Video& video : found.videos) {
        contents.append(QJsonObject{{QStringLiteral("vid"), video.vid},
                                    {QStringLiteral("basicInfo"), json.BasicInfo(video)}});
    }
    ApiEnvelope::Success(
        res, QJsonObject{{QStringLiteral("pageNumber"), page},
                         {QStringLiteral("totalPages"), (found.total + pageSize - 1) / pageSize},
                         {QStringLiteral("pageSize"), pageSize},
                         {QStringLiteral("totalItems"), found.total},
                         {QStringLiteral("contents"), contents}});
}

void VideoEndpoints::HandleInfo(const httplib::Request& req, httplib::Response& res)
{
    const auto params = ApiAuth::Params(req);
    const auto account =
        ApiAuth::Verify(context_, req, res, params, {P::VideoAllSearch, P::VideoCurrentcataSearch});
    if (!account) {
        return;
    }
    QStringList vids;
    if (!VidList(params.value(QStringLiteral("vids")), &vids, res)) {
        return;
    }
    static const QStringList known = {QStringLiteral("snapshotInfo"), QStringLiteral("basicInfo"),
                                      QStringLiteral("transcodeInfo"), QStringLiteral("metaData")};
    QStringList filter = params.value(QStringLiteral("filter"), QStringLiteral("basicInfo"))
                             .split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& part : filter) {
        if (!known.contains(part)) {
            ApiEnvelope::Failure(res, kInvalidFilter, QStringLiteral("unknown filter: ") + part);
            return;
        }
    }
    auto lock = context_.db->Lock();
    const VideoStore videos(*context_.db);
    const CategoryStore categories(*context_.db);
    const QString ownerUserId = OwnerUserId(account->Owner());
    const VideoJson json(context_);
    QJsonArray items;
    // Unknown vids are left out of the answer, as a search over a list of vids expects.
    for (const QString& vid : vids) {
        const auto video = videos.Get(account->Owner(), vid);
        if (!video || !categories.Accessible(*account, video->cateId)) {
            continue;
        }
        QJsonObject item{{QStringLiteral("vid"), video->vid}};
        if (filter.contains(QLatin1String("basicInfo"))) {
            item.insert(QStringLiteral("basicInfo"), json.BasicInfo(*video));
        }
        if (filter.contains(QLatin1String("snapshotInfo"))) {
            item.insert(QStringLiteral("snapshotInfo"), json.SnapshotInfo(*video, ownerUserId));
        }
        if (filter.contains(QLatin1String("transcodeInfo"))) {
            item.insert(QStringLiteral("transcodeInfos"), json.TranscodeInfos(*video));
        }
        if (filter.contains(QLatin1String("metaData"))) {
            item.insert(QStringLiteral("metaData"), VideoJson::MetaData(*video));
        }
        items.append(item);
    }
    ApiEnvelope::Success(res, items);
}

void VideoEndpoints::HandleUpdateInfo(const httplib::Request& req, httplib::Response& res)
{
    const auto params = ApiAuth::Params(req);
    const auto account = ApiAuth::Verify(context_, req, res, params, {P::OperaManage});
    if (!account) {
        return;
    }
    const QString title = params.value(QStringLiteral("title")).trimmed();
    if (title.isEmpty()) {
        ApiEnvelope::Failure(res, kTitleEmpty, QStringLiteral("title cannot be empty"));
        return;
    }
    if (title.toUcs4().size() > kMaxTitleLength) {
        ApiEnvelope::Failure(res, kParamIncorrectLength, QStringLiteral("title too long"));
        return;
    }
    auto lock = context_.db->Lock();
    const VideoStore videos(*context_.db);
    const auto video = videos.Get(account->Owner(), params.value(QStringLiteral("vid")));
    if (!video) {
        ApiEnvelope::Failure(res, kVideoNotExist, QStringLiteral("video does not exist"));
        return;
    }
    videos.UpdateInfo(video->vid, title, params.value(QStringLiteral("tag")),
                      params.value(QStringLiteral("describ")));
    ApiEnvelope::Success(res);
}

void VideoEndpoints::HandleMove(const httplib::Request& req, httplib::Response& res)
{
    const auto params = ApiAuth::Params(req);
    const auto account = ApiAuth::Verify(context_, req, res, params, {P::VideoUpdateCata});
    if (!account) {
        return;
    }
    QStringList vids;
    if (!VidList(params.value(QStringLiteral("vids")), &vids, res)) {
        return;
    }
    auto lock = context_.db->Lock();
    const CategoryStore categories(*context_.db);
    const VideoStore videos(*context_.db);
    bool ok = false;
    const qint64 cateId = params.value(QStringLiteral("cateId")).toLongLong(&ok);
    if (!ok || !categories.Get(account->Owner(), cateId)) {
        ApiEnvelope::Failure(res, kCategoryNotExist, QStringLiteral("category does not exist"));
        return;
    }
    if (!categories.Accessible(*account, cateId)) {
        ApiEnvelope::Failure(res, ApiAuth::kCategoryLimited, QStringLiteral("category limited"));
        return;
    }
    // All or nothing: every vid is checked before any moves.
    for (const QString& vid : vids) {
        if (!videos.Get(account->Owner(), vid)) {
            ApiEnvelope::Failure(res, kVideoNotExist,
                                 QStringLiteral("video does not exist: ") + vid);
            return;
        }
    }
    for (const QString& vid : vids) {
        videos.Move(vid, cateId);
    }
    ApiEnvelope::Success(res);
}

void VideoEndpoints::HandleDelete(const httplib::Request& req, httplib::Response& res)
{
    const auto params = ApiAuth::Params(req);
    const auto account = ApiAuth::Verify(context_, req, res, params, {P::VideoDelete});
    if (!account) {
        return;
    }
    auto lock = context_.db->Lock();
    const VideoStore videos(*context_.db);
    const auto video = videos.Get(account->Owner(), params.value(QStringLiteral("vid")));
    if (!video) {
        ApiEnvelope::Failure(res, kVideoNotExist, QStringLiteral("video does not exist"));
        return;
    }
    videos.Remove(video->vid);
    QSqlQuery uploads = context_.db->Query();
    uploads.prepare(QStringLiteral("SELECT path FROM uploads WHERE vid = ?"));
    uploads.addBindValue(video->vid);
    if (Database::Exec(uploads)) {
        while (uploads.next()) {
            if (!uploads.value(0).toString().isEmpty()) {
                QFile::remove(uploads.value(0).toString());
            }
        }
    }
    QSqlQuery forget = context_.db->Query();
    forget.prepare(QStringLiteral("UPDATE uploads SET state = 2 WHERE vid = ?"));
    forget.addBindValue(video->vid);
    Database::Exec(forget);
    QDir(context_.filesDir + QLatin1Char('/') +
         VideoJson::PictureDir(OwnerUserId(video->owner), video->vid))
        .removeRecursively();
    ApiEnvelope::Success(res);
}

void VideoEndpoints::HandleChangeCover(const httplib::Request& req, httplib::Response& res)
{
    const auto params = ApiAuth::Params(req);
    const auto account = ApiAuth::Verify(context_, req, res, params, {P::OperaManage});
    if (!account) {
        return;
    }
    auto lock = context_.db->Lock();
    const VideoStore videos(*context_.db);
    const auto video = videos.Get(account->Owner(), params.value(QStringLiteral("vid")));
    if (!video) {
        ApiEnvelope::Failure(res, kVideoNotExist, QStringLiteral("video does not exist"));
        return;
    }
    if (video->snapshots == 0) {
        ApiEnvelope::Failure(res, kVideoStatusLimit, QStringLiteral("video has no snapshots yet"));
        return;
    }
    // The new cover is one of the video's own snapshots, given by its small or big URL.
    const QString url = params.value(QStringLiteral("imgUrl"));
    const QString dir = VideoJson::PictureDir(OwnerUserId(video->owner), video->vid);
    for (int i = 0; i < video->snapshots; ++i) {
        const QString small = dir + QStringLiteral("snap_%1.png").arg(i);
        const QString big = dir + QStringLiteral("snapbig_%1.png").arg(i);
        if (url == context_.FileUrl(small) || url == context_.FileUrl(big)) {
            videos.SetPictures(video->vid, big, small);
            ApiEnvelope::Success(
                res, QJsonObject{{QStringLiteral("imageUrlBig"), context_.FileUrl(big)},
                                 {QStringLiteral("imageUrlSmall"), context_.FileUrl(small)}});
            return;
        }
    }
    ApiEnvelope::Failure(res, kParamError, QStringLiteral("imgUrl is not a snapshot of the video"));
}

void VideoEndpoints::HandleUploadCover(const httplib::Request& req, httplib::Response& res)
{
    const auto params = ApiAuth::Params(req);
    const auto account = ApiAuth::Verify(context_, req, res, params, {P::OperaManage});
    if (!account) {
        return;
    }
    QStringList vids;
    if (!VidList(params.value(QStringLiteral("vids")), &vids, res)) {
        return;
    }
    if (!req.has_file("imageFile") || req.get_file_value("imageFile").filename.empty()) {
        ApiEnvelope::Failure(res, kParamError, QStringLiteral("imageFile missing"));
        return;
    }
    const QByteArray image = QByteArray::fromStdString(req.get_file_value("imageFile").content);
    if (image.size() > kMaxCoverBytes) {
        ApiEnvelope::Failure(res, kFileLimit5M, QStringLiteral("cover larger than 5 MB"));
        return;
    }
    const QString suffix = ImageSuffix(image);
    if (suffix.isEmpty()) {
        ApiEnvelope::Failure(res, kParamError,
                             QStringLiteral("cover is not a JPEG, PNG, GIF or BMP"));
        return;
    }
    auto lock = context_.db->Lock();
    const VideoStore videos(*context_.db);
    for (const QString& vid : vids) {
        if (!videos.Get(account->Owner(), vid)) {
            ApiEnvelope::Failure(res, kVideoNotExist,
                                 QStringLiteral("video does not exist: ") + vid);
            return;
        }
    }
    const QString relative = OwnerUserId(account->Owner()) + QStringLiteral("/covers/") +
                             Crypto::RandomHex(24) + QLatin1Char('.') + suffix;
    const QString path = context_.filesDir + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) {
        ApiEnvelope::Failure(res, 9, QStringLiteral("cannot store the cover"));
        return;
    }
    file.close();
    for (const QString& vid : vids) {
        videos.SetPictures(vid, relative, relative);
    }
    const QString url = context_.FileUrl(relative);
    ApiEnvelope::Success(res, QJsonObject{{QStringLiteral("imageUrlBig"), url},
                                          {QStringLiteral("imageUrlSmall"), url}});
}
