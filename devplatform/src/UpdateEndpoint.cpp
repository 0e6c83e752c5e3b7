#include "UpdateEndpoint.h"

#include <httplib.h>
#include <kavro/Deployment.h>

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>

#include "Crypto.h"
#include "FileHost.h"
#include "HttpUtil.h"
#include "PlatformContext.h"
#include "UpdatePackages.h"

namespace {

void Refuse(httplib::Response& res, int code, const QString& message)
{
    HttpUtil::SetJson(res, QJsonObject{{QStringLiteral("code"), code},
                                       {QStringLiteral("success"), false},
                                       {QStringLiteral("status"), QStringLiteral("failed")},
                                       {QStringLiteral("message"), message}});
}

}  // namespace

void UpdateEndpoint::Register(httplib::Server& server)
{
    server.Post(kavro::deployment::kUpdateCheckPath, [this](const httplib::Request& req,
                                                            httplib::Response& res) {
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body));
        if (!doc.isObject()) {
            Refuse(res, 400, QStringLiteral("body is not a JSON object"));
            return;
        }
        QMap<QString, QString> params;
        const QJsonObject body = doc.object();
        for (auto it = body.constBegin(); it != body.constEnd(); ++it) {
            params.insert(it.key(),
                          it.value().isString()
                              ? it.value().toString()
                              : QString::fromUtf8(QJsonDocument(QJsonObject{{it.key(), it.value()}})
                                                      .toJson(QJsonDocument::Compact))
                                    .section(QLatin1Char(':'), 1)
                                    .chopped(1));
        }
        const QString salt = QString::fromLatin1(kavro::deployment::kUpdateSaltHead) +
                             QString::fromLatin1(kavro::deployment::kUpdateSaltTail);
        if (params.value(QStringLiteral("sign")) != Crypto::UpdateSignature(salt, params)) {
            Refuse(res, 401, QStringLiteral("sign error"));
            return;
        }
        if (params.value(QStringLiteral("user_id")).isEmpty()) {
            Refuse(res, 400, QStringLiteral("user_id missing"));
            return;
        }
        const ServerOptions& options = context_.options;
        const QString installer =
            UpdatePackages::NameFor(options, params.value(QStringLiteral("project_type")));
        HttpUtil::SetJson(
            res, QJsonObject{
                     {QStringLiteral("code"), 200},
                     {QStringLiteral("success"), true},
                     {QStringLiteral("status"), QStringLiteral("success")},
                     {QStringLiteral("message"), QStringLiteral("success")},
                     {QStringLiteral("project_name"), params.value(QStringLiteral("project_name"))},
                     {QStringLiteral("project_version"), options.updateVersion},
                     {QStringLiteral("project_description"), options.updateDescription},
                     {QStringLiteral("project_download"),
                      context_.FileUrl(QLatin1String(FileHost::kInstallerPrefix) + installer)},
                     {QStringLiteral("force_install"), false},
                     {QStringLiteral("silence_install"), false}});
    });
}
