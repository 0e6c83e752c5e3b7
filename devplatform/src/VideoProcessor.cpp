#include "VideoProcessor.h"

#include <chrono>

#include <QDateTime>
#include <QDebug>
#include <QVariant>

#include "AccountStore.h"
#include "PlatformContext.h"
#include "VideoJson.h"

namespace {

// Seconds of video a file of this size stands for (about 2 Mbit/s).
double EstimatedDuration(qint64 size)
{
    return qMax(1.0, static_cast<double>(size) / 250000.0);
}

}  // namespace

VideoProcessor::VideoProcessor(PlatformContext& context) : context_(context) {}

VideoProcessor::~VideoProcessor()
{
    Stop();
}

void VideoProcessor::Start()
{
    thread_ = std::thread([this] { Run(); });
}

void VideoProcessor::Stop()
{
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void VideoProcessor::Run()
{
    while (!stop_) {
        Step();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

void VideoProcessor::Step()
{
    struct Due
    {
        QString vid;
        qint64 owner;
        int status;
        qint64 readyMs;
        qint64 size;
    };
    QList<Due> due;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 total = context_.options.processSeconds * 1000LL;
    {
        auto lock = context_.db->Lock();
        QSqlQuery q = context_.db->Query();
        q.prepare(
            QStringLiteral("SELECT vid, owner, status, ready_ms, size FROM videos "
                           "WHERE status IN (10, 20) AND ready_ms > 0"));
        if (!Database::Exec(q)) {
            return;
        }
        while (q.next()) {
            due.append(Due{q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toInt(),
                           q.value(3).toLongLong(), q.value(4).toLongLong()});
        }
    }
    for (const Due& video : due) {
        const qint64 elapsed = now - video.readyMs;
        if (video.status == 10 && elapsed >= total / 2) {
            auto lock = context_.db->Lock();
            const auto owner = AccountStore(*context_.db).ById(video.owner);
            const QString dir = VideoJson::PictureDir(owner ? owner->userId : QString(), video.vid);
            QSqlQuery q = context_.db->Query();
            q.prepare(QStringLiteral(
                "UPDATE videos SET status = 20, cover = ?, thumbnail = ?, snapshots = 6, "
                "updated_ms = ? WHERE vid = ? AND status = 10"));
            Database::Bind(q, {dir + QStringLiteral("cover.png"), dir + QStringLiteral("thumb.png"),
                               now, video.vid});
            Database::Exec(q);
            qInfo() << "processing:" << video.vid << "transcoding";
        } else if (video.status == 20 && elapsed >= total) {
            // The upload endpoint hashed the bytes as they arrived; a seeded video has none.
            auto lock = context_.db->Lock();
            QString md5;
            QSqlQuery upload = context_.db->Query();
            upload.prepare(QStringLiteral(
                "SELECT md5 FROM uploads WHERE vid = ? AND state = 1 AND path != ''"));
            upload.addBindValue(video.vid);
            if (Database::Exec(upload) && upload.next()) {
                md5 = upload.value(0).toString();
            }
            QSqlQuery q = context_.db->Query();
            q.prepare(QStringLiteral(
                "UPDATE videos SET status = 60, duration = ?, md5 = ?, updated_ms = ? "
                "WHERE vid = ? AND status = 20"));
            Database::Bind(q, {EstimatedDuration(video.size), md5, now, video.vid});
            Database::Exec(q);
            qInfo() << "processing:" << video.vid << "released";
        }
    }
}
