// Windows implementation of the platform's file class.
#include <zvenv/platform/CFile.h>
#include <zvenv/platform/Os.h>

#include "Paths.h"

namespace {

int CauseOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return CFileException::fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return CFileException::badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return CFileException::tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return CFileException::accessDenied;
    case ERROR_SHARING_VIOLATION:
        return CFileException::sharingViolation;
    case ERROR_LOCK_VIOLATION:
        return CFileException::lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return CFileException::diskFull;
    case ERROR_HANDLE_EOF:
        return CFileException::endOfFile;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
        return CFileException::hardIO;
    default:
        return CFileException::genericException;
    }
}

[[noreturn]] void Throw(DWORD error, const CString& name)
{
    ::SetLastError(error);
    throw CFileException(CauseOf(error), static_cast<long>(error), name);
}

} // namespace

BOOL CFile::Open(LPCWSTR fileName, UINT openFlags, CFileException* error)
{
    Abort();
    DWORD access = GENERIC_READ;
    switch (openFlags & 3) {
    case modeWrite:
        access = GENERIC_WRITE;
        break;
    case modeReadWrite:
        access = GENERIC_READ | GENERIC_WRITE;
        break;
    default:
        break;
    }
    // Deleting and renaming are shared whenever reading and writing are, so
    // that an atomic replace by another writer never fails on a reader.
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    switch (openFlags & 0x70) {
    case shareExclusive:
        share = 0;
        break;
    case shareDenyWrite:
        share = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        share = FILE_SHARE_WRITE;
        break;
    default:
        break;
    }
    DWORD creation = OPEN_EXISTING;
    if (openFlags & modeCreate)
        creation = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, (openFlags & modeNoInherit) ? FALSE : TRUE};
    HANDLE file = INVALID_HANDLE_VALUE;
    DWORD failure = ERROR_PATH_NOT_FOUND;
    if (fileName && *fileName) {
        const std::wstring path = zv::os::win32::ApiPath(fileName);
        file = CreateFileW(path.c_str(), access, share, &security, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
        failure = ::GetLastError();
    }
    if (file == INVALID_HANDLE_VALUE) {
        ::SetLastError(failure);
        if (error) {
            error->m_cause = CauseOf(failure);
            error->m_lOsError = static_cast<long>(failure);
            error->m_strFileName = fileName;
        }
        return FALSE;
    }
    m_hFile = file;
    m_strFileName = zv::os::ResolvePath(fileName);
    return TRUE;
}

UINT CFile::Read(void* buffer, UINT count)
{
    DWORD got = 0;
    if (!ReadFile(m_hFile, buffer, count, &got, nullptr))
        Throw(::GetLastError(), m_strFileName);
    return got;
}

void CFile::Write(const void* buffer, UINT count)
{
    DWORD written = 0;
    if (!WriteFile(m_hFile, buffer, count, &written, nullptr))
        Throw(::GetLastError(), m_strFileName);
    if (written != count)
        Throw(ERROR_DISK_FULL, m_strFileName);
}

void CFile::Flush()
{
    if (m_hFile != INVALID_HANDLE_VALUE && !FlushFileBuffers(m_hFile))
        Throw(::GetLastError(), m_strFileName);
}

std::uint64_t CFile::GetLength() const
{
    LARGE_INTEGER size;
    return (m_hFile != INVALID_HANDLE_VALUE && GetFileSizeEx(m_hFile, &size))
               ? static_cast<std::uint64_t>(size.QuadPart)
               : 0;
}

void CFile::Close()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    const HANDLE file = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!CloseHandle(file))
        Throw(::GetLastError(), m_strFileName);
}

void CFile::Abort()
{
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

void CFile::Rename(LPCWSTR oldName, LPCWSTR newName)
{
    if (!zv::os::MovePath(oldName, newName))
        Throw(zv::os::GetLastError(), CString(oldName));
}

void CFile::Remove(LPCWSTR fileName)
{
    if (!zv::os::RemoveFile(fileName))
        Throw(zv::os::GetLastError(), CString(fileName));
}
