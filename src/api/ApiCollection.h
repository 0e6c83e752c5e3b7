#pragma once

#include <QFlags>
#include <QLoggingCategory>
#include <QMetaType>
#include <QObject>
#include <QString>

// The web API client: every request to the platform, the update service and the download
// hosts. This header holds the namespace's enumerations (registered with the meta-object
// system so their keys can be printed and looked up at run time) and the envelope head that
// every parsed answer starts with. The request and parse functions live in the area headers
// (ApiTransport.h, ApiSigning.h, ApiEnvelope.h, ApiErrors.h, ApiAccount.h, ApiCategory.h,
// ApiVideo.h, ApiDownload.h, ApiUpdate.h); include "api/Api.h" to get them all.
namespace ApiCollection {
Q_NAMESPACE

// The outcome of every request and parse function.
enum RequestError
{
    NoError = 0,
    CurlEscapeFailed = 1,
    CurlPerformFailed = 2,
    CurlPerformTimeout = 3,
    CurlPerformAbort = 4,
    ParseJsonFailed = 5,
    ApiReturnFailed = 6,
    ApiError = 7,
    Base64DecodingFailed = 8,
    DownloadPathIsNotDir = 9,
    DownloadPathIsNotWritable = 10,
    CreateDownloadPathFailed = 11,
    DownloadOccurSomeError = 12,
    DownloadCancel = 13,
    CreateTemporaryDirFailed = 14,
    FileIsNotExist = 15,
};
Q_ENUM_NS(RequestError)

// The platform's error codes, as carried in the "error" object of a failed answer.
enum ErrorCode
{
    SUCCESS = 0,
    UNDEFINED = 9,
    NO_LOGIN = 11,
    ACCESS_FORBIDDEN = 12,
    REDIRECT = 16,
    EMAIL_EMPTY = 20,
    PASSWORD_EMPTY = 21,
    USER_NOT_EXIST = 22,
    MAIN_ACCOUNT_PWD_ERR = 23,
    SUB_ACCOUNT_PWD_ERR = 24,
    USER_STATUS_ERROR = 25,
    SUB_USER_EXPIRED = 26,
    SUB_USER_NOT_ALLOW = 27,
    SMS_TOO_OFTEN = 28,
    SMS_CODE_ERR = 29,
    PASSWORD_ERR = 30,
    ACCOUNT_LOCKED = 31,
    PHONE_NOT_FOUND = 32,
    REGISTERED = 33,
    INVALID_TIMESTAMP_PERIOD = 100,
    APPLICATION_NOT_EXIST = 101,
    USER_CHILD_NOT_EXIST = 102,
    USER_CHILD_EXPIRED = 103,
    INVALID_SIGN = 104,
    PERMISSION_LIMITED = 105,
    CATEGORY_LIMITED = 106,
    APP_ID_CAN_NOT_BE_EMPTY = 107,
    VID_EMPTY = 401,
    TITLE_CAN_NOT_BE_EMPTY = 402,
    RESUME_FAILED = 403,
    INIT_FAILED = 405,
    SIZE_ZERO = 406,
    GET_TOKEN_FAILED = 407,
    INVALID_ACCOUNT_STATUS = 408,
    ILLEGAL_VID = 409,
    UPLOAD_PERMISSION_LIMITED = 410,
    FILE_LIMIT_5M = 415,
    PARAM_ERROR = 1100,
    PARAM_EMPTY = 1110,
    PARAM_NOT_DIGIT = 1111,
    PARAM_NOT_NUMBER = 1112,
    PARAM_INCORRECT_LENGTH = 1113,
    NUMBER_RANGE_ERROR = 1114,
    DATE_RANGE_ERROR = 1115,
    PARAM_NOT_BOOLEAN_YN = 1122,
    SLIDE_ERROR = 1123,
    INVALID_VID = 2000,
    INVALID_ALBUM_ID = 2020,
    ALBUM_OVER_LIMIT = 2021,
    INVALID_ALBUM_GROUP_ID = 2022,
    VIEW_PAGE_IS_CLOSE = 6000,
    VIDEO_STATUS_LIMIT = 3100,
    CATANAME_BLANK = 3000,
    CATEGORY_NOT_EXIST = 3001,
    CATA_PERMISSION_LIMIT = 3002,
    CATANAME_ALREADY_EXIST = 3003,
    DELETE_CATEGORY_FAIL = 3004,
    CATEGORY_MODIFY_LIMITED = 3005,
    UPDATE_DISK_VIDEO_CATA_LIMIT = 3006,
    CATANAME_TOO_LONG = 3010,
    VIDEO_NOT_EXIST = 4000,
    INVALID_FILTER = 4001,
    ONLY_FORBID_PUBLISH_VIDEO = 4002,
    ONLY_LIFT_FORBIDDEN_VIDEO = 4003,
    OPERATION_COUNT_EXCEED = 4004,
    VIDEO_SRT_TITLE_DUPLICATE = 4005,
    CONCAT_VIDEOS_NUM_LESS_THAN_2 = 4006,
    CONCAT_VIDEOS_NUM_LIMIT = 4007,
    CONCAT_VIDEOS_DURATION_LIMIT = 4008,
    INVALID_LOGIN_WAY = 5000,
    NO_WX_AUTH = 5001,
    GROUP_ACCOUNT_NOT_FOUND = 6000,
    ADD_GROUP_PACKAGE_ERROR = 6001,
};
Q_ENUM_NS(ErrorCode)

enum JsonType
{
    UNKNOWN = 0,
    OBJECT = 1,
    ARRAY = 2,
    STRING = 4,
    INTEGER = 8,
    REAL = 16,
    NUMBER = 32,
    BOOLEAN = 64,
    NULL_TYPE = 128,
};
Q_DECLARE_FLAGS(JsonTypeFlags, JsonType)
Q_FLAG_NS(JsonTypeFlags)

// The role of a sub-account; None is the main account.
enum AccountType
{
    Editor = 0,
    Operator = 1,
    Manager = 2,
    Uploader = 3,
    Classifier = 4,
    LiveManager = 5,
    Maintainer = 6,
    Distributer = 7,
    None = 4096,
};
Q_ENUM_NS(AccountType)

enum SortMethod
{
    NoSort = 0,
    CreationTimeDesc = 1,
    CreationTimeAsc = 2,
    TitleNameDesc = 3,
    TitleNameAsc = 4,
};
Q_ENUM_NS(SortMethod)

enum VideoInfoType
{
    Basic = 1,
    Snapshot = 2,
    Transcode = 4,
    Metadata = 8,
};
Q_DECLARE_FLAGS(VideoInfoTypeFlags, VideoInfoType)
Q_FLAG_NS(VideoInfoTypeFlags)

// The outcome of a whole update check (the update dialog opens in state result + 1).
enum CheckVersionResult
{
    AlreadyUpToDate = 0,
    CheckFailed = 1,
    HasNewerVersion = 2,
};
Q_ENUM_NS(CheckVersionResult)

// The head of every parsed answer: the platform's common envelope.
struct ApiResult
{
    QString requestId;
    int code = 0;
    QString status;
    int errorCode = SUCCESS;
    QString errorDesc;
};

// Registers the enumerations and result records for queued connections and QVariant.
void RegisterMetaTypes();

}  // namespace ApiCollection

Q_DECLARE_OPERATORS_FOR_FLAGS(ApiCollection::JsonTypeFlags)
Q_DECLARE_OPERATORS_FOR_FLAGS(ApiCollection::VideoInfoTypeFlags)

Q_DECLARE_LOGGING_CATEGORY(lcApi)
