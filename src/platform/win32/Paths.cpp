#include "Paths.h"

#include <vector>

namespace zv::os::win32 {

std::size_t RootLength(const std::wstring& p)
{
    auto skipParts = [&p](std::size_t from, int parts) {
        std::size_t pos = from;
        for (int i = 0; i < parts && pos < p.size(); ++i) {
            const std::size_t next = p.find(L'\\', pos);
            pos = next == std::wstring::npos ? p.size() : next + 1;
        }
        return pos;
    };
    if (p.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return skipParts(8, 2);
    if (p.compare(0, 4, L"\\\\?\\") == 0)
        return skipParts(4, 1);
    if (p.compare(0, 2, L"\\\\") == 0)
        return skipParts(2, 2);
    if (p.size() >= 2 && p[1] == L':')
        return p.size() >= 3 && p[2] == L'\\' ? 3 : 2;
    return !p.empty() && p[0] == L'\\' ? 1 : 0;
}

namespace {

// Characters that the folder search would read as a pattern.
bool HasPatternCharacters(const std::wstring& part)
{
    return part.find_first_of(L"*?<>\"") != std::wstring::npos;
}

} // namespace

std::wstring Resolve(const wchar_t* path)
{
    std::wstring p(path ? path : L"");
    for (wchar_t& c : p)
        if (c == L'/')
            c = L'\\';
    std::size_t pos = RootLength(p);
    std::wstring out = p.substr(0, pos);
    bool searching = true;
    while (pos < p.size()) {
        std::size_t next = p.find(L'\\', pos);
        if (next == std::wstring::npos)
            next = p.size();
        const std::wstring part = p.substr(pos, next - pos);
        std::wstring spelled = part;
        if (searching && !part.empty() && part != L"." && part != L".." && !HasPatternCharacters(part)) {
            WIN32_FIND_DATAW found;
            const std::wstring query = ApiPath((out + part).c_str());
            const HANDLE search =
                FindFirstFileExW(query.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
            if (search != INVALID_HANDLE_VALUE) {
                FindClose(search);
                spelled = found.cFileName;
            } else {
                searching = false;
            }
        }
        out += spelled;
        if (next < p.size())
            out += L'\\';
        pos = next + 1;
    }
    return out;
}

std::wstring Absolute(const std::wstring& path)
{
    if (path.empty()) {
        std::vector<wchar_t> cwd(MAX_PATH);
        DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data());
        if (n >= cwd.size()) {
            cwd.resize(n + 1);
            n = GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data());
        }
        std::wstring out(cwd.data(), n);
        if (out.empty() || out.back() != L'\\')
            out += L'\\';
        return out;
    }
    std::wstring given(path);
    for (wchar_t& c : given)
        if (c == L'/')
            c = L'\\';
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetFullPathNameW(given.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0)
            return given;
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

std::wstring ApiPath(const wchar_t* path)
{
    const std::wstring full = Absolute(path ? path : L"");
    // Folders are limited to MAX_PATH - 12 characters, files to MAX_PATH.
    if (full.size() < MAX_PATH - 12 || full.compare(0, 4, L"\\\\?\\") == 0)
        return full;
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos)
        return L".";
    const std::size_t root = RootLength(path);
    return path.substr(0, cut + 1 <= root ? root : cut);
}

DWORD Attributes(const std::wstring& apiPath)
{
    return GetFileAttributesW(apiPath.c_str());
}

std::int64_t UnixSeconds(const FILETIME& time)
{
    ULARGE_INTEGER ticks;
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    // FILETIME counts 100-nanosecond ticks from 1601-01-01.
    return (static_cast<std::int64_t>(ticks.QuadPart) - 116444736000000000LL) / 10000000LL;
}

bool Fail(DWORD error)
{
    ::SetLastError(error);
    return false;
}

} // namespace zv::os::win32
