#pragma once

#include <zvenv/platform/CString.h>

#include <string>

// Everything that makes a file from a shipped default or makes a missing
// file: a user's copy of a document, a new user's setting file, a restore
// from the system folder, a JSON file created or refilled. A file made here
// comes into being complete or not at all (it is written and flushed under
// another name first, then takes its name in one step that fails when the
// name is taken), and a file with content is replaced only where the caller
// asks for exactly that. Each works under the writers' lock of the file's
// folder, so no profile write or document save interleaves.
namespace zv::envmgr {

// What an older version left when it crashed while seeding: nothing, or
// only the UTF-16LE byte-order mark.
bool IsBare(const std::string& bytes);

// Makes the file a copy of the shipped one where no file is there, or only a
// bare one. True when this call made it.
bool SeedFromShipped(const CString& path, const CString& shipped);

// Makes the file hold the bytes where no file is there. True when this call
// made it.
bool CreateMissing(const CString& path, const std::string& bytes);

// Puts the shipped file's content in place of the file. Without a readable
// shipped file the file is kept, or deleted when asked to be; a file this
// process may not write is neither replaced nor deleted. True when the
// shipped content was put in place.
enum class WithoutShipped { Keep, Delete };
bool RestoreFromShipped(const CString& path, const CString& shipped, WithoutShipped without);

// Refills a file that is still empty with the shipped file's content, or
// with the fallback where there is no shipped file. True when refilled.
bool RefillEmpty(const CString& path, const CString& shipped, const std::string& fallback);

} // namespace zv::envmgr
