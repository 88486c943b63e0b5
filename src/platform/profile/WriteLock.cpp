#include "WriteLock.h"

#include "platform/FileStore.h"

#include <map>
#include <memory>
#include <mutex>

namespace zv::profile {

struct FolderLock {
    std::recursive_mutex mutex;
    int depth = 0;          // holds of the owning thread, guarded by mutex
    void* handle = nullptr; // the system's lock while depth > 0
    bool swept = false;     // leftovers of dead writers removed, guarded by mutex
};

namespace {

std::mutex g_folderLocksGuard;
std::map<os::store::FolderId, std::unique_ptr<FolderLock>> g_folderLocks;

FolderLock* AcquireFolder(const std::string& folder)
{
    os::store::FolderId id;
    void* handle = os::store::OpenFolder(folder, id);
    if (!handle)
        return nullptr;
    FolderLock* lock;
    {
        std::lock_guard<std::mutex> guard(g_folderLocksGuard);
        auto& slot = g_folderLocks[id];
        if (!slot)
            slot = std::make_unique<FolderLock>();
        lock = slot.get();
    }
    lock->mutex.lock();
    if (lock->depth++ > 0) {
        os::store::CloseFolder(handle);
        return lock;
    }
    lock->handle = handle;
    os::store::LockFolder(handle);
    // Temporary files of writers that died are older than this process, so
    // one sweep per folder and process finds all there will be.
    if (!lock->swept) {
        lock->swept = true;
        os::store::RemoveLeftovers(folder);
    }
    return lock;
}

void ReleaseFolder(FolderLock* lock)
{
    if (--lock->depth == 0) {
        os::store::CloseFolder(lock->handle);
        lock->handle = nullptr;
    }
    lock->mutex.unlock();
}

} // namespace

WriteLock::WriteLock(const std::string& path) : m_lock(AcquireFolder(os::store::FolderOf(path))) {}

WriteLock::~WriteLock()
{
    if (m_lock)
        ReleaseFolder(m_lock);
}

} // namespace zv::profile
