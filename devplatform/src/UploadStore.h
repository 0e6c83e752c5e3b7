#pragma once

#include <QString>
#include <QStringList>

class Database;

// The upload endpoint's rows: uploads and the videos they create. Callers hold the database
// lock.
class UploadStore
{
public:
    // What a creation puts into the store: the video (status 5) and its upload.
    struct NewUpload
    {
        QString uploadId;
        QString path;
        QString vid;
        qint64 owner = 0;
        qint64 account = 0;
        qint64 cateId = 0;
        qint64 length = 0;
        QString title;
        QString description;
        QString tags;
        QString uploader;
        QString filename;
        bool luping = false;
        QString metadata;  // the Upload-Metadata header
    };

    explicit UploadStore(const Database& db) : db_(db) {}

    bool Insert(const NewUpload& upload) const;
    // The id of account's finished upload of vid; one without bytes is recorded when the
    // video came from elsewhere (a seed, another account of the library). Empty on a store
    // failure.
    QString FinishedUploadId(const QString& vid, qint64 owner, qint64 account, qint64 size,
                             const QString& metadata) const;
    QStringList UnfinishedUploadIds(const QString& vid) const;
    // Marks vid's unfinished uploads terminated and removes the video they were creating.
    bool DropUnfinished(const QString& vid) const;

private:
    bool InsertMetadata(const QString& uploadId, const QString& metadata) const;

    const Database& db_;
};
