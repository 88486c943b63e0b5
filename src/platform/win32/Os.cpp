// Windows implementation of the operating-system services of Os.h: paths,
// folders, the process, modules and mapped views. Whole-file writes, copies,
// moves and deletes are in Files.cpp.
#include <zvenv/platform/Os.h>
#include <zvenv/platform/Text.h>

#include "Paths.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <io.h>
#include <mutex>
#include <shellapi.h>
#include <unordered_map>
#include <vector>

namespace zv::os {

using namespace win32;

namespace {

// Spelling a path as on disk asks the file system for every component, which
// is slow (and much slower under wine), and the profile engine asks for the
// same few paths again and again: resolved paths are kept, by the text given,
// until a rename in this process may have changed a spelling. Another
// program's renames only change case, which names the same file here.
std::mutex g_resolvedMutex;
std::unordered_map<std::wstring, std::wstring> g_resolved;

std::wstring ResolveKept(LPCWSTR path)
{
    if (!path || !*path)
        return std::wstring();
    std::wstring given(path);
    {
        std::lock_guard<std::mutex> lock(g_resolvedMutex);
        const auto found = g_resolved.find(given);
        if (found != g_resolved.end())
            return found->second;
    }
    std::wstring resolved = Resolve(path);
    std::lock_guard<std::mutex> lock(g_resolvedMutex);
    if (g_resolved.size() > 4096)
        g_resolved.clear();
    g_resolved.emplace(std::move(given), resolved);
    return resolved;
}

} // namespace

void ForgetResolvedPaths()
{
    std::lock_guard<std::mutex> lock(g_resolvedMutex);
    g_resolved.clear();
}

std::string NativePath(LPCWSTR path)
{
    return text::EncodeUtf8(ResolveKept(path));
}

CString ResolvePath(LPCWSTR path)
{
    return CString(ResolveKept(path));
}

bool FileExists(LPCWSTR path)
{
    if (!path || !*path)
        return false;
    const DWORD attributes = Attributes(ApiPath(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(LPCWSTR path)
{
    if (!path || !*path)
        return false;
    const DWORD attributes = Attributes(ApiPath(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int CreateFolders(LPCWSTR path)
{
    if (!path || !*path)
        return ERROR_PATH_NOT_FOUND;
    const std::wstring full = ApiPath(path);
    std::size_t pos = RootLength(full);
    while (pos < full.size()) {
        std::size_t next = full.find(L'\\', pos);
        if (next == std::wstring::npos)
            next = full.size();
        const std::wstring prefix = full.substr(0, next);
        const DWORD attributes = Attributes(prefix);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!CreateDirectoryW(prefix.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
                return static_cast<int>(::GetLastError());
        } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return ERROR_DIRECTORY;
        }
        pos = next + 1;
    }
    return 0;
}

std::vector<FolderEntry> ListFolder(LPCWSTR folder)
{
    std::vector<FolderEntry> out;
    if (!folder || !*folder)
        return out;
    std::wstring query = ApiPath(folder);
    if (query.back() != L'\\')
        query += L'\\';
    query += L'*';
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(query.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return out;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        FolderEntry entry;
        entry.name = CString(name);
        entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.lastWriteTime = UnixSeconds(found.ftLastWriteTime);
        out.push_back(entry);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return out;
}

bool GetOpenFileSize(void* fileHandle, std::uint64_t& size)
{
    LARGE_INTEGER length;
    if (GetFileType(fileHandle) != FILE_TYPE_DISK || !GetFileSizeEx(fileHandle, &length))
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(fileHandle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size = static_cast<std::uint64_t>(length.QuadPart);
    return true;
}

std::size_t MapGranularity()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity;
}

void* MapFileView(void* fileHandle, std::uint64_t offset, std::size_t length)
{
    const HANDLE mapping = CreateFileMappingW(fileHandle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping)
        return nullptr;
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                               static_cast<DWORD>(offset & 0xFFFFFFFFu), length);
    // The view keeps the mapping alive.
    CloseHandle(mapping);
    return view;
}

void UnmapFileView(void* view, std::size_t)
{
    if (view)
        UnmapViewOfFile(view);
}

bool ToLocalTime(std::int64_t time, LocalTime& out)
{
    const __time64_t t = time;
    std::tm tm{};
    if (_localtime64_s(&tm, &t) != 0)
        return false;
    out = LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    return true;
}

CString ExecutablePath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return CString();
        if (n < buffer.size())
            return CString(std::wstring(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}

CString FullPath(LPCWSTR path)
{
    return CString(Absolute(path ? path : L""));
}

std::vector<std::string> ProgramArguments(int, char**)
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return args;
    for (int i = 1; i < count; ++i)
        args.push_back(text::EncodeUtf8(wide[i]));
    LocalFree(wide);
    return args;
}

void WriteStandard(int stream, const std::string& utf8)
{
    FILE* file = stream == 2 ? stderr : stdout;
    const HANDLE handle = GetStdHandle(stream == 2 ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(file);
        const std::wstring wide = text::DecodeUtf8Lenient(utf8);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), file);
}

void Sleep(unsigned milliseconds)
{
    ::Sleep(milliseconds);
}

unsigned long GetLastError()
{
    return ::GetLastError();
}
void SetLastError(unsigned long error)
{
    ::SetLastError(error);
}

ModuleHandle LoadModule(LPCWSTR nameOrPath)
{
    if (!nameOrPath || !*nameOrPath)
        return nullptr;
    const std::wstring given(nameOrPath);
    const bool hasFolder = std::any_of(given.begin(), given.end(), IsSeparator);
    // Never the current folder or PATH: a module given by name comes from the
    // application's folder or the system's, and a module given with its
    // folder takes what it loads from that folder first.
    HMODULE module;
    if (hasFolder) {
        const std::wstring file = ApiPath(nameOrPath);
        module =
            LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    } else {
        module = LoadLibraryExW(nameOrPath, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    }
    return module;
}

void* FindEntryPoint(ModuleHandle module, const char* name)
{
    if (!module || !name)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadModule(ModuleHandle module)
{
    if (module)
        FreeLibrary(static_cast<HMODULE>(module));
}

CString ModuleFileName(LPCWSTR baseName)
{
    return CString(baseName) + L".dll";
}

CString FolderOfModuleContaining(const void* address)
{
    HMODULE module = nullptr;
    if (!address ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        return CString();
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return CString();
        if (n < buffer.size()) {
            const std::wstring file(buffer.data(), n);
            return CString(file.substr(0, file.find_last_of(L"\\/")));
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace zv::os
