#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include "store/DBManager.h"
#include "upload/UploadStatus.h"

// The one object through which the client drives the upload library: it initialises the
// library for the signed-in user, owns the upload queue (a map from vid to task, iterated in
// ascending vid order), schedules the tasks within the concurrency limit, and turns the
// library's callbacks into signals on the GUI thread. Used only on the GUI thread.
class SDKManager : public QObject
{
    Q_OBJECT

public:
    static SDKManager* instance();

    // Initialises the library for a signed-in user; false fails the sign-in.
    bool Init(const QString& userId, const QString& appId, const QString& appSecret);
    void SetProxy(int type, const QString& host, uint port, const QString& user,
                  const QString& password);
    void SetMaxTasks(int n);
    void SetAutoStart(bool on);
    // Upload speed limit in KB/s for the whole library; 0 = unlimited.
    void SetSpeedLimit(int kiloBytesPerSecond);
    // Applies "uploadTasksNum", "autoStartUpload" and "limitedSpeedValue" of the settings.
    void ApplyQueueSettings();

    bool AddUpload(qint64 cateId, const QString& filePath, const QString& title,
                   const QString& desc, const QString& tags, const QString& cateName, int luping,
                   int keepSource);
    // AddUpload for many files at once, in order (fileName, titleName, describ, tag, catePath,
    // cateId, luping and keepSource of each record are used): the same signals per file, but
    // one database commit for all records and one scheduler run at the end. Returns the
    // result AddUpload would have returned for each file.
    QVector<bool> AddUploads(const QVector<DBManager::Upload>& files);
    void LoadUploads();
    void StartAll();
    void PauseAll();
    void StartTask(const QString& vid, bool start);
    void DeleteTask(const QString& vid);
    void DeleteAll();

    // Writes the latest progress of every queued upload into its upload record (the transfer
    // page does so every third second and when it closes). updateTS keeps the value it got
    // when the file was added.
    void SaveUploadProgress();

    bool HasTask(const QString& vid) const;
    SharedUploadTaskPtr Task(const QString& vid) const;
    QStringList FilterVids(const QStringList& vids, bool inQueue) const;
    bool AnyUploading() const;
    static bool CheckTextValid(const QString& fileName, const QString& title, const QString& desc,
                               const QString& tags);
    int MaxTasks() const { return maxTasks; }
    bool AutoStart() const { return autoStart; }
    int TaskCount() const { return tasks.size(); }

    // At application exit: destroys every handle, empties the queue, releases the library.
    void Release();

signals:
    void SignalExistUpload(QString vid);
    void SignalAppendUpload(SharedUploadTaskPtr task, DBManager::Upload record);
    void SignalRemoveUpload(QString vid);
    void SignalRemoveAllUploads();
    void SignalAllUploadStatus(bool allStart);

public slots:
    void OnTaskStatus(int status);
    void OnTaskDelete(bool result, QString vid);
    void OnTaskRelease(bool uploadSuccess, QString vid);

private:
    SDKManager();

    bool AppendTask(const DBManager::Upload& record, bool start, bool isNew, bool announce);
    // Steps 1-4 of AppendTask: the task set up, in the map and connected; null when refused.
    SharedUploadTaskPtr MakeTask(const DBManager::Upload& record, bool start);
    // The queued upload of filePath in cateId, or null.
    SharedUploadTaskPtr FindUpload(qint64 cateId, const QString& filePath) const;
    void Schedule();
    int CountStatus(int status) const;
    // Pauses a task in the library and puts it back in line for a free slot.
    static void RequeueTask(SDKUploadTask* task);

    QMap<QString, SharedUploadTaskPtr> tasks;
    int maxTasks = 3;
    bool autoStart = true;
};
