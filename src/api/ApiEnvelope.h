#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include "api/ApiCollection.h"

// The common envelope of every platform answer and the frame every parse function follows,
// plus the readers that keep the answer's numbers whole.
namespace ApiCollection {

// Judges the envelope: success needs "code" 200, "status" "success" and "error" present as
// JSON null. ApiReturnFailed when "error" is anything but null, ApiError otherwise.
RequestError parseApiResult(const QJsonObject& root, ApiResult* result);

// Steps 1 and 2 of every parse function: the answer must be JSON (ParseJsonFailed) and its
// envelope must say success. *root receives the document's object even when the envelope
// reports a failure, so the login parse can still read the refusal's "data".
RequestError parseEnvelope(const char* tag, const QByteArray& response, ApiResult* result,
                           QJsonObject* root);

// Logs the critical "ApiError:" line of a payload with the wrong shape and returns ApiError.
RequestError payloadError(const char* tag, const char* message, const ApiResult& result);

// Numbers read through QVariant conversion, so 64-bit integers stay whole; missing or
// non-convertible members give the fallback.
quint64 readUInt64(const QJsonValue& value, quint64 fallback = 0);
qint64 readInt64(const QJsonValue& value, qint64 fallback = 0);
int readInt(const QJsonValue& value, int fallback = 0);

}  // namespace ApiCollection
