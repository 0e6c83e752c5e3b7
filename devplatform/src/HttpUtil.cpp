#include "HttpUtil.h"

#include <httplib.h>

#include <QJsonDocument>

namespace HttpUtil {

QString Header(const httplib::Request& req, const char* name)
{
    return QString::fromStdString(req.get_header_value(name));
}

QString Method(const httplib::Request& req)
{
    if (req.method == "POST" && req.has_header("X-HTTP-Method-Override")) {
        return Header(req, "X-HTTP-Method-Override").trimmed().toUpper();
    }
    return QString::fromStdString(req.method);
}

QMap<QString, QString> Params(const httplib::Request& req)
{
    QMap<QString, QString> params;
    for (const auto& [name, value] : req.params) {
        params.insert(QString::fromStdString(name), QString::fromStdString(value));
    }
    return params;
}

void SetJson(httplib::Response& res, const QJsonObject& object, int status)
{
    res.status = status;
    res.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(),
                    "application/json; charset=utf-8");
}

void SetText(httplib::Response& res, const QString& text, int status)
{
    res.status = status;
    res.set_content(text.toStdString(), "text/plain; charset=utf-8");
}

bool IsLoopback(const httplib::Request& req)
{
    return req.remote_addr == "127.0.0.1" || req.remote_addr == "::1" ||
           req.remote_addr.rfind("127.", 0) == 0;
}

}  // namespace HttpUtil
