#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

// Small conversions between cpp-httplib's std::string world and Qt's.
namespace HttpUtil {

QString Header(const httplib::Request& req, const char* name);
// Query and form parameters (a repeated name keeps its last value).
QMap<QString, QString> Params(const httplib::Request& req);
void SetJson(httplib::Response& res, const QJsonObject& object, int status = 200);
void SetText(httplib::Response& res, const QString& text, int status);
bool IsLoopback(const httplib::Request& req);

}  // namespace HttpUtil
