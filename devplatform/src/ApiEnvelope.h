#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

namespace httplib {
struct Response;
}

// The web API's answer envelope: "code", "status", "requestId", "data" and "error" (null on
// success, {"code", "desc"} on a refusal). Answers travel with HTTP 200 either way; the
// envelope decides.
namespace ApiEnvelope {

QString NewRequestId();
void Success(httplib::Response& res, const QJsonValue& data = QJsonValue::Null);
void Failure(httplib::Response& res, int errorCode, const QString& desc,
             const QJsonValue& data = QJsonValue::Null, int httpStatus = 200);

}  // namespace ApiEnvelope
