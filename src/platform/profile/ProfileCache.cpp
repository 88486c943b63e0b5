#include "ProfileCache.h"

#include <zvenv/platform/Os.h>

#include "platform/FileStore.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace zv::profile {
namespace {

using os::store::PathState;
using os::store::Stamp;

struct Entry {
    Stamp stamp;
    std::shared_ptr<const ProfileFile> file;
};

std::mutex g_cacheMutex;
std::unordered_map<std::string, Entry> g_cache;
std::atomic<unsigned long> g_writes{0};

} // namespace

std::shared_ptr<const ProfileFile> LoadFile(const std::string& path, bool* missing)
{
    Stamp stamp;
    const PathState state = os::store::StampOf(path, stamp);
    if (missing)
        *missing = state == PathState::Missing;
    if (state != PathState::File) {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        g_cache.erase(path);
        return std::make_shared<ProfileFile>();
    }
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        auto found = g_cache.find(path);
        if (found != g_cache.end() && found->second.stamp == stamp)
            return found->second.file;
    }
    std::string bytes;
    if (!os::store::ReadBytes(path, bytes, static_cast<std::size_t>(stamp.size)))
        return std::make_shared<ProfileFile>();
    auto file = std::make_shared<const ProfileFile>(ProfileFile::Parse(bytes));
    Stamp after;
    // Cache only what was read from an unchanged file.
    if (os::store::StampOf(path, after) == PathState::File && after == stamp && bytes.size() == stamp.size) {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        g_cache[path] = {stamp, file};
    }
    return file;
}

bool StoreFile(const std::string& path, LPCWSTR widePath, std::shared_ptr<const ProfileFile> file)
{
    const std::string bytes = file->Serialise();
    if (!os::WriteFileAtomic(widePath, bytes.data(), bytes.size()))
        return false;
    Stamp stamp;
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    if (os::store::StampOf(path, stamp) == PathState::File)
        g_cache[path] = {stamp, std::move(file)};
    else
        g_cache.erase(path);
    // Counted once the file is in place: a reader that took the count before
    // this write checks the file again at its next read.
    ++g_writes;
    return true;
}

void ClearCache()
{
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    ++g_writes;
    g_cache.clear();
}

unsigned long WriteCount()
{
    return g_writes.load();
}

} // namespace zv::profile
