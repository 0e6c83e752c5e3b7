#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "api/ApiVideo.h"

class QIODevice;

// The CSV export of the library page: UTF-8 with a byte-order mark, a header line (the vid
// column, then the translated field names), one line per video, each line ending in "\n". A
// field that holds a comma, a double quote or a line break is quoted (RFC 4180, quotes
// doubled), so spreadsheets keep the columns; every other field is written exactly as it is.
namespace VideoCsvWriter {

QStringList HeaderFields();
QStringList RowFields(const ApiCollection::VideoInfo& video);
// A field as it appears in the file.
QString Field(const QString& text);
// The whole file's bytes.
QByteArray Build(const QList<ApiCollection::VideoInfo>& videos);
// Writes Build(videos) to device (open for writing); false when not everything was written.
bool Write(QIODevice* device, const QList<ApiCollection::VideoInfo>& videos);

}  // namespace VideoCsvWriter
