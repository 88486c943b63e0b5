// Windows implementation of whole-file writes, copies, moves and deletes.
#include <zvenv/platform/Os.h>

#include "Paths.h"

#include <atomic>
#include <string>

namespace zv::os {

using namespace win32;

namespace {

// A temporary file in the target's folder ("." and six letters or digits,
// as on POSIX), written, flushed and closed; removed again unless it took
// the target's name.
class TempFile {
public:
    ~TempFile()
    {
        if (!m_path.empty())
            DeleteFileW(m_path.c_str());
    }

    bool Write(const std::wstring& folder, const void* bytes, std::size_t size)
    {
        static std::atomic<unsigned long long> counter{0};
        const wchar_t* digits = L"abcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; attempt < 64; ++attempt) {
            unsigned long long seed = (GetTickCount64() * 0x9E3779B97F4A7C15ULL) ^
                                      (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                                      (++counter * 0xBF58476D1CE4E5B9ULL);
            std::wstring name = L".zvtmp-";
            for (int i = 0; i < 6; ++i, seed /= 36)
                name += digits[seed % 36];
            const std::wstring path = folder + (folder.back() == L'\\' ? L"" : L"\\") + name;
            const HANDLE file =
                CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                if (::GetLastError() == ERROR_FILE_EXISTS || ::GetLastError() == ERROR_ALREADY_EXISTS)
                    continue;
                return false;
            }
            m_path = path;
            return WriteAndClose(file, bytes, size);
        }
        return Fail(ERROR_FILE_EXISTS);
    }

    const std::wstring& Path() const { return m_path; }
    void Release() { m_path.clear(); } // it has the target's name now

private:
    static bool WriteAndClose(HANDLE file, const void* bytes, std::size_t size)
    {
        const auto* p = static_cast<const char*>(bytes);
        while (size > 0) {
            const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) {
                const DWORD error = written == 0 && ::GetLastError() == 0 ? ERROR_DISK_FULL : ::GetLastError();
                CloseHandle(file);
                return Fail(error);
            }
            p += written;
            size -= written;
        }
        if (!FlushFileBuffers(file)) {
            const DWORD error = ::GetLastError();
            CloseHandle(file);
            return Fail(error);
        }
        return CloseHandle(file) ? true : Fail(::GetLastError());
    }

    std::wstring m_path;
};

// Another program holding the file open without sharing its deletion (a
// reader, an indexer, a virus scanner) makes a rename fail for a moment:
// such failures are retried for about a second before they count.
bool Transient(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

bool Rename(const std::wstring& from, const std::wstring& to, DWORD flags)
{
    DWORD wait = 1;
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), flags))
            return true;
        const DWORD error = ::GetLastError();
        if (!Transient(error) || attempt == 15)
            return Fail(error);
        ::Sleep(wait);
        wait = wait < 64 ? wait * 2 : 100;
    }
}

// The identity of what a path names: volume and file number.
bool Identity(const std::wstring& apiPath, BY_HANDLE_FILE_INFORMATION& info)
{
    const HANDLE file = CreateFileW(apiPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    return ok;
}

bool ReadAll(const std::wstring& apiPath, std::string& bytes)
{
    const HANDLE file =
        CreateFileW(apiPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char chunk[65536];
    DWORD got = 0;
    bool ok;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0)
        bytes.append(chunk, got);
    const DWORD error = ::GetLastError();
    CloseHandle(file);
    return ok ? true : Fail(error);
}

// Whether the path may be replaced: not a folder, not read-only.
bool Replaceable(const std::wstring& target)
{
    const DWORD attributes = Attributes(target);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Fail(ERROR_ACCESS_DENIED);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return Fail(ERROR_ACCESS_DENIED);
    return true;
}

} // namespace

bool WriteFileAtomic(LPCWSTR path, const void* bytes, std::size_t size)
{
    if (!path || !*path)
        return Fail(ERROR_PATH_NOT_FOUND);
    const std::wstring target = ApiPath(path);
    if (!Replaceable(target))
        return false;
    const DWORD existing = Attributes(target);
    TempFile temp;
    if (!temp.Write(FolderOf(target), bytes, size))
        return false;
    // The new file keeps the attributes the old one had (ACLs aside: the new
    // file has those its folder gives).
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & kKept))
        SetFileAttributesW(temp.Path().c_str(), existing & kKept);
    // One rename that replaces the target: a crash leaves the old file or the
    // new one, never neither.
    if (!Rename(temp.Path(), target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    temp.Release();
    return true;
}

bool CreateNewFile(LPCWSTR path, const void* bytes, std::size_t size)
{
    if (!path || !*path)
        return Fail(ERROR_PATH_NOT_FOUND);
    const std::wstring target = ApiPath(path);
    if (Attributes(target) != INVALID_FILE_ATTRIBUTES)
        return Fail(ERROR_FILE_EXISTS);
    TempFile temp;
    if (!temp.Write(FolderOf(target), bytes, size))
        return false;
    // Without MOVEFILE_REPLACE_EXISTING the rename fails when the name was
    // taken in the meantime.
    if (!Rename(temp.Path(), target, MOVEFILE_WRITE_THROUGH))
        return ::GetLastError() == ERROR_ALREADY_EXISTS ? Fail(ERROR_FILE_EXISTS) : false;
    temp.Release();
    return true;
}

bool CopyFileTo(LPCWSTR from, LPCWSTR to, bool failIfExists)
{
    if (!from || !to || !*from || !*to)
        return Fail(ERROR_PATH_NOT_FOUND);
    const std::wstring source = ApiPath(from);
    const DWORD attributes = Attributes(source);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Fail(ERROR_FILE_NOT_FOUND);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Fail(ERROR_ACCESS_DENIED);
    if (failIfExists && Attributes(ApiPath(to)) != INVALID_FILE_ATTRIBUTES)
        return Fail(ERROR_FILE_EXISTS);
    std::string data;
    if (!ReadAll(source, data))
        return false;
    return failIfExists ? CreateNewFile(to, data.data(), data.size()) : WriteFileAtomic(to, data.data(), data.size());
}

bool MovePath(LPCWSTR from, LPCWSTR to)
{
    if (!from || !to || !*from || !*to)
        return Fail(ERROR_PATH_NOT_FOUND);
    const std::wstring source = ApiPath(from);
    const std::wstring target = ApiPath(to);
    if (Attributes(source) == INVALID_FILE_ATTRIBUTES)
        return Fail(ERROR_FILE_NOT_FOUND);
    ForgetResolvedPaths();
    if (Attributes(target) == INVALID_FILE_ATTRIBUTES)
        return Rename(source, target, MOVEFILE_COPY_ALLOWED);
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    if (!Identity(source, a) || !Identity(target, b) || a.dwVolumeSerialNumber != b.dwVolumeSerialNumber ||
        a.nFileIndexHigh != b.nFileIndexHigh || a.nFileIndexLow != b.nFileIndexLow)
        return Fail(ERROR_ALREADY_EXISTS);
    // The target is the source spelled in another case: it takes the
    // spelling given, through a name of its own, as not every file system
    // renames a file onto itself.
    if (source == target)
        return true;
    const std::wstring step = source + L".zvcase";
    if (!MoveFileExW(source.c_str(), step.c_str(), 0))
        return Fail(::GetLastError());
    if (MoveFileExW(step.c_str(), target.c_str(), 0))
        return true;
    const DWORD error = ::GetLastError();
    MoveFileExW(step.c_str(), source.c_str(), 0);
    return Fail(error);
}

bool GetFileSize(LPCWSTR path, std::uint64_t& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path || !*path || !GetFileAttributesExW(ApiPath(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool ReadWholeFile(LPCWSTR path, std::string& bytes)
{
    if (!path || !*path)
        return Fail(ERROR_PATH_NOT_FOUND);
    const std::wstring file = ApiPath(path);
    const DWORD attributes = Attributes(file);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(ERROR_ACCESS_DENIED);
    return ReadAll(file, bytes);
}

// A read-only file is write-protected on Windows for everybody, as a file
// without write permission is on POSIX; beyond that, whether this process
// may open it for writing.
bool IsWriteProtected(LPCWSTR path)
{
    if (!path || !*path)
        return false;
    const std::wstring file = ApiPath(path);
    const DWORD attributes = Attributes(file);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return true;
    const HANDLE handle =
        CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(handle);
    return false;
}

bool RemoveFile(LPCWSTR path)
{
    if (!path || !*path)
        return Fail(ERROR_PATH_NOT_FOUND);
    const std::wstring file = ApiPath(path);
    const DWORD attributes = Attributes(file);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Fail(::GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Fail(ERROR_ACCESS_DENIED);
    return DeleteFileW(file.c_str()) ? true : Fail(::GetLastError());
}

} // namespace zv::os
