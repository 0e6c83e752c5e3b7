#include "upload/SDKManager.h"

#include <kvr_upload_sdk.h>

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include "api/ApiTransport.h"
#include "app/Config.h"
#include "app/DataDir.h"
#include "app/Format.h"
#include "app/Log.h"
#include "app/TextValidator.h"
#include "upload/SDKUploadTask.h"

namespace {

// Set while the scheduler runs: the status signals it causes call it again, and those inner
// calls must do nothing.
bool g_scheduling = false;

}  // namespace

SDKManager* SDKManager::instance()
{
    static SDKManager manager;
    return &manager;
}

SDKManager::SDKManager()
{
    qRegisterMetaType<SharedUploadTaskPtr>("SharedUploadTaskPtr");
    qRegisterMetaType<DBManager::Upload>("DBManager::Upload");
}

bool SDKManager::Init(const QString& userId, const QString& appId, const QString& appSecret)
{
    const QString logPath = Log::LogBasePath() + QStringLiteral("_sdk.log");
    const QByteArray logPathUtf8 = logPath.toUtf8();
    const int logResult = KVRSetSdkLogFile(logPathUtf8.constData());
    if (logResult != 0) {
        qCritical("KVRSetSdkLogFile failed: %d, path: %s", logResult, logPathUtf8.constData());
    }
    KVRSetSdkLogLevel(2);
    KVRSetSdkCachePath(QDir(DataDirPath()).absolutePath().toUtf8().constData());
    // The upload library knows no deployment of its own: it gets the transport's.
    const Deployment deployment = ApiCollection::CurrentDeployment();
    KVRSetSdkPlatformUrl(deployment.platformUrl.toUtf8().constData());

    const int rc = KVRInitSdkLibrary(userId.toUtf8().constData(), appId.toUtf8().constData(),
                                     appSecret.toUtf8().constData());
    if (rc != 0) {
        qCritical() << "init error code:" << rc
                    << ",error msg:" << QString::fromUtf8(KVRGetSdkErrorDescription(rc));
        return false;
    }
    KVRSetSdkHttpRequest(3);
    KVRSetSdkCacertFile(deployment.caBundlePath.toUtf8().constData());
    qInfo() << "SDK initialled, version:" << QString::fromUtf8(KVRGetSdkVersion());
    return true;
}

void SDKManager::SetProxy(int type, const QString& host, uint port, const QString& user,
                          const QString& password)
{
    if (type == 0) {
        KVRSetSdkProxy(0, nullptr, 0, nullptr, nullptr);
    } else if (type == 1) {
        KVRSetSdkProxy(1, host.toUtf8().constData(), port, user.toUtf8().constData(),
                       password.toUtf8().constData());
    }
}

void SDKManager::SetMaxTasks(int n)
{
    if (n != maxTasks) {
        maxTasks = n;
        Schedule();
    }
}

void SDKManager::SetAutoStart(bool on)
{
    autoStart = on;
}

void SDKManager::SetSpeedLimit(int kiloBytesPerSecond)
{
    KVRSetSdkTrafficLimit(static_cast<int64_t>(qMax(0, kiloBytesPerSecond)) * 1024);
}

void SDKManager::ApplyQueueSettings()
{
    Config* config = Config::Global();
    if (!config) {
        return;
    }
    const QString group = QStringLiteral("UploadTaskManager");
    SetMaxTasks(config->Value(group, QStringLiteral("uploadTasksNum")).toInt());
    SetAutoStart(config->Value(group, QStringLiteral("autoStartUpload")).toBool());
    SetSpeedLimit(config->Value(group, QStringLiteral("limitedSpeedValue")).toInt());
}

bool SDKManager::AddUpload(qint64 cateId, const QString& filePath, const QString& title,
                           const QString& desc, const QString& tags, const QString& cateName,
                           int luping, int keepSource)
{
    DBManager::Upload file;
    file.fileName = filePath;
    file.titleName = title;
    file.describ = desc;
    file.tag = tags;
    file.catePath = cateName;
    file.cateId = cateId;
    file.luping = luping;
    file.keepSource = keepSource;
    return AddUploads({file}).first();
}

QVector<bool> SDKManager::AddUploads(const QVector<DBManager::Upload>& files)
{
    QVector<bool> results;
    results.reserve(files.size());
    QVector<SharedUploadTaskPtr> added;
    QVector<DBManager::Upload> records;
    const auto now = static_cast<quint64>(QDateTime::currentSecsSinceEpoch());
    for (const DBManager::Upload& file : files) {
        if (const SharedUploadTaskPtr existing = FindUpload(file.cateId, file.fileName)) {
            emit SignalExistUpload(existing->Vid());
            results.append(true);
            continue;
        }
        DBManager::Upload record;
        record.fileName = file.fileName;
        record.titleName = file.titleName;
        record.describ = file.describ;
        record.tag = file.tag;
        record.catePath = file.catePath;
        record.cateId = file.cateId;
        record.luping = file.luping;
        record.keepSource = file.keepSource;
        record.updateTS = now;
        const SharedUploadTaskPtr task = MakeTask(record, true);
        results.append(!task.isNull());
        if (task) {
            added.append(task);
            records.append(task->Record());
        }
    }
    if (added.isEmpty()) {
        return results;
    }
    if (DBManager::instance()->AddUploads(records)) {
        for (const SharedUploadTaskPtr& task : qAsConst(added)) {
            task->savedBytes = task->Record().uploadBytes;
        }
    }
    for (const SharedUploadTaskPtr& task : qAsConst(added)) {
        emit SignalAppendUpload(task, task->Record());
    }
    Schedule();
    return results;
}

SharedUploadTaskPtr SDKManager::FindUpload(qint64 cateId, const QString& filePath) const
{
    for (const SharedUploadTaskPtr& task : tasks) {
        const DBManager::Upload& record = task->Record();
        if (record.cateId == cateId && record.fileName == filePath && !record.vid.isEmpty()) {
            return task;
        }
    }
    return {};
}

SharedUploadTaskPtr SDKManager::MakeTask(const DBManager::Upload& record, bool start)
{
    // deleteLater: a task may leave the queue while it is still emitting the signal that
    // made it leave.
    SharedUploadTaskPtr task(new SDKUploadTask, &QObject::deleteLater);
    if (!task->Setup(record, start, [this](const QString& vid) { return HasTask(vid); })) {
        return {};
    }
    tasks.insert(task->Vid(), task);
    connect(task.data(), &SDKUploadTask::SignalStatus, this, &SDKManager::OnTaskStatus);
    connect(task.data(), &SDKUploadTask::SignalRelease, this, &SDKManager::OnTaskRelease);
    connect(task.data(), &SDKUploadTask::SignalDeleteResult, this, &SDKManager::OnTaskDelete);
    return task;
}

bool SDKManager::AppendTask(const DBManager::Upload& record, bool start, bool isNew, bool announce)
{
    const SharedUploadTaskPtr task = MakeTask(record, start);
    if (!task) {
        return false;
    }
    if (!isNew) {
        task->savedBytes = record.uploadBytes;  // as the table holds it
    } else if (DBManager::instance()->AddUpload(task->Record())) {
        task->savedBytes = task->Record().uploadBytes;
    }
    if (announce) {
        emit SignalAppendUpload(task, task->Record());
    }
    return true;
}

void SDKManager::LoadUploads()
{
    const QVector<DBManager::Upload> records = DBManager::instance()->GetUploads();
    for (const DBManager::Upload& record : records) {
        if (const SharedUploadTaskPtr queued = tasks.value(record.vid)) {
            // Already in the queue (a page opened again while it runs): shown, not restored
            // a second time, and its record stays.
            emit SignalAppendUpload(queued, queued->Record());
        } else if (!AppendTask(record, autoStart, false, true)) {
            DBManager::instance()->RemoveUpload(record.vid);
        }
    }
    Schedule();
}

int SDKManager::CountStatus(int status) const
{
    int count = 0;
    for (const SharedUploadTaskPtr& task : tasks) {
        if (task->Status() == status) {
            ++count;
        }
    }
    return count;
}

void SDKManager::RequeueTask(SDKUploadTask* task)
{
    task->Start(false);
    task->SetStatus(Waiting);
}

void SDKManager::Schedule()
{
    if (g_scheduling) {
        return;
    }
    g_scheduling = true;
    const int running = CountStatus(Uploading);
    if (running <= maxTasks) {
        int free = maxTasks - running;
        // A snapshot: starting a task may change the map through its signals.
        const QList<SharedUploadTaskPtr> queue = tasks.values();
        for (const SharedUploadTaskPtr& task : queue) {
            if (free <= 0) {
                break;
            }
            if (task->Status() == Waiting) {
                task->Start(true);
                --free;
            }
        }
    } else {
        int excess = running - maxTasks;
        const QList<SharedUploadTaskPtr> queue = tasks.values();
        for (const SharedUploadTaskPtr& task : queue) {
            if (excess <= 0) {
                break;
            }
            if (task->Status() == Uploading) {
                RequeueTask(task.data());
                --excess;
            }
        }
    }
    g_scheduling = false;
}

void SDKManager::StartAll()
{
    int running = CountStatus(Uploading);
    const QList<SharedUploadTaskPtr> queue = tasks.values();
    for (const SharedUploadTaskPtr& task : queue) {
        const int status = task->Status();
        if (status == Uploading || status == Invalid) {
            continue;
        }
        if (running < maxTasks) {
            task->Start(true);
            ++running;
        } else if ((status == Paused || status == Stopped || status == Failed) &&
                   task->IsCreated()) {
            RequeueTask(task.data());
        }
    }
}

void SDKManager::PauseAll()
{
    const QList<SharedUploadTaskPtr> queue = tasks.values();
    for (const SharedUploadTaskPtr& task : queue) {
        if (task->Status() != Invalid) {
            task->Start(false);
        }
    }
}

void SDKManager::StartTask(const QString& vid, bool start)
{
    const SharedUploadTaskPtr task = tasks.value(vid);
    if (!task) {
        return;
    }
    if (!start) {
        task->Start(false);
        return;
    }
    if (CountStatus(Uploading) < maxTasks) {
        task->Start(true);
    } else if (task->IsCreated() && task->Status() != Invalid) {
        RequeueTask(task.data());
    }
}

void SDKManager::DeleteTask(const QString& vid)
{
    const SharedUploadTaskPtr task = tasks.value(vid);
    if (task && task->IsCreated() && !task->IsDeleting()) {
        task->Delete();
    }
}

void SDKManager::DeleteAll()
{
    const QList<SharedUploadTaskPtr> queue = tasks.values();
    for (const SharedUploadTaskPtr& task : queue) {
        if (task->IsCreated() && !task->IsDeleting()) {
            task->Delete();
        }
    }
}

void SDKManager::SaveUploadProgress()
{
    // Only what moved since the last save, all in one commit: a save every third second
    // must not write the whole queue each time.
    QVector<DBManager::Upload> changed;
    for (const SharedUploadTaskPtr& task : qAsConst(tasks)) {
        if (!task->Vid().isEmpty() && task->Record().uploadBytes != task->savedBytes) {
            changed.append(task->Record());
        }
    }
    if (DBManager::instance()->AddUploads(changed)) {
        for (const DBManager::Upload& record : qAsConst(changed)) {
            if (const SharedUploadTaskPtr task = tasks.value(record.vid)) {
                task->savedBytes = record.uploadBytes;
            }
        }
    }
}

bool SDKManager::HasTask(const QString& vid) const
{
    return tasks.contains(vid);
}

SharedUploadTaskPtr SDKManager::Task(const QString& vid) const
{
    return tasks.value(vid);
}

QStringList SDKManager::FilterVids(const QStringList& vids, bool inQueue) const
{
    QStringList result;
    for (const QString& vid : vids) {
        if (HasTask(vid) == inQueue) {
            result << vid;
        }
    }
    return result;
}

bool SDKManager::AnyUploading() const
{
    return CountStatus(Uploading) > 0;
}

bool SDKManager::CheckTextValid(const QString& fileName, const QString& title, const QString& desc,
                                const QString& tags)
{
    return TextValidator::IsValid(fileName) && TextValidator::IsValid(title) &&
           TextValidator::IsValid(desc) && TextValidator::IsValid(tags);
}

void SDKManager::Release()
{
    for (const SharedUploadTaskPtr& task : qAsConst(tasks)) {
        task->ReleaseHandle();
    }
    tasks.clear();
    KVRReleaseSdkLibrary();
}

void SDKManager::OnTaskStatus(int)
{
    Schedule();
    bool allStopped = true;
    bool allStarted = true;
    for (const SharedUploadTaskPtr& task : qAsConst(tasks)) {
        const int status = task->Status();
        if (status == Waiting || status == Uploading) {
            allStopped = false;
        } else {
            allStarted = false;
        }
    }
    if (allStopped) {
        emit SignalAllUploadStatus(false);
    } else if (allStarted) {
        emit SignalAllUploadStatus(true);
    }
}

void SDKManager::OnTaskRelease(bool uploadSuccess, QString vid)
{
    const SharedUploadTaskPtr task = tasks.take(vid);
    if (uploadSuccess && task) {
        const DBManager::Upload& record = task->Record();
        DBManager::History history;
        history.vid = vid;
        history.fileName = record.fileName;
        history.titleName =
            record.titleName.isEmpty() ? QFileInfo(record.fileName).fileName() : record.titleName;
        history.fileSize = FormatSize(record.totalBytes, 4);
        history.fileStatus = record.statusText;
        history.updateTS = static_cast<quint64>(QDateTime::currentSecsSinceEpoch());
        DBManager::instance()->MoveUploadToHistory(history, true);
    }
    Schedule();
    emit SignalRemoveUpload(vid);
}

void SDKManager::OnTaskDelete(bool result, QString vid)
{
    if (!result) {
        return;
    }
    tasks.remove(vid);
    DBManager::instance()->RemoveUpload(vid);
}
