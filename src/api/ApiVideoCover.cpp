#include <memory>

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "api/ApiRequest.h"
#include "api/ApiVideo.h"

namespace {

const char kTag[] = "upload-video-cover:";

bool HasNonAscii(const QString& text)
{
    static const QRegularExpression nonAscii(QStringLiteral("[^\\x{0000}-\\x{007F}]"));
    return nonAscii.match(text).hasMatch();
}

// The path handed to libcurl. A libcurl without Unicode file names opens files through the
// local 8-bit code page, where a non-ASCII name may be unreachable: such a file is sent from
// an ASCII-named copy in a temporary folder. Problems with the copy only cost the detour.
QByteArray CurlFilePath(const QString& absolutePath, std::unique_ptr<QTemporaryDir>* tempDir)
{
    if (ApiCollection::hasUnicodeSupport()) {
        return absolutePath.toUtf8();
    }
    const QByteArray ownPath = QFile::encodeName(absolutePath);
    if (!HasNonAscii(absolutePath)) {
        return ownPath;
    }
    *tempDir = std::make_unique<QTemporaryDir>();
    if (!(*tempDir)->isValid()) {
        qCWarning(lcApi) << "UploadVideoCoverRequest: Create temporary dir failed:"
                         << (*tempDir)->errorString() << (*tempDir)->path();
        return ownPath;
    }
    const QString copyPath = QDir((*tempDir)->path())
                                 .filePath(QStringLiteral("upload_cover_%1.%2")
                                               .arg(QDateTime::currentSecsSinceEpoch())
                                               .arg(QFileInfo(absolutePath).suffix()));
    if (HasNonAscii(copyPath)) {
        qCWarning(lcApi) << "UploadVideoCoverRequest: Temp filepath contain non-ASCII char:"
                         << absolutePath;
        return ownPath;
    }
    if (!QFile::copy(absolutePath, copyPath)) {
        qCWarning(lcApi) << "UploadVideoCoverRequest: Copy cover file failed:" << copyPath;
        return ownPath;
    }
    return QFile::encodeName(copyPath);
}

void AddDataPart(curl_mime* mime, const char* name, const QString& value)
{
    curl_mimepart* part = curl_mime_addpart(mime);
    const QByteArray data = value.toUtf8();
    curl_mime_name(part, name);
    curl_mime_data(part, data.constData(), size_t(data.size()));
}

}  // namespace

namespace ApiCollection {

RequestError UploadVideoCoverRequest(const QUuid& requestId, const QStringList& vids,
                                     const QString& imageFile, const ProgressFunction& progress,
                                     QByteArray* response, bool* abortFlag, QString* errorText)
{
    const QFileInfo fileInfo(imageFile);
    if (!fileInfo.exists() || !fileInfo.isFile()) {
        qCWarning(lcApi) << "UploadVideoCoverRequest: Cover file does not exist:" << imageFile;
        return FileIsNotExist;
    }
    // Removed (with the copy in it) when the request ends.
    std::unique_ptr<QTemporaryDir> tempDir;
    const QByteArray curlPath = CurlFilePath(fileInfo.absoluteFilePath(), &tempDir);

    ParamMap params{{QStringLiteral("vids"), vids.join(QLatin1Char(','))}};
    addSignature(&params);

    ProgressRecord progressRecord;
    progressRecord.progress = progress;
    progressRecord.abortFlag = abortFlag;

    const RequestSetup setup =
        makeSetup(requestId, kTag, "POST", 30, response, abortFlag, errorText);
    return runRequest(setup, [&](CURL* handle, RequestBody* body) {
        curl_mime* mime = curl_mime_init(handle);
        AddDataPart(mime, "vids", params.value(QStringLiteral("vids")));
        AddDataPart(mime, "appId", params.value(QStringLiteral("appId")));
        AddDataPart(mime, "timestamp", params.value(QStringLiteral("timestamp")));
        AddDataPart(mime, "sign", params.value(QStringLiteral("sign")));
        curl_mimepart* file = curl_mime_addpart(mime);
        curl_mime_name(file, "imageFile");
        curl_mime_filedata(file, curlPath.constData());
        body->url = platformBaseUrl() + QStringLiteral("/v3/video/upload-cover-image");
        body->mime = mime;
        body->progress = &progressRecord;
        return NoError;
    });
}

RequestError ParseUploadVideoCoverResponse(const QByteArray& response, CoverResult* result)
{
    return parseCoverResponse(kTag, response, result);
}

}  // namespace ApiCollection
