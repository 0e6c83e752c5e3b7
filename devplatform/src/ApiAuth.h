#pragma once

#include <initializer_list>
#include <optional>

#include <QMap>
#include <QString>

#include "Account.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

struct PlatformContext;

// The check every signed web API request passes: appId known (101, 107 when empty),
// timestamp within the window (100), MD5 signature right (104), sub-account not expired (103)
// and holding one of the permissions the operation needs (105).
class ApiAuth
{
public:
    // Platform error codes of the web API used by the endpoints.
    enum Code
    {
        kInvalidTimestamp = 100,
        kAppNotExist = 101,
        kChildExpired = 103,
        kInvalidSign = 104,
        kPermissionLimited = 105,
        kCategoryLimited = 106,
        kAppIdEmpty = 107,
    };
    static constexpr qint64 kTimestampWindowMs = 300 * 1000;

    // The request's parameters: query, form body or the text parts of a multipart body.
    static QMap<QString, QString> Params(const httplib::Request& req);

    // The signed-in account, or nothing after writing the refusal into res.
    static std::optional<Account> Verify(PlatformContext& context, const httplib::Request& req,
                                         httplib::Response& res,
                                         const QMap<QString, QString>& params,
                                         std::initializer_list<Account::Permission> anyOf);
};
