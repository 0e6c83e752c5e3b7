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
// The method a request stands for: a POST's X-HTTP-Method-Override header (upper-cased) when
// it has one, as tus 1.0 asks of a server for clients behind proxies that pass only GET and
// POST; otherwise its own.
QString Method(const httplib::Request& req);
// Query and form parameters (a repeated name keeps its last value).
QMap<QString, QString> Params(const httplib::Request& req);
void SetJson(httplib::Response& res, const QJsonObject& object, int status = 200);
void SetText(httplib::Response& res, const QString& text, int status);
bool IsLoopback(const httplib::Request& req);

}  // namespace HttpUtil
