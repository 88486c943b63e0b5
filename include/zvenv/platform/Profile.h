#pragma once

#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

/// \file
/// The platform's profile-file functions. Off Windows they are provided here
/// with the Windows behaviour: sections and keys matched without regard to
/// case, values trimmed and unquoted on read, the file's encoding and line ends
/// kept on write. Beyond the Windows functions: reads are served from a parsed
/// copy of the file checked against its identity, size and time; every write
/// replaces the file atomically; writers in different processes exclude each
/// other; and a batch scope (zv::ProfileBatch) applies many writes at once.

#ifndef _WIN32
/// Reads the value of a key into buffer (at most size - 1 characters and a
/// null), or the default when the key is missing; returns the characters
/// written. A null section lists the section names, a null key the keys of
/// the section (each ended by a null, the list by a second one).
ZVPLATFORM_API DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue,
                                              LPWSTR buffer, DWORD size, LPCWSTR fileName);
/// Writes the value of a key, creating the file and the section as needed; a
/// null value deletes the key, a null key the whole section. FALSE when the
/// file could not be written.
ZVPLATFORM_API BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);
/// Reads the lines of a section ("key=value", each ended by a null, the list
/// by a second one); returns the characters written.
ZVPLATFORM_API DWORD GetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR fileName);
/// Replaces the lines of a section by the null-separated lines given.
ZVPLATFORM_API BOOL WritePrivateProfileSectionW(LPCWSTR section, LPCWSTR lines, LPCWSTR fileName);
/// Lists the section names of the file, each ended by a null, the list by a second one.
ZVPLATFORM_API DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR fileName);
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

} // namespace zv
