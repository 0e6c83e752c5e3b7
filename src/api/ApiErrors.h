#pragma once

#include <QString>

#include "api/ApiCollection.h"

// The user-facing texts of an outcome: translated through the application's translator in the
// context "ApiCollection". Callers show errorCodeString(result.errorCode) when the outcome is
// ApiReturnFailed and that text is not empty, otherwise requestErrorString(outcome).
namespace ApiCollection {

QString requestErrorString(RequestError error);
// Empty for 0 and for codes that have no text of their own.
QString errorCodeString(int errorCode);
// The RequestError's key ("CurlPerformTimeout"), for log lines.
QString requestErrorKey(RequestError error);

}  // namespace ApiCollection
