#pragma once

#include <zvenv/platform/CString.h>
#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// \file
/// The operating-system services the library uses, one small interface per
/// service. The POSIX implementation lives in src/platform/posix/.

/// The operating-system services. Every path may use either separator. Paths
/// are resolved without regard to case: where the exact spelling does not exist, each component is looked up
/// ignoring case (exact match first, then the first case-insensitive match in
/// sorted order). New files and folders take the spelling given.
namespace zv::os {

/// The separator of the paths the library builds: '/' on POSIX, '\' on Windows.
#ifdef _WIN32
constexpr wchar_t kSeparator = L'\\';
#else
constexpr wchar_t kSeparator = L'/';
#endif

/// The path as it should be passed to the system: separators made native and
/// existing components spelled as they are on disk.
ZVPLATFORM_API CString ResolvePath(LPCWSTR path);
/// The resolved path as the system's narrow (UTF-8) text.
ZVPLATFORM_API std::string NativePath(LPCWSTR path);

// Files and folders.
ZVPLATFORM_API bool FileExists(LPCWSTR path);   ///< A file (not a folder) is there.
ZVPLATFORM_API bool FolderExists(LPCWSTR path); ///< A folder is there.
/// The size of the file at the path; false when no file (or a folder) is there.
ZVPLATFORM_API bool GetFileSize(LPCWSTR path, std::uint64_t& size);
/// Copies a file; with failIfExists an existing target makes it fail and the
/// copy is made as CreateNewFile makes a file, otherwise it replaces the
/// target as WriteFileAtomic does.
ZVPLATFORM_API bool CopyFile(LPCWSTR from, LPCWSTR to, bool failIfExists);
/// Moves or renames a file or folder; fails when the target exists, unless the
/// target is the source itself spelled in another case: the source then takes
/// the spelling given.
ZVPLATFORM_API bool MoveFile(LPCWSTR from, LPCWSTR to);
/// Deletes a file; false when it is not there or cannot be deleted.
ZVPLATFORM_API bool DeleteFile(LPCWSTR path);
/// Replaces the file's content atomically: the bytes go to a temporary file in
/// the same folder, which is flushed to disk and renamed over the target, so a
/// crash leaves the old or the new file, never a torn one. An existing file
/// keeps its permissions, and its owner and group where the process may set
/// them. False (and nothing changed) when the folder is missing or cannot be
/// written, the target is a folder, or the file is write-protected (see
/// IsWriteProtected); GetLastError then holds the system's reason.
ZVPLATFORM_API bool WriteFileAtomic(LPCWSTR path, const void* bytes, std::size_t size);
/// Creates a file holding the bytes only when nothing exists at the path yet,
/// complete or not at all: the bytes are written and flushed to a temporary
/// file first, which then takes the name in one step that fails when the name
/// is taken. An existing file is never touched. False when something is there
/// already (GetLastError gives EEXIST) or the file cannot be created.
ZVPLATFORM_API bool CreateNewFile(LPCWSTR path, const void* bytes, std::size_t size);
/// The whole content of a file; false when it cannot be read.
ZVPLATFORM_API bool ReadWholeFile(LPCWSTR path, std::string& bytes);
/// True when a file is there that this process may not write: one without
/// any write permission (read-only for everybody, administrators included, as
/// a read-only file is on Windows), or one the system refuses this process.
ZVPLATFORM_API bool IsWriteProtected(LPCWSTR path);

/// What tells one state of a file from another without reading it: the
/// file's identity (device and file number), size, and times of the last
/// change of its content and of its entry. A file replaced by a rename, or
/// written in place, gets another stamp.
struct FileStamp {
    std::uint64_t device = 0;  ///< The device (volume) of the file.
    std::uint64_t file = 0;    ///< The file's number on that device.
    std::uint64_t size = 0;    ///< Its size in bytes.
    std::int64_t modified = 0; ///< Last change of its content, nanoseconds since 1970.
    std::int64_t changed = 0;  ///< Last change of its entry, nanoseconds since 1970.
    /// Every field equal: the same file, unchanged.
    bool operator==(const FileStamp& o) const
    {
        return device == o.device && file == o.file && size == o.size && modified == o.modified && changed == o.changed;
    }
    /// Another file, or the same one changed.
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
/// The stamp of what is at the path now; false when nothing is there.
ZVPLATFORM_API bool GetFileStamp(LPCWSTR path, FileStamp& out);
/// The stamp of a file open as a CFile (its m_hFile).
ZVPLATFORM_API bool GetOpenFileStamp(void* fileHandle, FileStamp& out);

/// What reading a regular file found at its path.
enum class ReadResult { Read, Missing, Folder, NotAFile, Unreadable };
/// Reads a whole regular file. A device, pipe or socket at the path is
/// refused without waiting on it or reading it (NotAFile).
ZVPLATFORM_API ReadResult ReadRegularFile(LPCWSTR path, std::string& bytes);

/// A regular file kept open for reading. While it is held its identity
/// (device and file number) cannot pass to another file, so a stamp of the
/// path that equals the held one means the path still names this file,
/// unchanged. Holding it never keeps another program from replacing, renaming
/// or deleting the file.
class ZVPLATFORM_API HeldFile {
public:
    HeldFile() = default;
    ~HeldFile() { Close(); }
    /// Takes over the other's file; the other then holds none.
    HeldFile(HeldFile&& other) noexcept;
    /// Closes the file held, then takes over the other's.
    HeldFile& operator=(HeldFile&& other) noexcept;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    /// Opens the file without waiting; anything but a regular file is
    /// refused (NotAFile, Folder) and not held.
    ReadResult Open(LPCWSTR path);
    /// The whole content from its first byte; false when it cannot be read.
    bool ReadAll(std::string& bytes) const;
    /// True while a file is held.
    bool IsOpen() const { return m_file >= 0; }
    const FileStamp& Stamp() const { return m_stamp; } ///< As opened.
    /// Lets the file go.
    void Close();

private:
    std::int64_t m_file = -1;
    FileStamp m_stamp;
};

/// Creates the folder with every missing parent. 0 on success or when it
/// exists already, otherwise the system's error code.
ZVPLATFORM_API int CreateFolders(LPCWSTR path);

/// One entry of a folder listing.
struct FolderEntry {
    CString name;                   ///< The entry's name, without its folder.
    bool isFolder = false;          ///< True for a folder.
    std::int64_t lastWriteTime = 0; ///< Seconds since 1970-01-01 UTC.
};
/// The entries of a folder without "." and "..", in the system's order; empty
/// when the folder cannot be read.
ZVPLATFORM_API std::vector<FolderEntry> ListFolder(LPCWSTR folder);

/// A moment in the local time zone.
struct LocalTime {
    int year;   ///< The year, as 2024.
    int month;  ///< 1 to 12.
    int day;    ///< 1 to 31.
    int hour;   ///< 0 to 23.
    int minute; ///< 0 to 59.
    int second; ///< 0 to 60 (a leap second).
};
/// Converts seconds since 1970-01-01 UTC to local time; false when it cannot.
ZVPLATFORM_API bool ToLocalTime(std::int64_t time, LocalTime& out);

// The process.
ZVPLATFORM_API CString ExecutablePath(); ///< Full path of the running executable.
/// Absolute and canonical form of a path ("." and ".." removed, separators
/// native); the path itself need not exist.
ZVPLATFORM_API CString FullPath(LPCWSTR path);
/// Suspends the calling thread.
ZVPLATFORM_API void Sleep(unsigned milliseconds);
/// The system's error code of the calling thread's last failed operation of
/// these services (errno values on POSIX); 0 when none was recorded.
ZVPLATFORM_API unsigned long GetLastError();
/// Sets the calling thread's error code, as GetLastError gives it.
ZVPLATFORM_API void SetLastError(unsigned long error);

// Dynamic loading. A module name without a folder goes through the loader's
// normal search; LoadModule returns null when the module cannot be loaded.
/// A loaded module; null for none.
using ModuleHandle = void*;
/// Loads a module by its path, or by its name through the loader's normal
/// search; null when it cannot be loaded.
ZVPLATFORM_API ModuleHandle LoadModule(LPCWSTR nameOrPath);
/// The address of the module's exported function of that name, null when there is none.
ZVPLATFORM_API void* FindEntryPoint(ModuleHandle module, const char* name);
/// Releases a module that LoadModule gave.
ZVPLATFORM_API void FreeModule(ModuleHandle module);
/// The platform's file name of a module: "JSONLint" gives libJSONLint.so on
/// Linux and JSONLint.dll on Windows.
ZVPLATFORM_API CString ModuleFileName(LPCWSTR baseName);
/// The folder (without a trailing separator) of the shared library or
/// executable that holds the given address.
ZVPLATFORM_API CString FolderOfModuleContaining(const void* address);

} // namespace zv::os
