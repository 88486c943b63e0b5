#pragma once

#include <string>

namespace zv::profile {

struct FolderLock;

// The writer exclusion of one file is the lock of its folder: a recursive
// mutex for the threads of this process and the system's lock of the folder
// for other processes. There is one per folder per process, found by the
// folder's identity, so a batch on one file and a write to another file of
// the same folder never wait on each other. A folder that cannot be opened
// is not locked: the write then fails on its own.
class WriteLock {
public:
    explicit WriteLock(const std::string& path);
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    FolderLock* m_lock;
};

} // namespace zv::profile
