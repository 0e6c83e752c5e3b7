#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kvr {

// The tus "Upload-Metadata" header: comma-separated "key base64(value)" pairs. A pair with an
// empty value is sent as the bare key, as tus 1.0 allows.
class TusMetadata
{
public:
    void Add(const std::string& key, const std::string& value);
    std::string Encode() const;

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
};

}  // namespace kvr
