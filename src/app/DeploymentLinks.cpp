#include "app/DeploymentLinks.h"

#include "api/ApiTransport.h"
#include "app/Config.h"

namespace {

QString Link(const Config& config, const char* key, const char* page)
{
    const QString value =
        config.Value(QStringLiteral("Custom"), QString::fromLatin1(key)).toString().trimmed();
    return value.isEmpty() ? ApiCollection::platformBaseUrl() + QLatin1String(page) : value;
}

}  // namespace

namespace DeploymentLinks {

QString AgreementUrl(const Config& config)
{
    return Link(config, "agreementUrl", "/pages/agreement");
}

QString HelpUrl(const Config& config)
{
    return Link(config, "helpUrl", "/pages/help");
}

QString FeedbackUrl(const Config& config)
{
    return Link(config, "feedbackUrl", "/pages/feedback");
}

}  // namespace DeploymentLinks
