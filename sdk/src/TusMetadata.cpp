#include "TusMetadata.h"

#include "Digest.h"

namespace kvr {

void TusMetadata::Add(const std::string& key, const std::string& value)
{
    pairs_.emplace_back(key, value);
}

std::string TusMetadata::Encode() const
{
    std::string out;
    for (const auto& [key, value] : pairs_) {
        if (!out.empty()) {
            out += ',';
        }
        out += key;
        if (!value.empty()) {
            out += ' ';
            out += Digest::Base64(value);
        }
    }
    return out;
}

}  // namespace kvr
