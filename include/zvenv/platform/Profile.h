#pragma once

#include <zvenv/platform/Export.h>
#include <zvenv/platform/Types.h>

// The profile-file engine: the platform's profile-file functions with the
// Windows behaviour (sections and keys matched without regard to case,
// values trimmed and unquoted on read, the file's encoding and line ends kept
// on write), under names of their own so that they never meet the platform's
// on Windows. Beyond the Windows functions: reads are served from a parsed
// copy of the file checked against its identity, size and time; every write
// replaces the file atomically; writers in different processes exclude each
// other; and a batch scope (zv::ProfileBatch) applies many writes at once.
// The arguments, results and truncation rules are those of the functions
// named in each comment.
namespace zv {

// GetPrivateProfileStringW
ZVPLATFORM_API DWORD ProfileGetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                                      DWORD size, LPCWSTR fileName);
// WritePrivateProfileStringW
ZVPLATFORM_API BOOL ProfileWriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);
// GetPrivateProfileSectionW
ZVPLATFORM_API DWORD ProfileGetSection(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR fileName);
// WritePrivateProfileSectionW
ZVPLATFORM_API BOOL ProfileWriteSection(LPCWSTR section, LPCWSTR lines, LPCWSTR fileName);
// GetPrivateProfileSectionNamesW
ZVPLATFORM_API DWORD ProfileGetSectionNames(LPWSTR buffer, DWORD size, LPCWSTR fileName);

} // namespace zv

// Off Windows the platform's names stand for the engine, so code written for
// the platform's functions builds unchanged.
#ifndef _WIN32
inline DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                                      LPCWSTR fileName)
{
    return zv::ProfileGetString(section, key, defaultValue, buffer, size, fileName);
}
inline BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName)
{
    return zv::ProfileWriteString(section, key, value, fileName);
}
inline DWORD GetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR fileName)
{
    return zv::ProfileGetSection(section, buffer, size, fileName);
}
inline BOOL WritePrivateProfileSectionW(LPCWSTR section, LPCWSTR lines, LPCWSTR fileName)
{
    return zv::ProfileWriteSection(section, lines, fileName);
}
inline DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR fileName)
{
    return zv::ProfileGetSectionNames(buffer, size, fileName);
}
#endif

namespace zv {

// While a batch scope on a path is open in this thread, the profile-file
// writes to that path change the parsed copy in memory only; closing the
// outermost scope writes the file once. The bytes on disk are exactly those
// the single writes would have produced. The batch holds the path's
// cross-process write lock for its lifetime, so no other writer interleaves.
class ZVPLATFORM_API ProfileBatch {
public:
    explicit ProfileBatch(LPCWSTR fileName);
    ~ProfileBatch(); // writes the file if anything changed
    ProfileBatch(const ProfileBatch&) = delete;
    ProfileBatch& operator=(const ProfileBatch&) = delete;

    // Writes now; false when the file could not be written (the scope stays open).
    bool Flush();

private:
    struct State;
    State* m_state;
};

// The cross-process writer exclusion that the profile-file writes take: held,
// no other process and no other thread of this one writes a file of the same
// folder through the profile functions or under another FileWriteLock. It is
// recursive within a thread and taken once per folder per process, so nested
// locks and batches on several files of one folder never wait on themselves.
// Hold it for a whole read-modify-replace of a file that is not an INI file
// (a JSON document's save, say).
class ZVPLATFORM_API FileWriteLock {
public:
    explicit FileWriteLock(LPCWSTR fileName);
    ~FileWriteLock();
    FileWriteLock(const FileWriteLock&) = delete;
    FileWriteLock& operator=(const FileWriteLock&) = delete;

private:
    void* m_lock;
};

// Drops every parsed copy (tests, and hosts that want to bound memory).
ZVPLATFORM_API void ClearProfileCache();

} // namespace zv
