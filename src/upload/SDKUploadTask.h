#pragma once

#include <functional>

#include <QObject>
#include <QString>

#include "store/DBManager.h"
#include "upload/UploadStatus.h"

// One file in the upload queue: an uploader handle of the upload library and the stored
// upload record of the file.
//
//   (new file) ──added──▶ Waiting ──slot free──▶ Uploading ──result 0/112──▶ (history)
//   (restored) ─autoStart─▶ Waiting | Stopped        │  ▲
//   (restored, file gone or changed) ──▶ Invalid     │  └── start one / start-all / retry
//                        pause ◀─────────────────────┤
//                        Paused, Stopped, Failed ────┘ (Waiting when no slot is free)
//   Uploading ──failing result──▶ Failed     any ──result 19 (CRC-64)──▶ Invalid
//
// The library calls back on its own threads; the callbacks only queue a call to this object,
// so every field is read and written on the GUI thread.
class SDKUploadTask : public QObject
{
    Q_OBJECT

public:
    explicit SDKUploadTask(QObject* parent = nullptr);
    ~SDKUploadTask() override;

    // Creates the uploader for record (a new file when record.vid is empty, else a restored
    // upload); vidInUse tells whether a vid is already queued. False when no task can be made.
    bool Setup(const DBManager::Upload& record, bool start,
               const std::function<bool(const QString&)>& vidInUse);
    // Starts (true) or pauses (false) the upload in the library; false when refused.
    bool Start(bool start);
    // Sets the status without asking the library (the scheduler's "back to Waiting").
    void SetStatus(int newStatus);
    // Asks the library to terminate the upload; the outcome arrives through OnDelete.
    bool Delete();
    // Destroys the uploader handle: no callback reaches this task afterwards.
    void ReleaseHandle();

    int Status() const { return status; }
    bool IsCreated() const { return created; }
    bool IsDeleting() const { return deleting; }
    QString Vid() const { return record.vid; }
    const DBManager::Upload& Record() const { return record; }
    // Why the task is Invalid, or the text of its last failure.
    QString ErrorText() const { return errorText; }
    quintptr Handle() const { return handle; }

    // The text shown for a library result code and message (empty for success codes).
    static QString ResultText(int code, const QString& desc);
    // The key of the message table for a library message, or the message itself.
    static QString MapMessage(const QString& message);

signals:
    void SignalStatus(int status);
    void SignalResult(bool success, QString desc);
    void SignalRelease(bool uploadSuccess, QString vid);
    void SignalProgress(int increment, qlonglong uploadBytes, qlonglong totalBytes);
    void SignalDeleteResult(bool result, QString vid);

public slots:
    void OnResult(int code, QString desc);
    void OnDelete(int code, QString desc);
    void OnProgress(int increment, qlonglong uploadBytes, qlonglong totalBytes);

private:
    void RegisterHandlers();

    bool created = false;
    bool deleting = false;
    bool notify = true;
    int status = Stopped;
    quintptr handle = 0;
    DBManager::Upload record;
    QString errorText;
    // The uploadBytes last written to the upload record (the manager's bookkeeping), so that a
    // save skips what did not move; none at first.
    quint64 savedBytes = ~quint64(0);

    friend class SDKManager;
};
