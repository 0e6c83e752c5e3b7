#pragma once

#include <QString>

namespace httplib {
struct Response;
}

// Answers of the upload endpoint: every one carries Tus-Resumable; platform refusals add
// Kvr-Error-Code and a JSON body, tus protocol statuses a short text.
namespace TusReply {

inline constexpr char kVersion[] = "1.0.0";

void SetHeaders(httplib::Response& res);
void Refuse(httplib::Response& res, int httpStatus, int code, const QString& message);
void Status(httplib::Response& res, int httpStatus, const QString& message);

}  // namespace TusReply
