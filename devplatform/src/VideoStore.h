#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

class Database;

struct Video
{
    QString vid;
    qint64 owner = 0;
    qint64 cateId = 0;
    QString cateName;
    QString title;
    QString description;
    QString tags;
    double duration = 0;
    qint64 size = 0;
    int status = 0;
    qint64 createdMs = 0;
    qint64 updatedMs = 0;
    QString uploader;
    qint64 playTimes = 0;
    QString md5;
    QString cover;      // file host path, empty when the video has none yet
    QString thumbnail;  // file host path
    int snapshots = 0;
};

// Reads and writes videos. Callers hold the database lock.
class VideoStore
{
public:
    struct Page
    {
        qint64 total = 0;
        QList<Video> videos;
    };

    explicit VideoStore(const Database& db) : db_(db) {}

    std::optional<Video> Get(qint64 owner, const QString& vid) const;
    // Videos in the given categories (all of the library's when cateIds is empty), filtered
    // by a title part, sorted by an ORDER BY clause.
    Page List(qint64 owner, const QList<qint64>& cateIds, const QString& titlePart,
              const QString& orderBy, int page, int pageSize) const;
    bool UpdateInfo(const QString& vid, const QString& title, const QString& tags,
                    const QString& description) const;
    bool Move(const QString& vid, qint64 cateId) const;
    bool Remove(const QString& vid) const;
    bool SetPictures(const QString& vid, const QString& cover, const QString& thumbnail) const;

private:
    const Database& db_;
};
