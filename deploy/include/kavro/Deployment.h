#pragma once

// Deployment constants agreed between the client and the platform. They are configured per
// deployment, never derived, and this header is the one place that defines them: the client,
// the upload library and the local platform server (devplatform) all include it.

namespace kavro::deployment {

// Base URL of the platform: web API, upload endpoint and download hosts. A deployment may
// override it in the ini file ("Custom"/"platformUrl") and the environment variable
// KAVRO_PLATFORM_URL wins over both.
inline constexpr const char kPlatformUrl[] = "https://api.kavro.example";
inline constexpr const char kPlatformUrlKey[] = "platformUrl";
inline constexpr const char kPlatformUrlEnv[] = "KAVRO_PLATFORM_URL";

// Update service: built-in address and path of the version check.
inline constexpr const char kUpdateServiceUrl[] = "https://update.kavro.example";
inline constexpr const char kUpdateCheckPath[] = "/api/app/package/version/check";
// The client's identifier at the update service: 10 lower-case hexadecimal digits.
inline constexpr const char kUpdateUserId[] = "4b7e1c09d2";
inline constexpr const char kInstallerName[] = "KavroUploadClient-Setup.exe";
// The update service offers one package per system, chosen by the check's "project_type":
// the Windows installer for "pc64", the Debian package for "linux64".
inline constexpr const char kUpdateProjectTypeWindows[] = "pc64";
inline constexpr const char kUpdateProjectTypeLinux[] = "linux64";
inline constexpr const char kLinuxPackageName[] = "kavro-upload-client_amd64.deb";

// The playback code the video table offers for a vid: where the player script comes from, and
// the help page about the playback token of encrypted videos.
inline constexpr const char kPlayerScriptUrl[] = "https://player.kavro.example/script/player.js";
inline constexpr const char kPlaySafeHelpUrl[] = "https://help.kavro.example/player/playsafe-token";

// The 32-character upper-case hexadecimal constant from which the account secret of a login
// answer is recovered (MD5 of this constant, appId and nonce).
inline constexpr const char kLoginConstant[] = "9F3A6C1E58D24B07A1C3E5F7092B4D6E";

// The 19-character salt of the update-service signature. The client assembles it at run time
// from these two pieces; the update service uses the same two pieces.
inline constexpr const char kUpdateSaltHead[] = "kavro-update";
inline constexpr const char kUpdateSaltTail[] = "-s4lt19";

static_assert(sizeof(kLoginConstant) - 1 == 32, "login constant must be 32 characters");
static_assert(sizeof(kUpdateSaltHead) - 1 + sizeof(kUpdateSaltTail) - 1 == 19,
              "update salt must be 19 characters");
static_assert(sizeof(kUpdateUserId) - 1 == 10, "update user id must be 10 characters");

}  // namespace kavro::deployment
