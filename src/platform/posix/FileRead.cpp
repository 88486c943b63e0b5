// POSIX implementation of the file stamps and whole-file reads of Os.h.
#include <zvenv/platform/Os.h>

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::os {
namespace {

FileStamp StampOf(const struct stat& st)
{
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.file = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changed = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

ReadResult Refuse(ReadResult result, int error)
{
    SetLastError(static_cast<unsigned long>(error));
    return result;
}

} // namespace

bool GetFileStamp(LPCWSTR path, FileStamp& out)
{
    if (!path || !*path)
        return false;
    struct stat st;
    if (stat(NativePath(path).c_str(), &st) != 0)
        return false;
    out = StampOf(st);
    return true;
}

bool GetOpenFileStamp(void* fileHandle, FileStamp& out)
{
    const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(fileHandle));
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0)
        return false;
    out = StampOf(st);
    return true;
}

HeldFile::HeldFile(HeldFile&& other) noexcept : m_file(other.m_file), m_stamp(other.m_stamp)
{
    other.m_file = -1;
}

HeldFile& HeldFile::operator=(HeldFile&& other) noexcept
{
    if (this != &other) {
        Close();
        m_file = other.m_file;
        m_stamp = other.m_stamp;
        other.m_file = -1;
    }
    return *this;
}

void HeldFile::Close()
{
    if (m_file >= 0)
        close(static_cast<int>(m_file));
    m_file = -1;
}

ReadResult HeldFile::Open(LPCWSTR path)
{
    Close();
    if (!path || !*path)
        return Refuse(ReadResult::Missing, ENOENT);
    // Opened without waiting, so that a pipe with no writer does not block;
    // its type is then checked on the descriptor, which nothing can swap.
    const int fd = open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return Refuse(ReadResult::Missing, error);
        if (error == EISDIR)
            return Refuse(ReadResult::Folder, error);
        return Refuse(ReadResult::Unreadable, error);
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        close(fd);
        return Refuse(ReadResult::Unreadable, error);
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        return Refuse(S_ISDIR(st.st_mode) ? ReadResult::Folder : ReadResult::NotAFile, EINVAL);
    }
    m_file = fd;
    m_stamp = StampOf(st);
    return ReadResult::Read;
}

bool HeldFile::ReadAll(std::string& bytes) const
{
    bytes.clear();
    if (m_file < 0)
        return false;
    const int fd = static_cast<int>(m_file);
    // Read straight into the result; a file that grows meanwhile is read on.
    std::size_t done = 0;
    bytes.resize(static_cast<std::size_t>(m_stamp.size) + 1);
    for (;;) {
        if (done == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t n = pread(fd, &bytes[done], bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetLastError(static_cast<unsigned long>(errno));
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return true;
}

} // namespace zv::os
