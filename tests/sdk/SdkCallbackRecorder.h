#pragma once

#include <QDateTime>
#include <QDeadlineTimer>
#include <QList>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include "kvr_upload_sdk.h"

// Collects the upload library's callbacks of one handle, from whatever thread they come,
// and lets a test wait for them.
class SdkCallbackRecorder
{
public:
    struct Call
    {
        int code = 0;
        QString message;
        Qt::HANDLE thread = nullptr;
        qint64 msecs = 0;  // when it came, ms since the epoch
    };

    void Attach(KVRUploaderHandle handle)
    {
        KVRUploaderSetResultHandler(handle, &SdkCallbackRecorder::OnResult, this);
        KVRUploaderSetDeleteHandler(handle, &SdkCallbackRecorder::OnDelete, this);
        KVRUploaderSetProgressHandler(handle, &SdkCallbackRecorder::OnProgress, this);
    }

    // Waits for the next result (or delete) callback not yet taken; false on time-out.
    bool WaitResult(Call* out, int timeoutMs) { return Wait(&results_, out, timeoutMs); }
    bool WaitDelete(Call* out, int timeoutMs) { return Wait(&deletes_, out, timeoutMs); }

    qint64 LastUploaded() const
    {
        QMutexLocker lock(&mutex_);
        return lastUploaded_;
    }
    qint64 IncrementSum() const
    {
        QMutexLocker lock(&mutex_);
        return incrementSum_;
    }
    int ProgressCalls() const
    {
        QMutexLocker lock(&mutex_);
        return progressCalls_;
    }

private:
    bool Wait(QList<Call>* list, Call* out, int timeoutMs)
    {
        QMutexLocker lock(&mutex_);
        const QDeadlineTimer deadline(timeoutMs);
        while (list->isEmpty()) {
            if (!cond_.wait(&mutex_, deadline)) {
                return false;
            }
        }
        *out = list->takeFirst();
        return true;
    }

    void Record(QList<Call>* list, int code, const char* message)
    {
        QMutexLocker lock(&mutex_);
        list->append({code, QString::fromUtf8(message), QThread::currentThreadId(),
                      QDateTime::currentMSecsSinceEpoch()});
        cond_.wakeAll();
    }
    static void OnResult(int code, const char* message, void* user)
    {
        auto* self = static_cast<SdkCallbackRecorder*>(user);
        self->Record(&self->results_, code, message);
    }
    static void OnDelete(int code, const char* message, void* user)
    {
        auto* self = static_cast<SdkCallbackRecorder*>(user);
        self->Record(&self->deletes_, code, message);
    }
    static void OnProgress(int increment, int64_t uploaded, int64_t, void* user)
    {
        auto* self = static_cast<SdkCallbackRecorder*>(user);
        QMutexLocker lock(&self->mutex_);
        self->lastUploaded_ = uploaded;
        self->incrementSum_ += increment;
        ++self->progressCalls_;
    }

    mutable QMutex mutex_;
    QWaitCondition cond_;
    QList<Call> results_;
    QList<Call> deletes_;
    qint64 lastUploaded_ = 0;
    qint64 incrementSum_ = 0;
    int progressCalls_ = 0;
};
