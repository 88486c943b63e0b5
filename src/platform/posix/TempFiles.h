#pragma once

#include <string>

// The temporary files that whole-file writes put beside their target (named
// ".zvtmp-" and six more characters). A writer holds an flock on its
// temporary file from creation until the file is renamed or removed, so a
// file of that name that nobody holds belongs to a writer that died.
namespace zv::os::posix {

// Removes the temporary files of dead writers from a folder (a native path):
// files of our own pattern that no live writer holds and that are older
// than this process (by a margin that covers a writer between creating its
// file and locking it). Returns how many were removed.
int RemoveLeftoverTempFiles(const std::string& folder);

} // namespace zv::os::posix
