// Windows implementation of what the profile-file engine asks of the system.
#include "platform/FileStore.h"

#include <zvenv/platform/Text.h>

#include "Paths.h"

#include <cstdio>

namespace zv::os::store {

using namespace win32;

namespace {

std::wstring Wide(const std::string& path)
{
    std::wstring wide;
    if (!text::DecodeUtf8(path, wide))
        wide = text::DecodeUtf8Lenient(path);
    return ApiPath(wide.c_str());
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// When this library was loaded, in FILETIME ticks: no temporary file older
// than this can be one of this process's own.
ULONGLONG Now()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}
const ULONGLONG g_loadTime = Now();
// A writer keeps its temporary file open from creation until it has written
// and flushed it; a file this much older than the process is past that.
constexpr ULONGLONG kWriteWindowTicks = 2ULL * 10000000ULL;

} // namespace

PathState StampOf(const std::string& path, Stamp& stamp)
{
    const HANDLE file = CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathState::Missing
                                                                              : PathState::Unusable;
    }
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    if (!ok || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return PathState::Unusable;
    stamp.volume = info.dwVolumeSerialNumber;
    stamp.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modified = static_cast<std::int64_t>((static_cast<ULONGLONG>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                               info.ftLastWriteTime.dwLowDateTime);
    return PathState::File;
}

bool ReadBytes(const std::string& path, std::string& bytes)
{
    const HANDLE file =
        CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.clear();
    char chunk[65536];
    DWORD got = 0;
    bool ok;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return ok;
}

unsigned long WriteRefusal(const std::string& path)
{
    const std::wstring file = Wide(path);
    const DWORD attributes = Attributes(file);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_ACCESS_DENIED : 0;
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        return error;
    const DWORD folder = Attributes(win32::FolderOf(file));
    if (folder == INVALID_FILE_ATTRIBUTES)
        return ERROR_PATH_NOT_FOUND;
    return (folder & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ERROR_DIRECTORY;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos)
        return ".";
    const std::size_t root = RootLength(text::DecodeUtf8Lenient(path.substr(0, cut + 1)));
    return path.substr(0, cut + 1 <= root ? cut + 1 : cut);
}

// The lock is a named mutex of the session, named after the folder's volume
// and file number: every spelling of the folder (case, short names, links)
// names one mutex, nothing is added to the user's folders, and a mutex whose
// holder dies is handed to the next waiter as abandoned.
struct FolderHandle {
    std::wstring name;
    HANDLE mutex = nullptr;
};

void* OpenFolder(const std::string& folder, FolderId& id)
{
    const std::wstring wide = Wide(folder);
    const HANDLE handle =
        CreateFileW(wide.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(handle, &info) != FALSE;
    CloseHandle(handle);
    if (!ok || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return nullptr;
    id.volume = info.dwVolumeSerialNumber;
    id.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    if (id.file == 0) {
        // A file system without file numbers: the case-folded full path.
        std::wstring folded = wide;
        text::FoldCase(folded.data(), folded.size());
        std::uint64_t hash = 14695981039346656037ULL;
        for (wchar_t c : folded)
            hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ULL;
        id.file = hash;
    }
    auto* folderHandle = new FolderHandle;
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\zvenv-folder-%08llx-%016llx", static_cast<unsigned long long>(id.volume),
                  static_cast<unsigned long long>(id.file));
    folderHandle->name = name;
    return folderHandle;
}

void LockFolder(void* handle)
{
    auto* folder = static_cast<FolderHandle*>(handle);
    folder->mutex = CreateMutexW(nullptr, FALSE, folder->name.c_str());
    if (!folder->mutex)
        return;
    // WAIT_ABANDONED: the last holder died while holding it; the lock is
    // ours now all the same.
    const DWORD result = WaitForSingleObject(folder->mutex, INFINITE);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        CloseHandle(folder->mutex);
        folder->mutex = nullptr;
    }
}

void CloseFolder(void* handle)
{
    auto* folder = static_cast<FolderHandle*>(handle);
    if (folder->mutex) {
        ReleaseMutex(folder->mutex);
        CloseHandle(folder->mutex);
    }
    delete folder;
}

void RemoveLeftovers(const std::string& folderPath)
{
    std::wstring folder = Wide(folderPath);
    if (folder.back() != L'\\')
        folder += L'\\';
    WIN32_FIND_DATAW found;
    const HANDLE search =
        FindFirstFileExW((folder + L".zvtmp-*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const ULONGLONG written =
            (static_cast<ULONGLONG>(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || written + kWriteWindowTicks >= g_loadTime)
            continue;
        // A live writer holds its file open without sharing: opening it
        // alone fails then. Otherwise the file goes when this handle closes.
        const HANDLE file = CreateFileW((folder + found.cFileName).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

} // namespace zv::os::store
