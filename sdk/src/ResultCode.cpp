#include "ResultCode.h"

#include "kvr_upload_sdk.h"

namespace kvr {

std::string ResultCode::Describe(int code)
{
    switch (code) {
        case KVR_OK:
            return "success";
        case KVR_ERR_INVALID_ARGUMENT:
            return "invalid argument";
        case KVR_ERR_FILE_MISSING:
            return "file does not exist";
        case KVR_ERR_NOT_INITIALISED:
            return "library not initialised";
        case KVR_ERR_FILE_EMPTY:
            return "file is empty";
        case KVR_ERR_STOPPED:
            return "upload stopped";
        case KVR_ERR_INVALID_HANDLE:
            return "invalid uploader handle";
        case KVR_ERR_BUSY:
            return "uploader busy";
        case KVR_ERR_NETWORK:
            return "network error";
        case KVR_ERR_PROTOCOL:
            return "http response parse error";
        case KVR_ERR_FILE_OPEN:
            return "file cannot be opened";
        case KVR_ERR_CACHE_PATH:
            return "cache path cannot be used";
        case KVR_ERR_UPLOAD_GONE:
            return "UploadFileNotExist: the upload no longer exists";
        case KVR_ERR_NO_PARAM:
            return "uploader has no file";
        case KVR_ERR_LOG_FILE:
            return "log file cannot be opened";
        case KVR_ERR_FILE_CHANGED:
            return "fileContentError: the file changed during the upload";
        case KVR_ERR_SERVER:
            return "InternalError: the server failed";
        case KVR_ERR_CRC64:
            return "CRC64 check failed";
        case KVR_ERR_NO_SPACE:
            return "CapacityOverLimit: no space left";
        case KVR_DONE_WITHOUT_TRANSFER:
            return "file already uploaded";
        default:
            break;
    }
    if (code > KVR_PLATFORM_ERROR_BASE) {
        return "platform error " + std::to_string(code - KVR_PLATFORM_ERROR_BASE);
    }
    return "unknown error " + std::to_string(code);
}

}  // namespace kvr
