#pragma once

#include <QString>

class Config;

// The platform's pages the client links to: the user agreement of the login page, Help and
// Feedback of the main window. Deployment settings beside the platform URL ("Custom" group:
// "agreementUrl", "helpUrl", "feedbackUrl"); each, when not set, is a page of the platform
// itself (<platform URL>/pages/agreement, /pages/help, /pages/feedback), so a private
// deployment that sets its platform address gets working links at once.
namespace DeploymentLinks {

QString AgreementUrl(const Config& config);
QString HelpUrl(const Config& config);
QString FeedbackUrl(const Config& config);

}  // namespace DeploymentLinks
