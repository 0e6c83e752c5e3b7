#pragma once

// Accounts of the devplatform's demo seed (docs/devplatform.md).
namespace demo {

inline constexpr char kMainEmail[] = "demo@kavro.example";
inline constexpr char kMainPassword[] = "demo1234";
inline constexpr char kMainAppId[] = "K1D3E5A7C9";
inline constexpr char kMainSecret[] = "demo-secret-6f1c2a9e4b7d";
inline constexpr char kMainUserId[] = "1d3e5a7c9b";
inline constexpr char kSubPassword[] = "sub12345";
inline constexpr char kUploaderAppId[] = "K1SUB00003";
inline constexpr char kUploaderSecret[] = "sub-secret-uploader-3";
inline constexpr char kViewerAppId[] = "K1SUB00004";
inline constexpr char kViewerSecret[] = "sub-secret-viewer-4";
inline constexpr char kOtherAppId[] = "K7F0E1D2C3";
inline constexpr char kOtherSecret[] = "other-secret-0a9b8c7d";

}  // namespace demo
