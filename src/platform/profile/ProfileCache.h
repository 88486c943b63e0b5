#pragma once

#include <zvenv/platform/Types.h>

#include "ProfileFile.h"

#include <memory>
#include <string>

// Parsed copies of profile files, by native path. A cached copy is used
// while the file on disk still has the identity, size and modification time
// it had when it was read, so a read costs a look at the file and a lookup.
namespace zv::profile {

// The current parsed copy of a file; an empty model when there is no file
// (*missing then tells whether nothing is at the path at all).
std::shared_ptr<const ProfileFile> LoadFile(const std::string& path, bool* missing = nullptr);

// Replaces the file atomically with the model's bytes and keeps the model as
// the file's parsed copy; false when the file could not be written.
bool StoreFile(const std::string& path, LPCWSTR widePath, std::shared_ptr<const ProfileFile> file);

void ClearCache();

// Counts the stores of this process and the drops of the cache: a reader
// that skips a check of the file must not miss one of them.
unsigned long WriteCount();

} // namespace zv::profile
