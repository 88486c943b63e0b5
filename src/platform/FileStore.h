#pragma once

#include <cstdint>
#include <string>

// What the profile-file engine (src/platform/profile/) asks of the system,
// implemented once per system in src/platform/posix/ and src/platform/win32/.
// Paths are native paths as UTF-8 text, the form zv::os::NativePath gives.
namespace zv::os::store {

// What tells one state of a file from another without reading it: the
// file's identity (its volume and file number on POSIX, its creation time on
// Windows, which a replacing file brings anew), its size and the time of its
// last change (in the system's own unit). A file replaced by a rename, or
// written in place, gets another stamp.
struct Stamp {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;

    bool operator==(const Stamp& o) const
    {
        return volume == o.volume && file == o.file && size == o.size && modified == o.modified;
    }
    bool operator!=(const Stamp& o) const { return !(*this == o); }
};

enum class PathState { Missing, File, Unusable };
// A regular file's stamp; Unusable for a folder or anything the process
// cannot look at.
PathState StampOf(const std::string& path, Stamp& stamp);

// The whole content of a file; false when it cannot be read. expected is the
// size its stamp gave, read straight into the buffer; a file that grew
// meanwhile is read to its end.
bool ReadBytes(const std::string& path, std::string& bytes, std::size_t expected);

// 0 when a write may go to the path: its folder exists and the path names
// no folder. Otherwise the system's error code of the refusal.
unsigned long WriteRefusal(const std::string& path);

// The folder of a path without its trailing separator (a root keeps it):
// "." for a bare file name.
std::string FolderOf(const std::string& path);

// The identity of a folder: its device and inode on POSIX, whichever path
// names it; its full path folded to one case on Windows.
struct FolderId {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    bool operator<(const FolderId& o) const { return volume != o.volume ? volume < o.volume : file < o.file; }
};

// The writers' exclusion across processes, one per folder. OpenFolder gives
// a handle and the folder's identity, or null when the folder cannot be
// opened; LockFolder waits until no other process holds the folder; the
// lock lasts until CloseFolder, or until its process ends in whatever way.
// A lock is taken and closed by one thread.
void* OpenFolder(const std::string& folder, FolderId& id);
void LockFolder(void* handle);
void CloseFolder(void* handle);

// Removes from a folder the temporary files that writers which died left
// behind (a live writer's are kept).
void RemoveLeftovers(const std::string& folder);

} // namespace zv::os::store
