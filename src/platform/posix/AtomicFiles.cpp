// POSIX implementation of the whole-file writes of Os.h. Every file is
// written in full to a temporary file beside its target, flushed to disk and
// then moved into place in one step: renamed over an existing file, or
// linked to a name that must not exist yet. A crash leaves the old file or
// the new one (or, for a new file, none), never a torn or half-made one.
#include <zvenv/platform/Os.h>

#include "platform/posix/TempFiles.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::os {
namespace {

constexpr char kTempPrefix[] = ".zvtmp-";
constexpr std::size_t kTempPrefixLength = sizeof kTempPrefix - 1;
// A writer locks its temporary file right after creating it; a file this
// much older than the process is past that moment for certain.
constexpr long kLockWindowSeconds = 2;

timespec Now()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

// When this library was loaded: no temporary file older than this can be
// one of this process's own.
const timespec g_loadTime = Now();

bool Fail(int error)
{
    SetLastError(static_cast<unsigned long>(error));
    return false;
}

// The folder of a native path, with its trailing '/'.
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// A temporary file being written; removed when it was not moved into place.
class TempFile {
public:
    TempFile() = default;
    ~TempFile()
    {
        if (m_fd >= 0) {
            unlink(m_path.c_str());
            close(m_fd);
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Creates the file with the given permissions (the umask applies) and
    // locks it; 0 or the system's error.
    int Create(const std::string& folder, mode_t mode)
    {
        static std::atomic<unsigned> counter{0};
        static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; attempt < 64; ++attempt) {
            unsigned long long seed = static_cast<unsigned long long>(getpid()) * 1000003u +
                                      counter.fetch_add(1) * 2654435761u +
                                      static_cast<unsigned long long>(Now().tv_nsec);
            std::string name = folder + kTempPrefix;
            for (int i = 0; i < 6; ++i, seed /= 36)
                name += digits[seed % 36];
            const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
            if (fd >= 0) {
                while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
                }
                m_fd = fd;
                m_path = name;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    // Writes every byte and flushes them to disk; 0 or the system's error.
    int Fill(const void* bytes, std::size_t size)
    {
        const auto* p = static_cast<const char*>(bytes);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = write(m_fd, p + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 ? errno : ENOSPC;
            done += static_cast<std::size_t>(n);
        }
        return fsync(m_fd) == 0 ? 0 : errno;
    }

    // The existing file's owner and group where this process may set them
    // (a save by root must not hand a user's file to root), then its mode:
    // changing the owner clears the set-id bits, so the mode comes last.
    int TakeOver(const struct stat& existing)
    {
        if (fchown(m_fd, existing.st_uid, existing.st_gid) != 0)
            (void)!fchown(m_fd, static_cast<uid_t>(-1), existing.st_gid);
        return fchmod(m_fd, existing.st_mode & 07777) == 0 ? 0 : errno;
    }

    // Renames the file over the target; 0 or the system's error.
    int Replace(const std::string& target)
    {
        if (rename(m_path.c_str(), target.c_str()) != 0)
            return errno;
        Release();
        return 0;
    }

    // Gives the file the target's name only when nothing has that name
    // yet; 0, EEXIST when something has, or another error.
    int PlaceNew(const std::string& target)
    {
        if (renameat2(AT_FDCWD, m_path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
            Release();
            return 0;
        }
        // File systems without the no-replace rename still refuse to link
        // over an existing name.
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
            return errno;
        if (link(m_path.c_str(), target.c_str()) != 0)
            return errno;
        return 0; // the destructor removes the temporary name
    }

private:
    void Release()
    {
        close(m_fd); // releases the lock
        m_fd = -1;
    }

    int m_fd = -1;
    std::string m_path;
};

// 0 when the process may replace the file that stat describes: a file
// without any write permission is read-only for everybody (as a read-only
// file is on the other platform, administrators included), and otherwise
// the system decides for this process's effective ids.
int WriteRefusal(const std::string& path, const struct stat& info)
{
    if ((info.st_mode & 0222) == 0)
        return EACCES;
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 ? 0 : errno;
}

bool ReadAll(const std::string& path, std::string& bytes)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Fail(errno);
    struct stat info;
    const int kind = fstat(fd, &info) != 0   ? errno
                     : S_ISDIR(info.st_mode) ? EISDIR
                     : S_ISREG(info.st_mode) ? 0
                                             : EINVAL;
    if (kind) {
        close(fd);
        return Fail(kind);
    }
    bytes.clear();
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            close(fd);
            return Fail(error);
        }
        if (n == 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

} // namespace

bool WriteFileAtomic(LPCWSTR path, const void* bytes, std::size_t size)
{
    if (!path || !*path)
        return Fail(ENOENT);
    const std::string target = NativePath(path);
    struct stat existing;
    const bool existed = stat(target.c_str(), &existing) == 0;
    if (existed) {
        if (S_ISDIR(existing.st_mode))
            return Fail(EISDIR);
        if (const int refusal = WriteRefusal(target, existing))
            return Fail(refusal);
    }
    TempFile temp;
    int error = temp.Create(FolderOf(target), existed ? 0600 : 0666);
    if (!error && existed)
        error = temp.TakeOver(existing);
    if (!error)
        error = temp.Fill(bytes, size);
    if (!error)
        error = temp.Replace(target);
    return error ? Fail(error) : true;
}

bool CreateNewFile(LPCWSTR path, const void* bytes, std::size_t size)
{
    if (!path || !*path)
        return Fail(ENOENT);
    const std::string target = NativePath(path);
    struct stat existing;
    if (lstat(target.c_str(), &existing) == 0)
        return Fail(EEXIST);
    TempFile temp;
    int error = temp.Create(FolderOf(target), 0666);
    if (!error)
        error = temp.Fill(bytes, size);
    if (!error)
        error = temp.PlaceNew(target);
    return error ? Fail(error) : true;
}

bool CopyFile(LPCWSTR from, LPCWSTR to, bool failIfExists)
{
    if (!from || !to || !*from || !*to)
        return Fail(ENOENT);
    std::string bytes;
    if (!ReadAll(NativePath(from), bytes))
        return false;
    return failIfExists ? CreateNewFile(to, bytes.data(), bytes.size())
                        : WriteFileAtomic(to, bytes.data(), bytes.size());
}

bool ReadWholeFile(LPCWSTR path, std::string& bytes)
{
    if (!path || !*path)
        return Fail(ENOENT);
    return ReadAll(NativePath(path), bytes);
}

bool IsWriteProtected(LPCWSTR path)
{
    if (!path || !*path)
        return false;
    const std::string native = NativePath(path);
    struct stat info;
    return stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode) && WriteRefusal(native, info) != 0;
}

namespace posix {

int RemoveLeftoverTempFiles(const std::string& folder)
{
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return 0;
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    const time_t limit = g_loadTime.tv_sec - kLockWindowSeconds;
    int removed = 0;
    while (dirent* entry = readdir(dir)) {
        if (std::string(entry->d_name).compare(0, kTempPrefixLength, kTempPrefix) != 0)
            continue;
        const std::string path = base + entry->d_name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_mtim.tv_sec >= limit)
            continue;
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat held;
        // Locked: a live writer's. The name must still be the file checked.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 && held.st_ino == info.st_ino &&
            held.st_dev == info.st_dev && unlink(path.c_str()) == 0)
            ++removed;
        close(fd);
    }
    closedir(dir);
    return removed;
}

} // namespace posix
} // namespace zv::os
