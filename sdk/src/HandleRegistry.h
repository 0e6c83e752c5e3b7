#pragma once

#include <memory>
#include <vector>

#include "Uploader.h"
#include "kvr_upload_sdk.h"

namespace kvr {

// Maps handles to uploaders. Handles are numbers counted up from 1 and never reused, so a
// stale or made-up handle finds nothing instead of freed memory.
class HandleRegistry
{
public:
    static KVRUploaderHandle Add(std::shared_ptr<Uploader> uploader);
    static std::shared_ptr<Uploader> Find(KVRUploaderHandle handle);
    static std::shared_ptr<Uploader> Remove(KVRUploaderHandle handle);
    static std::vector<std::shared_ptr<Uploader>> RemoveAll();
};

}  // namespace kvr
