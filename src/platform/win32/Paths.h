#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Path handling shared by the Windows implementation of the OS services.
namespace zv::os {
// Drops the spellings NativePath and ResolvePath keep (after a rename).
void ForgetResolvedPaths();
} // namespace zv::os

namespace zv::os::win32 {

inline bool IsSeparator(wchar_t ch)
{
    return ch == L'\\' || ch == L'/';
}

// The length of the part of a native path that names its root and is kept
// as given: "\\?\C:\", "\\?\UNC\server\share\", "\\server\share\", "C:\", "C:"
// or "\"; 0 for a relative path.
std::size_t RootLength(const std::wstring& path);

// The path with native separators and, where the path or a part of it
// exists, each existing component spelled as it is on disk. The file system
// ignores case itself; the spelling matters to the cache keys and to the
// comparisons of paths that the library makes.
std::wstring Resolve(const wchar_t* path);

// The absolute form of a path ("." and ".." removed, native separators).
std::wstring Absolute(const std::wstring& path);

// The form a path is handed to the file functions in: absolute, and with the
// "\\?\" prefix when it is too long for the classic limit, so long paths work
// without the process opting in.
std::wstring ApiPath(const wchar_t* path);

// The folder part of a native path, without its trailing separator ("C:\"
// for a file at the root of a drive).
std::wstring FolderOf(const std::wstring& path);

// The file attributes, or INVALID_FILE_ATTRIBUTES when nothing is there.
DWORD Attributes(const std::wstring& apiPath);

// Seconds since 1970-01-01 UTC of a FILETIME.
std::int64_t UnixSeconds(const FILETIME& time);

// Sets the thread's last error and returns false.
bool Fail(DWORD error);

} // namespace zv::os::win32
