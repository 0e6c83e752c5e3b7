#pragma once

#include <QSize>
#include <QString>
#include <QtGlobal>

// The checks an own cover image passes before any byte of it is sent: it exists, it is at most
// 5 MiB, Qt can read it as an image, and it is at most 1920 x 1080 pixels.
namespace CoverFileCheck {

constexpr qint64 kMaxBytes = 5242880;
constexpr int kMaxWidth = 1920;
constexpr int kMaxHeight = 1080;

enum class Result
{
    Ok,
    Missing,
    TooLarge,
    Unreadable,
    ResolutionTooLarge,
};

// size, when given, receives the image's pixel size once it could be read.
Result Check(const QString& path, QSize* size = nullptr);

}  // namespace CoverFileCheck
