#pragma once

#include <string>

namespace kvr {

// The few cryptographic and encoding helpers the protocol needs, over OpenSSL libcrypto.
class Digest
{
public:
    static std::string Md5Hex(const std::string& data);
    static std::string HmacSha256Hex(const std::string& key, const std::string& data);
    static std::string Base64(const std::string& data);
    // count random lower-case hex digits from OpenSSL's generator.
    static std::string RandomHex(size_t count);
    static std::string ToHex(const unsigned char* data, size_t size);
};

}  // namespace kvr
