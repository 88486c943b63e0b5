// POSIX implementation of the platform's file class.
#include <zvenv/platform/CFile.h>
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Fd(HANDLE h)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(h));
}
HANDLE Handle(int fd)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd));
}

int CauseOf(int error)
{
    switch (error) {
    case ENOENT:
        return CFileException::fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
        return CFileException::badPath;
    case EMFILE:
    case ENFILE:
        return CFileException::tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return CFileException::accessDenied;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return CFileException::diskFull;
    case EIO:
        return CFileException::hardIO;
    default:
        return CFileException::genericException;
    }
}

[[noreturn]] void Throw(int error, const CString& name)
{
    zv::os::SetLastError(static_cast<unsigned long>(error));
    throw CFileException(CauseOf(error), error, name);
}

} // namespace

BOOL CFile::Open(LPCWSTR fileName, UINT openFlags, CFileException* error)
{
    Abort();
    int flags = O_CLOEXEC;
    switch (openFlags & 3) {
    case modeWrite:
        flags |= O_WRONLY;
        break;
    case modeReadWrite:
        flags |= O_RDWR;
        break;
    default:
        flags |= O_RDONLY;
        break;
    }
    if (openFlags & modeCreate)
        flags |= O_CREAT | ((openFlags & modeNoTruncate) ? 0 : O_TRUNC);
    const std::string path = zv::os::NativePath(fileName);
    struct stat st;
    int fd = -1;
    int err = ENOENT;
    if (!path.empty() && !(stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        fd = open(path.c_str(), flags, 0666);
        err = errno;
    } else if (!path.empty()) {
        err = EISDIR;
    }
    if (fd < 0) {
        zv::os::SetLastError(static_cast<unsigned long>(err));
        if (error) {
            error->m_cause = CauseOf(err);
            error->m_lOsError = err;
            error->m_strFileName = fileName;
        }
        return FALSE;
    }
    m_hFile = Handle(fd);
    m_strFileName = zv::os::ResolvePath(fileName);
    return TRUE;
}

UINT CFile::Read(void* buffer, UINT count)
{
    for (;;) {
        const ssize_t n = read(Fd(m_hFile), buffer, count);
        if (n >= 0)
            return static_cast<UINT>(n);
        if (errno != EINTR)
            Throw(errno, m_strFileName);
    }
}

void CFile::Write(const void* buffer, UINT count)
{
    const auto* p = static_cast<const char*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t n = write(Fd(m_hFile), p + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Throw(n < 0 ? errno : ENOSPC, m_strFileName);
        done += static_cast<UINT>(n);
    }
}

void CFile::Flush()
{
    if (m_hFile != INVALID_HANDLE_VALUE && fsync(Fd(m_hFile)) != 0 && errno != EINVAL)
        Throw(errno, m_strFileName);
}

std::uint64_t CFile::GetLength() const
{
    struct stat st;
    return (m_hFile != INVALID_HANDLE_VALUE && fstat(Fd(m_hFile), &st) == 0) ? static_cast<std::uint64_t>(st.st_size)
                                                                             : 0;
}

void CFile::Close()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    const int fd = Fd(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    if (close(fd) != 0 && errno != EINTR)
        Throw(errno, m_strFileName);
}

void CFile::Abort()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        close(Fd(m_hFile));
    m_hFile = INVALID_HANDLE_VALUE;
}

void CFile::Rename(LPCWSTR oldName, LPCWSTR newName)
{
    if (!zv::os::MovePath(oldName, newName))
        Throw(static_cast<int>(zv::os::GetLastError()), CString(oldName));
}

void CFile::Remove(LPCWSTR fileName)
{
    if (!zv::os::RemoveFile(fileName))
        Throw(static_cast<int>(zv::os::GetLastError()), CString(fileName));
}
