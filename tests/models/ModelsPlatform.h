#pragma once

// Shared by the model tests and the model benchmark: signs in to the devplatform found in the
// environment (KAVRO_PLATFORM_URL, KAVRO_TEST_CACERT) the way the application does, and adds
// fault rules through the platform's loopback admin endpoint.

#include <QTemporaryDir>
#include <QtConcurrent>

#include "../common/PlatformFaults.h"
#include "api/ApiAccount.h"
#include "api/ApiSigning.h"
#include "app/Config.h"
#include "models/LibraryAccount.h"

namespace ModelsPlatform {

// The account of the last SignIn, as the application hands it to the models.
inline LibraryAccount& Account()
{
    static LibraryAccount account;
    return account;
}

inline bool Configured()
{
    return qEnvironmentVariableIsSet("KAVRO_PLATFORM_URL") &&
           qEnvironmentVariableIsSet("KAVRO_TEST_CACERT");
}

// Points the process-wide settings at the test CA; the directory must outlive the run.
inline void UseTestCa(QTemporaryDir* dir)
{
    static Config* config = nullptr;
    if (!config) {
        config = new Config(dir->filePath(QStringLiteral("global.ini")));
        Config::SetGlobal(config);
    }
    config->SetValue(QStringLiteral("NetWorkManager"), QStringLiteral("customSSLCacert"),
                     qEnvironmentVariable("KAVRO_TEST_CACERT"));
}

// Signs in on a pool thread (requests never run on the GUI thread), installs the signing
// credentials and the library session. Returns the login outcome.
inline ApiCollection::RequestError SignIn(const QString& email, const QString& password,
                                          ApiCollection::LoginResult* login)
{
    using namespace ApiCollection;
    const auto request = [&]() {
        QByteArray response;
        const RequestError sent =
            LoginClientRequest(QUuid::createUuid(), email, password, &response, nullptr, nullptr);
        return sent == NoError ? ParseLoginClientResponse(response, login) : sent;
    };
    const RequestError error = QtConcurrent::run(request).result();
    if (error != NoError) {
        return error;
    }
    setCredentials({login->appId, login->appSecret});
    LibraryAccount& account = Account();
    account.userId = login->userId;
    account.topCateId = login->cateId;
    account.canManage = login->operaManage;
    account.canCopyCode = login->operaCopycode;
    return NoError;
}

// POST /admin/faults with a rule such as "path=/v3/video/list-video,delay=1500,times=1";
// an empty rule clears all rules (DELETE).
inline bool SetFault(const QString& rule)
{
    return SetPlatformFault(rule.toUtf8());
}

}  // namespace ModelsPlatform
