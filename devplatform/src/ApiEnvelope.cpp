#include "ApiEnvelope.h"

#include <QUuid>

#include "HttpUtil.h"

namespace ApiEnvelope {

QString NewRequestId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).remove(QLatin1Char('-'));
}

void Success(httplib::Response& res, const QJsonValue& data)
{
    HttpUtil::SetJson(res, QJsonObject{{QStringLiteral("code"), 200},
                                       {QStringLiteral("status"), QStringLiteral("success")},
                                       {QStringLiteral("requestId"), NewRequestId()},
                                       {QStringLiteral("data"), data},
                                       {QStringLiteral("error"), QJsonValue::Null}});
}

void Failure(httplib::Response& res, int errorCode, const QString& desc, const QJsonValue& data,
             int httpStatus)
{
    HttpUtil::SetJson(
        res,
        QJsonObject{{QStringLiteral("code"), 400},
                    {QStringLiteral("status"), QStringLiteral("error")},
                    {QStringLiteral("requestId"), NewRequestId()},
                    {QStringLiteral("data"), data},
                    {QStringLiteral("error"), QJsonObject{{QStringLiteral("code"), errorCode},
                                                          {QStringLiteral("desc"), desc}}}},
        httpStatus);
}

}  // namespace ApiEnvelope
