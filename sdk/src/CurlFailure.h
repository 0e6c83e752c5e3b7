#pragma once

#include <curl/curl.h>
#include <string>

namespace kvr {

// How the library reads a libcurl error: whether it is worth another attempt and the key its
// result message starts with (the client's message table knows the keys). All libcurl errors
// the library knows of are listed in one table in CurlFailure.cpp.
class CurlFailure
{
public:
    // True for errors that a broken or unreachable network can cause: the upload waits,
    // asks the server for its offset and carries on.
    static bool IsTransient(CURLcode code);
    // "ConnectionTimeout: ...", "SocketTimeout: ...", ... for the result message. connected
    // tells whether a connection had been made before the failure.
    static std::string MessageKey(CURLcode code, bool connected);
};

}  // namespace kvr
