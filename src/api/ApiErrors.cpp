#include "api/ApiErrors.h"

#include <QCoreApplication>
#include <QMetaEnum>

namespace {

const char kContext[] = "ApiCollection";

QString Translate(const char* sourceText)
{
    return QCoreApplication::translate(kContext, sourceText);
}

struct CodeText
{
    int code;
    const char* key;
};

const CodeText kErrorCodeTexts[] = {
    {11, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.NO_LOGIN")},
    {12, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.ACCESS_FORBIDDEN")},
    {20, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.EMAIL_EMPTY")},
    {21, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.PASSWORD_EMPTY")},
    {22, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.USER_NOT_EXIST")},
    {23, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.MAIN_ACCOUNT_PWD_ERR")},
    {24, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.SUB_ACCOUNT_PWD_ERR")},
    {26, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.SUB_USER_EXPIRED")},
    {27, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.SUB_USER_NOT_ALLOW")},
    {28, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.SMS_TOO_OFTEN")},
    {29, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.SMS_CODE_ERR")},
    {30, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.PASSWORD_ERR")},
    {31, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.ACCOUNT_LOCKED")},
    {32, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.PHONE_NOT_FOUND")},
    {103, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.USER_CHILD_EXPIRED")},
    {105, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.PERMISSION_LIMITED")},
    {106, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.CATEGORY_LIMITED")},
    {402, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.TITLE_CAN_NOT_BE_EMPTY")},
    {403, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.RESUME_FAILED")},
    {405, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.INIT_FAILED")},
    {406, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.SIZE_ZERO")},
    {407, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.GET_TOKEN_FAILED")},
    {408, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.INVALID_ACCOUNT_STATUS")},
    {409, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.ILLEGAL_VID")},
    {410, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.UPLOAD_PERMISSION_LIMITED")},
    {1123, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.SLIDE_ERROR")},
    {3000, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.CATANAME_BLANK")},
    {3001, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.CATEGORY_NOT_EXIST")},
    {3002, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.CATA_PERMISSION_LIMIT")},
    {3003, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.CATANAME_ALREADY_EXIST")},
    {3004, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.DELETE_CATEGORY_FAIL")},
    {3005, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.CATEGORY_MODIFY_LIMITED")},
    {3006, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.UPDATE_DISK_VIDEO_CATA_LIMIT")},
    {3100, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.VIDEO_STATUS_LIMIT")},
    {4000, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.VIDEO_NOT_EXIST")},
    {4001, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.INVALID_FILTER")},
    {4002, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.ONLY_FORBID_PUBLISH_VIDEO")},
    {4003, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.ONLY_LIFT_FORBIDDEN_VIDEO")},
    {4004, QT_TRANSLATE_NOOP("ApiCollection", "ErrorCodeString.OPERATION_COUNT_EXCEED")},
};

}  // namespace

namespace ApiCollection {

QString requestErrorString(RequestError error)
{
    switch (error) {
        case NoError:
            return QString();
        case CurlPerformFailed:
            return Translate(QT_TRANSLATE_NOOP("ApiCollection", "CurlPerformFailed"));
        case CurlPerformTimeout:
            return Translate(QT_TRANSLATE_NOOP("ApiCollection", "CurlPerformTimeout"));
        case CurlPerformAbort:
            return Translate(QT_TRANSLATE_NOOP("ApiCollection", "CurlPerformAbort"));
        case ApiReturnFailed:
            return Translate(QT_TRANSLATE_NOOP("ApiCollection", "ApiReturnFailed"));
        case DownloadPathIsNotWritable:
            return Translate(QT_TRANSLATE_NOOP("ApiCollection", "DownloadPathIsNotWritable"));
        case CreateDownloadPathFailed:
            return Translate(QT_TRANSLATE_NOOP("ApiCollection", "CreateDownloadPathFailed"));
        case DownloadCancel:
            return Translate(QT_TRANSLATE_NOOP("ApiCollection", "DownloadCancel"));
        case CurlEscapeFailed:
        case ParseJsonFailed:
        case ApiError:
        case Base64DecodingFailed:
        case DownloadPathIsNotDir:
        case DownloadOccurSomeError:
        case CreateTemporaryDirFailed:
        case FileIsNotExist:
            return Translate(QT_TRANSLATE_NOOP("ApiCollection", "InternalError"));
    }
    return Translate(QT_TRANSLATE_NOOP("ApiCollection", "Unknown Error"));
}

QString errorCodeString(int errorCode)
{
    for (const CodeText& entry : kErrorCodeTexts) {
        if (entry.code == errorCode) {
            return Translate(entry.key);
        }
    }
    return QString();
}

QString requestErrorKey(RequestError error)
{
    const char* key = QMetaEnum::fromType<RequestError>().valueToKey(error);
    return key ? QString::fromLatin1(key) : QString::number(int(error));
}

}  // namespace ApiCollection
