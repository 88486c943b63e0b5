// POSIX implementation of what the profile-file engine asks of the system.
#include "platform/FileStore.h"

#include "platform/posix/TempFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::os::store {

PathState StampOf(const std::string& path, Stamp& stamp)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? PathState::Missing : PathState::Unusable;
    if (!S_ISREG(info.st_mode))
        return PathState::Unusable;
    stamp.volume = static_cast<std::uint64_t>(info.st_dev);
    stamp.file = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return PathState::File;
}

bool ReadBytes(const std::string& path, std::string& bytes, std::size_t expected)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bytes.resize(expected + 1);
    std::size_t used = 0;
    ssize_t got;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        got = read(fd, &bytes[used], bytes.size() - used);
        if (got <= 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    close(fd);
    bytes.resize(used);
    return got == 0;
}

unsigned long WriteRefusal(const std::string& path)
{
    struct stat info;
    int refusal = 0;
    if (stat(path.c_str(), &info) == 0)
        refusal = S_ISREG(info.st_mode) ? 0 : EISDIR;
    else if (errno != ENOENT)
        refusal = errno;
    if (!refusal)
        refusal = stat(FolderOf(path).c_str(), &info) != 0 ? errno : S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    return static_cast<unsigned long>(refusal);
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The lock is an flock on the folder itself, so nothing is added to the
// user's folders; the handle is the descriptor holding it.
void* OpenFolder(const std::string& folder, FolderId& id)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
    id.volume = static_cast<std::uint64_t>(info.st_dev);
    id.file = static_cast<std::uint64_t>(info.st_ino);
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
}

namespace {
int Descriptor(void* handle)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle) - 1);
}
} // namespace

void LockFolder(void* handle)
{
    while (flock(Descriptor(handle), LOCK_EX) != 0 && errno == EINTR) {
    }
}

void CloseFolder(void* handle)
{
    close(Descriptor(handle));
} // releases the flock

void RemoveLeftovers(const std::string& folder)
{
    posix::RemoveLeftoverTempFiles(folder);
}

} // namespace zv::os::store
