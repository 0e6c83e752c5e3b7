#include "upload/SDKUploadTask.h"

#include <kvr_upload_sdk.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QMetaObject>

#include "api/ApiErrors.h"

namespace {

// The library calls these on its own threads. They copy their arguments and queue the call
// to the task on the GUI thread; nothing else is touched here.
void ProgressCallback(int increment, int64_t uploadBytes, int64_t totalBytes, void* user)
{
    QMetaObject::invokeMethod(static_cast<SDKUploadTask*>(user), "OnProgress", Qt::QueuedConnection,
                              Q_ARG(int, increment), Q_ARG(qlonglong, uploadBytes),
                              Q_ARG(qlonglong, totalBytes));
}

void ResultCallback(int code, const char* message, void* user)
{
    QMetaObject::invokeMethod(static_cast<SDKUploadTask*>(user), "OnResult", Qt::QueuedConnection,
                              Q_ARG(int, code),
                              Q_ARG(QString, QString::fromUtf8(message ? message : "")));
}

void DeleteCallback(int code, const char* message, void* user)
{
    QMetaObject::invokeMethod(static_cast<SDKUploadTask*>(user), "OnDelete", Qt::QueuedConnection,
                              Q_ARG(int, code),
                              Q_ARG(QString, QString::fromUtf8(message ? message : "")));
}

QString Description(int code)
{
    return QString::fromUtf8(KVRGetSdkErrorDescription(code));
}

struct MessageKey
{
    const char* fragment;
    const char* key;
};

// The first row whose fragment occurs in a library message (ignoring case) names its text.
const MessageKey kMessageTable[] = {
    {"http response parse error", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.HttpResponse")},
    {"RequestTimeout", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.RequestTimeout")},
    {"ConnectionTimeout", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.ConnectionTimeout")},
    {"InvalidDigest", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.InvalidDigest")},
    {"InternalError", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.InternalError")},
    {"AccessDenied", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.AccessDenied")},
    {"fileContentError", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.fileContentError")},
    {"CallbackFailed", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.CallbackFailed")},
    {"UploadFileNotExist", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.UploadFileNotExist")},
    {"SocketTimeout", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.SocketTimeout")},
    {"CapacityOverLimit", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.CapacityOverLimit")},
    {"ConsoleCommonErrorUserServiceException",
     QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.ConsoleCommonErrorUserServiceException")},
    {"TokenError", QT_TRANSLATE_NOOP("QObject", "SdkCodeMsg.TokenError")},
};

QString CodeKey(int code)
{
    switch (code) {
        case 2:
            return QObject::tr("SdkCodeMsg.NoFile");
        case 4:
            return QObject::tr("SdkCodeMsg.FileEmpty");
        case 10:
            return QObject::tr("SdkCodeMsg.OpenFileError");
        case 102:
            return QObject::tr("SdkCodeMsg.NoSpace");
        default:
            return QString();
    }
}

}  // namespace

SDKUploadTask::SDKUploadTask(QObject* parent) : QObject(parent) {}

SDKUploadTask::~SDKUploadTask()
{
    // First of all: once the handle is destroyed the library calls back no more, so no
    // callback can queue a call to a half-destroyed task.
    ReleaseHandle();
}

void SDKUploadTask::ReleaseHandle()
{
    created = false;
    notify = false;
    if (handle != 0) {
        KVRUploaderDestroy(handle);
        handle = 0;
    }
}

bool SDKUploadTask::Setup(const DBManager::Upload& source, bool start,
                          const std::function<bool(const QString&)>& vidInUse)
{
    DBManager::Upload upload = source;
    const QFileInfo file(upload.fileName);
    if (upload.titleName.isEmpty()) {
        upload.titleName = file.completeBaseName().left(200);
    }
    upload.totalBytes = file.exists() ? static_cast<quint64>(file.size()) : 0;

    bool valid = true;
    if (file.exists()) {
        handle = KVRUploaderCreate();
        const QByteArray path = upload.fileName.toUtf8();
        const QByteArray title = upload.titleName.toUtf8();
        const QByteArray desc = upload.describ.toUtf8();
        const QByteArray tag = upload.tag.toUtf8();
        KVRUploadParam param{path.constData(), title.constData(), desc.constData(), tag.constData(),
                             upload.cateId,    upload.luping,     upload.keepSource};
        const int rc = KVRUploaderSetParam(handle, &param);
        if (rc != 0) {
            qCritical() << "create upload task"
                        << "error code:" << rc << ",error msg:" << Description(rc);
            KVRUploaderDestroy(handle);
            handle = 0;
            return false;
        }
        const QString newVid = QString::fromUtf8(KVRUploaderGetVID(handle));
        if (!upload.vid.isEmpty()) {
            if (upload.vid != newVid) {
                KVRUploaderRelease(handle);
                KVRUploaderSetVID(handle, upload.vid.toUtf8().constData());
                errorText = tr("FileChanage");
                valid = false;
            }
        } else {
            upload.vid = newVid;
            if (vidInUse && vidInUse(newVid)) {
                KVRUploaderDestroy(handle);
                handle = 0;
                return false;
            }
        }
    } else {
        if (upload.vid.isEmpty()) {
            return false;
        }
        handle = KVRUploaderCreate();
        KVRUploaderSetVID(handle, upload.vid.toUtf8().constData());
        errorText = tr("FileNoExist");
        valid = false;
    }

    RegisterHandlers();
    record = upload;
    SetStatus(!valid ? Invalid : (start ? Waiting : Stopped));
    created = true;
    return true;
}

void SDKUploadTask::RegisterHandlers()
{
    KVRUploaderSetDeleteHandler(handle, DeleteCallback, this);
    KVRUploaderSetResultHandler(handle, ResultCallback, this);
    KVRUploaderSetProgressHandler(handle, ProgressCallback, this);
}

void SDKUploadTask::SetStatus(int newStatus)
{
    if (status != newStatus) {
        status = newStatus;
        emit SignalStatus(status);
    }
}

bool SDKUploadTask::Start(bool start)
{
    if (!created || status == Invalid) {
        return false;
    }
    deleting = false;
    const int rc = start ? KVRUploaderStart(handle) : KVRUploaderPause(handle);
    if (rc != 0) {
        qCritical() << "upload task"
                    << "error code:" << rc << ",error msg:" << Description(rc);
    }
    SetStatus(start ? Uploading : Paused);
    return rc == 0;
}

bool SDKUploadTask::Delete()
{
    if (!created || deleting) {
        return false;
    }
    deleting = true;
    notify = true;
    const int rc = KVRUploaderDelete(handle);
    if (rc != 0) {
        qCritical() << "delete upload task"
                    << "error code:" << rc << ",error msg:" << Description(rc);
        deleting = false;
        return false;
    }
    return true;
}

void SDKUploadTask::OnProgress(int increment, qlonglong uploadBytes, qlonglong totalBytes)
{
    record.uploadBytes = static_cast<quint64>(uploadBytes);
    emit SignalProgress(increment, uploadBytes, totalBytes);
}

QString SDKUploadTask::MapMessage(const QString& message)
{
    for (const MessageKey& row : kMessageTable) {
        if (message.contains(QLatin1String(row.fragment), Qt::CaseInsensitive)) {
            return QCoreApplication::translate("QObject", row.key);
        }
    }
    return message;
}

QString SDKUploadTask::ResultText(int code, const QString& message)
{
    QString desc = message;
    QString text;
    if (code == 19) {
        text = tr("CRC64 Check Error");
    } else if (code < 114) {
        text = CodeKey(code);
        if (text.isEmpty()) {
            if (desc.isEmpty()) {
                desc = Description(code);
            }
            text = MapMessage(desc);
        }
    } else {
        const int platformCode = code - 113;
        text = ApiCollection::errorCodeString(platformCode);
        if (text.isEmpty()) {
            text = !desc.isEmpty() ? desc
                                   : QObject::tr("ErrorCodeString.OtherError, code:") +
                                         QString::number(platformCode);
        }
    }
    if (text.isEmpty()) {
        text = tr("unknown error:") + QString::number(code);
    }
    return text;
}

void SDKUploadTask::OnResult(int code, QString desc)
{
    const bool success = code == 0 || code == 112;
    const bool silent = deleting || !notify;
    QString text;
    if (success) {
        text = code == 0 ? tr("UploadSuccess") : tr("SecondPass");
        record.statusText = text;
    } else {
        qCritical() << "upload result error code:" << code << ",error msg:" << desc;
        if (code != 5) {
            // A failure is announced like any status change, so that the queue gives the freed
            // slot to a waiting upload at once rather than at the next unrelated event.
            const int failedStatus = code == 19 ? Invalid : Failed;
            if (silent) {
                status = failedStatus;
            } else {
                SetStatus(failedStatus);
            }
        }
    }
    if (silent) {
        return;
    }
    if (success) {
        emit SignalResult(true, text);
        emit SignalRelease(true, record.vid);
        return;
    }
    if (code == 5) {
        emit SignalResult(true, QString());
        return;
    }
    // Kept for a row that shows the task only later (the page builds rows in slices).
    errorText = ResultText(code, desc);
    emit SignalResult(false, errorText);
}

void SDKUploadTask::OnDelete(int code, QString desc)
{
    if (code != 0) {
        qCritical() << "delete result error code:" << code << ",error msg:" << desc;
    } else if (notify) {
        emit SignalRelease(false, record.vid);
    }
    emit SignalDeleteResult(code == 0, record.vid);
    deleting = false;
}
