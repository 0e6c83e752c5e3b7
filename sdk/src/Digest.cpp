#include "Digest.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <vector>

namespace kvr {

std::string Digest::ToHex(const unsigned char* data, size_t size)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 0x0f]);
    }
    return out;
}

std::string Digest::Md5Hex(const std::string& data)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.data(), data.size(), md, &size, EVP_md5(), nullptr) != 1) {
        return {};
    }
    return ToHex(md, size);
}

std::string Digest::HmacSha256Hex(const std::string& key, const std::string& data)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
              reinterpret_cast<const unsigned char*>(data.data()), data.size(), md, &size)) {
        return {};
    }
    return ToHex(md, size);
}

std::string Digest::Base64(const std::string& data)
{
    std::vector<unsigned char> out(4 * ((data.size() + 2) / 3) + 1);
    const int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(data.data()),
                                  static_cast<int>(data.size()));
    return std::string(reinterpret_cast<const char*>(out.data()), n > 0 ? size_t(n) : 0);
}

std::string Digest::RandomHex(size_t count)
{
    std::vector<unsigned char> bytes((count + 1) / 2);
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
        return {};
    }
    return ToHex(bytes.data(), bytes.size()).substr(0, count);
}

}  // namespace kvr
