#pragma once

#include <QString>

#include "api/ApiCollection.h"

namespace ApiCollection {

// Whether a platform answers at baseUrl (https only), before the address is saved: an unsigned
// request to one of its endpoints must come back, over verified TLS, as the platform's JSON
// envelope (a refusal is fine: it proves the platform is there). Blocks: pool threads only.
// NoError, or the outcome with a text in *errorText.
RequestError ProbePlatform(const QString& baseUrl, bool* abortFlag, QString* errorText);

// A well-formed https address of a platform: scheme https, a host, no query or fragment.
bool IsPlatformAddress(const QString& text);

}  // namespace ApiCollection
