#pragma once

#include <string>

namespace kvr {

// Descriptions of the library's result codes (kvr_upload_sdk.h).
class ResultCode
{
public:
    static std::string Describe(int code);
};

}  // namespace kvr
