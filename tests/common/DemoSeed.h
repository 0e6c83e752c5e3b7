#pragma once

#include <QString>

// Accounts of the devplatform's demo seed (docs/devplatform.md).
namespace demo {

inline const QString kMainEmail = QStringLiteral("demo@kavro.example");
inline const QString kMainPassword = QStringLiteral("demo1234");
inline const QString kMainAppId = QStringLiteral("K1D3E5A7C9");
inline const QString kMainSecret = QStringLiteral("demo-secret-6f1c2a9e4b7d");
inline const QString kMainUserId = QStringLiteral("1d3e5a7c9b");
inline const QString kSubPassword = QStringLiteral("sub12345");
inline const QString kUploaderAppId = QStringLiteral("K1SUB00003");
inline const QString kUploaderSecret = QStringLiteral("sub-secret-uploader-3");
inline const QString kViewerAppId = QStringLiteral("K1SUB00004");
inline const QString kViewerSecret = QStringLiteral("sub-secret-viewer-4");
inline const QString kOtherAppId = QStringLiteral("K7F0E1D2C3");
inline const QString kOtherSecret = QStringLiteral("other-secret-0a9b8c7d");

}  // namespace demo
