#include "HandleRegistry.h"

#include <map>
#include <mutex>

namespace kvr {
namespace {

std::mutex gMutex;
std::map<KVRUploaderHandle, std::shared_ptr<Uploader>> gHandles;
KVRUploaderHandle gNext = 1;

}  // namespace

KVRUploaderHandle HandleRegistry::Add(std::shared_ptr<Uploader> uploader)
{
    std::lock_guard<std::mutex> lock(gMutex);
    const KVRUploaderHandle handle = gNext++;
    gHandles.emplace(handle, std::move(uploader));
    return handle;
}

std::shared_ptr<Uploader> HandleRegistry::Find(KVRUploaderHandle handle)
{
    std::lock_guard<std::mutex> lock(gMutex);
    const auto it = gHandles.find(handle);
    return it == gHandles.end() ? nullptr : it->second;
}

std::shared_ptr<Uploader> HandleRegistry::Remove(KVRUploaderHandle handle)
{
    std::lock_guard<std::mutex> lock(gMutex);
    const auto it = gHandles.find(handle);
    if (it == gHandles.end()) {
        return nullptr;
    }
    auto uploader = std::move(it->second);
    gHandles.erase(it);
    return uploader;
}

std::vector<std::shared_ptr<Uploader>> HandleRegistry::RemoveAll()
{
    std::lock_guard<std::mutex> lock(gMutex);
    std::vector<std::shared_ptr<Uploader>> all;
    for (auto& [handle, uploader] : gHandles) {
        all.push_back(std::move(uploader));
    }
    gHandles.clear();
    return all;
}

}  // namespace kvr
