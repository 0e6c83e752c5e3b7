#pragma once

#include <QString>
#include <QStringList>

// What a video id looks like and how a piece of text holding several of them is cut apart.
namespace VidRule {

// At most this many vids are collected for one search.
constexpr int kMaxVids = 100;
constexpr int kVidLength = 34;
constexpr int kStemLength = 32;

// Exactly 34 characters that split at "_" into two parts, the first of 32 characters.
bool IsValid(const QString& vid);

// Splits text at the first of ",", ";", " ", "\r\n", "\n", "\r" that cuts it into two or more
// parts; the parts are trimmed and empty ones dropped. A text no separator cuts is one part.
QStringList Split(const QString& text);

// The ten lines of the vid template file: a fixed example stem, "_" and the digits 0 to 9.
QStringList TemplateVids();
// Writes the template lines as a text file, each ending with a line break.
bool WriteTemplateFile(const QString& path, QString* error = nullptr);

}  // namespace VidRule
