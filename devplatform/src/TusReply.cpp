#include "TusReply.h"

#include <httplib.h>

#include <QJsonObject>

#include "HttpUtil.h"

namespace TusReply {

void SetHeaders(httplib::Response& res)
{
    res.set_header("Tus-Resumable", kVersion);
}

void Refuse(httplib::Response& res, int httpStatus, int code, const QString& message)
{
    SetHeaders(res);
    res.set_header("Kvr-Error-Code", std::to_string(code));
    HttpUtil::SetJson(
        res, QJsonObject{{QStringLiteral("code"), code}, {QStringLiteral("message"), message}},
        httpStatus);
}

void Status(httplib::Response& res, int httpStatus, const QString& message)
{
    SetHeaders(res);
    HttpUtil::SetText(res, message, httpStatus);
}

}  // namespace TusReply
