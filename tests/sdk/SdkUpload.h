#pragma once

#include <QString>

#include "SdkCallbackRecorder.h"
#include "kvr_upload_sdk.h"

// One uploader handle with its recorder, its parameters set for a file.
struct SdkUpload
{
    KVRUploaderHandle handle = KVRUploaderCreate();
    SdkCallbackRecorder recorder;
    QByteArray path;

    explicit SdkUpload(const QString& file, qint64 cateId = 1) : path(file.toUtf8())
    {
        recorder.Attach(handle);
        KVRUploadParam param{path.constData(), "test upload", "desc", "tag", cateId, 0, 0};
        setParamResult = KVRUploaderSetParam(handle, &param);
    }
    ~SdkUpload() { KVRUploaderDestroy(handle); }
    QString Vid() const { return QString::fromUtf8(KVRUploaderGetVID(handle)); }
    int setParamResult = -1;
};
