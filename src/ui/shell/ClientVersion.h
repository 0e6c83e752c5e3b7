#pragma once

#include <QString>

// The version this client shows and compares update answers with.
namespace ClientVersion {

inline const QString kText = QStringLiteral("2.4.2");
constexpr int kMajor = 2;
constexpr int kMinor = 4;
constexpr int kPatch = 2;

}  // namespace ClientVersion
