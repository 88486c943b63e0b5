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

// The stamp comes from the folder entry alone (one call; opening the file
// for its volume and file number costs dozens of times more, and much more
// under wine): a replaced file is a new file with its own creation time, and
// a file written in place gets a new modification time.
PathState StampOf(const std::string& path, Stamp& stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathState::Missing
                                                                              : PathState::Unusable;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return PathState::Unusable;
    auto ticks = [](const FILETIME& time) {
        return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    stamp.volume = 0;
    stamp.file = ticks(data.ftCreationTime);
    stamp.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.modified = static_cast<std::int64_t>(ticks(data.ftLastWriteTime));
    return PathState::File;
}

bool ReadBytes(const std::string& path, std::string& bytes, std::size_t expected)
{
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.resize(expected + 1);
    std::size_t used = 0;
    DWORD got = 0;
    bool ok;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const std::size_t room = bytes.size() - used;
        const DWORD ask = room > 0x40000000u ? 0x40000000u : static_cast<DWORD>(room);
        ok = ReadFile(file, &bytes[used], ask, &got, nullptr) != FALSE;
        if (!ok || got == 0)
            break;
        used += got;
    }
    CloseHandle(file);
    bytes.resize(used);
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

// The lock is a named mutex of the session, named after the folder's full
// path folded to one case: every spelling that differs in case names one
// mutex, nothing is added to the user's folders, and a mutex whose holder
// dies is handed to the next waiter as abandoned. (Other names of one
// folder, a short name or a link, are other locks.)
struct FolderHandle {
    std::wstring name;
    HANDLE mutex = nullptr;
};

void* OpenFolder(const std::string& folder, FolderId& id)
{
    std::wstring key = Wide(folder);
    const DWORD attributes = Attributes(key);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return nullptr;
    while (key.size() > 3 && key.back() == L'\\')
        key.pop_back();
    text::FoldCase(key.data(), key.size());
    // Two FNV-1a hashes with different starts name the folder.
    auto hash = [&key](std::uint64_t h) {
        for (wchar_t c : key)
            h = (h ^ static_cast<std::uint16_t>(c)) * 1099511628211ULL;
        return h;
    };
    id.volume = hash(14695981039346656037ULL);
    id.file = hash(0x9E3779B97F4A7C15ULL);
    auto* folderHandle = new FolderHandle;
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\zvenv-folder-%016llx%016llx", static_cast<unsigned long long>(id.volume),
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
