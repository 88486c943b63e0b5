#pragma once

#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

#include <string>
#include <vector>

/// \file
/// The profile-file engine: the platform's profile-file functions with the
/// Windows behaviour (sections and keys matched without regard to case,
/// values trimmed and unquoted on read, the file's encoding and line ends
/// kept on write), under names of their own so that they never meet the
/// platform's on Windows. Beyond the Windows functions: reads are served
/// from a parsed copy of the file checked against its identity, size and
/// time; every write replaces the file atomically; writers in different
/// processes exclude each other; and a batch scope (zv::ProfileBatch)
/// applies many writes at once. Off Windows the platform's names
/// (GetPrivateProfileStringW and its kin) stand for the engine's.

namespace zv {

/// As GetPrivateProfileStringW: reads the value of a key into buffer (at
/// most size - 1 characters and a null), or the default when the key is
/// missing; returns the characters written. A null section lists the
/// section names, a null key the keys of the section (each ended by a null,
/// the list by a second one).
ZVPLATFORM_API DWORD ProfileGetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                                      LPCWSTR fileName);
/// As WritePrivateProfileStringW: writes the value of a key, creating the
/// file and the section as needed; a null value deletes the key, a null key
/// the whole section. FALSE when the file could not be written.
ZVPLATFORM_API BOOL ProfileWriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);
/// As GetPrivateProfileSectionW: reads the lines of a section ("key=value",
/// each ended by a null, the list by a second one); returns the characters
/// written.
ZVPLATFORM_API DWORD ProfileGetSection(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR fileName);
/// As WritePrivateProfileSectionW: replaces the lines of a section by the
/// null-separated lines given.
ZVPLATFORM_API BOOL ProfileWriteSection(LPCWSTR section, LPCWSTR lines, LPCWSTR fileName);
/// As GetPrivateProfileSectionNamesW: lists the section names of the file,
/// each ended by a null, the list by a second one.
ZVPLATFORM_API DWORD ProfileGetSectionNames(LPWSTR buffer, DWORD size, LPCWSTR fileName);

} // namespace zv

#ifndef _WIN32
/// zv::ProfileGetString under the platform's name (not on Windows).
inline DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                                      LPCWSTR fileName)
{
    return zv::ProfileGetString(section, key, defaultValue, buffer, size, fileName);
}
/// zv::ProfileWriteString under the platform's name (not on Windows).
inline BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName)
{
    return zv::ProfileWriteString(section, key, value, fileName);
}
/// zv::ProfileGetSection under the platform's name (not on Windows).
inline DWORD GetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR fileName)
{
    return zv::ProfileGetSection(section, buffer, size, fileName);
}
/// zv::ProfileWriteSection under the platform's name (not on Windows).
inline BOOL WritePrivateProfileSectionW(LPCWSTR section, LPCWSTR lines, LPCWSTR fileName)
{
    return zv::ProfileWriteSection(section, lines, fileName);
}
/// zv::ProfileGetSectionNames under the platform's name (not on Windows).
inline DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR fileName)
{
    return zv::ProfileGetSectionNames(buffer, size, fileName);
}
#endif

namespace zv {

/// While a batch scope on a path is open in this thread, the profile-file
/// writes to that path change the parsed copy in memory only; closing the
/// outermost scope writes the file once. The bytes on disk are exactly those
/// the single writes would have produced. The batch holds the path's
/// cross-process write lock for its lifetime, so no other writer interleaves.
class ZVPLATFORM_API ProfileBatch {
public:
    /// Opens a batch on the file; batches on one path nest as one.
    explicit ProfileBatch(LPCWSTR fileName);
    ~ProfileBatch(); ///< Writes the file if anything changed.
    ProfileBatch(const ProfileBatch&) = delete;
    ProfileBatch& operator=(const ProfileBatch&) = delete;

    /// Writes now; false when the file could not be written (the scope stays open).
    bool Flush();

    /// The value of a key in the batch's copy of the file, or the default as
    /// GetPrivateProfileStringW gives it; true when the key is there.
    bool GetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, std::wstring& value) const;
    /// Writes to the batch's copy as WritePrivateProfileStringW does: a null
    /// value deletes the key, a null key the section.
    void WriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value);

private:
    struct State;
    State* m_state;
};

/// The cross-process writer exclusion that the profile-file writes take: held,
/// no other process and no other thread of this one writes a file of the same
/// folder through the profile functions or under another FileWriteLock. It is
/// recursive within a thread and taken once per folder per process, so nested
/// locks and batches on several files of one folder never wait on themselves.
/// Hold it for a whole read-modify-replace of a file that is not an INI file
/// (a JSON document's save, say).
class ZVPLATFORM_API FileWriteLock {
public:
    /// Waits until this writer may change files of the folder of fileName, then holds it.
    explicit FileWriteLock(LPCWSTR fileName);
    ~FileWriteLock(); ///< Lets other writers of the folder go on.
    FileWriteLock(const FileWriteLock&) = delete;
    FileWriteLock& operator=(const FileWriteLock&) = delete;

private:
    void* m_lock;
};

/// Drops every parsed copy (tests, and hosts that want to bound memory).
ZVPLATFORM_API void ClearProfileCache();

/// \name Typed profile-file access
/// Reads and writes of the library's own classes: a value or a list of any
/// length in one call, with no buffer to size and retry. They see the file
/// exactly as the functions above do (an open batch of this thread included).
///@{
/// The value of a key, or the default as GetPrivateProfileStringW gives it
/// (its trailing blanks dropped); true when the key is there. A value ends
/// at a null character in it, as in the platform's buffer. A null section
/// or key reads nothing.
ZVPLATFORM_API bool ProfileGetString(LPCWSTR fileName, LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue,
                                     std::wstring& value);
/// The section's lines as GetPrivateProfileSectionW lists them.
ZVPLATFORM_API std::vector<std::wstring> ProfileSectionLines(LPCWSTR fileName, LPCWSTR section);
/// The file's section names as GetPrivateProfileSectionNamesW lists them.
ZVPLATFORM_API std::vector<std::wstring> ProfileSectionNames(LPCWSTR fileName);
/// Replaces the section's lines as WritePrivateProfileSectionW does.
ZVPLATFORM_API BOOL ProfileWriteSection(LPCWSTR fileName, LPCWSTR section, const std::vector<std::wstring>& lines);
///@}

/// A reader's hold on the parsed copy of one file, for reads that come in
/// quick succession (an INI document filling its cache). A read checks the
/// file's identity, size and time as GetPrivateProfileStringW does, except
/// within kRecentWindowMicroseconds of the holder's last check, when no
/// profile write of this process has come since and no batch is open in this
/// thread: then the copy that check found is read again. A change another
/// program makes is thus seen at most that long after the last check.
class ZVPLATFORM_API ProfileSnapshot {
public:
    /// How long a check counts as recent.
    static constexpr long kRecentWindowMicroseconds = 2000;

    ProfileSnapshot();
    ~ProfileSnapshot();
    ProfileSnapshot(const ProfileSnapshot&) = delete;
    ProfileSnapshot& operator=(const ProfileSnapshot&) = delete;

    /// The file to read; a new file starts with a check.
    void SetFile(LPCWSTR fileName);
    /// Forgets the last check: the next read checks the file.
    void Forget();
    /// As ProfileGetString on the file.
    bool GetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, std::wstring& value);

private:
    struct State;
    State* m_state;
};

} // namespace zv
