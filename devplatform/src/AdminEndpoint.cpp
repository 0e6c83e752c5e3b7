#include "AdminEndpoint.h"

#include <httplib.h>

#include <QJsonDocument>

#include "AccountStore.h"
#include "HttpUtil.h"
#include "PlatformContext.h"

namespace {

bool Guard(const httplib::Request& req, httplib::Response& res)
{
    if (HttpUtil::IsLoopback(req)) {
        return true;
    }
    HttpUtil::SetText(res, QStringLiteral("forbidden"), 403);
    return false;
}

}  // namespace

void AdminEndpoint::Register(httplib::Server& server)
{
    server.Get("/admin/faults", [this](const httplib::Request& req, httplib::Response& res) {
        if (Guard(req, res)) {
            HttpUtil::SetJson(res, QJsonObject{{QStringLiteral("faults"), context_.faults.List()}});
        }
    });
    server.Post("/admin/faults", [this](const httplib::Request& req, httplib::Response& res) {
        if (!Guard(req, res)) {
            return;
        }
        const QByteArray body = QByteArray::fromStdString(req.body);
        FaultInjector::Rule rule;
        QString error;
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(body, &parseError);
        const bool ok = doc.isObject() ? FaultInjector::RuleFromJson(doc.object(), &rule, &error)
                                       : FaultInjector::ParseRule(QString::fromUtf8(body).trimmed(),
                                                                  &rule, &error);
        if (!ok) {
            HttpUtil::SetJson(res, QJsonObject{{QStringLiteral("error"), error}}, 400);
            return;
        }
        context_.faults.Add(rule);
        HttpUtil::SetJson(res, QJsonObject{{QStringLiteral("added"), rule.ToJson()}});
    });
    server.Delete("/admin/faults", [this](const httplib::Request& req, httplib::Response& res) {
        if (Guard(req, res)) {
            context_.faults.Clear();
            res.status = 204;
        }
    });
    server.Post("/admin/account", [this](const httplib::Request& req, httplib::Response& res) {
        if (!Guard(req, res)) {
            return;
        }
        const QMap<QString, QString> params = HttpUtil::Params(req);
        auto lock = context_.db->Lock();
        const AccountStore accounts(*context_.db);
        const auto account = accounts.ByEmail(params.value(QStringLiteral("email")));
        if (!account) {
            HttpUtil::SetText(res, QStringLiteral("no such account"), 404);
            return;
        }
        if (params.contains(QStringLiteral("permissions"))) {
            const QString text = params.value(QStringLiteral("permissions"));
            int bits = 0;
            if (text == QLatin1String("all")) {
                bits = Account::kAllPermissions;
            } else if (text != QLatin1String("none")) {
                for (const QString& name : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                    const int bit = Account::PermissionNames().indexOf(name.trimmed());
                    if (bit < 0) {
                        HttpUtil::SetText(res, QStringLiteral("unknown permission: ") + name, 400);
                        return;
                    }
                    bits |= 1 << bit;
                }
            }
            accounts.SetNumber(account->id, QStringLiteral("permissions"), bits);
        }
        const QList<QPair<QString, QString>> numbers = {
            {QStringLiteral("space"), QStringLiteral("space")},
            {QStringLiteral("expirationTime"), QStringLiteral("expiration_ms")},
            {QStringLiteral("remainLoginChange"), QStringLiteral("remain_login")}};
        for (const auto& [name, column] : numbers) {
            if (!params.contains(name)) {
                continue;
            }
            bool ok = false;
            const qint64 value = params.value(name).toLongLong(&ok);
            if (!ok) {
                HttpUtil::SetText(res, name + QStringLiteral(" is not a number"), 400);
                return;
            }
            accounts.SetNumber(account->id, column, value);
        }
        res.status = 204;
    });
    server.Post("/admin/unlock", [this](const httplib::Request& req, httplib::Response& res) {
        if (!Guard(req, res)) {
            return;
        }
        auto lock = context_.db->Lock();
        const AccountStore accounts(*context_.db);
        const auto account = accounts.ByEmail(QString::fromStdString(req.get_param_value("email")));
        if (!account) {
            HttpUtil::SetText(res, QStringLiteral("no such account"), 404);
            return;
        }
        accounts.SetRemainLogin(account->id, 5);
        res.status = 204;
    });
}
