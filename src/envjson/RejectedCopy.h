#pragma once

#include <zvenv/platform/CString.h>

// Copies of document files whose content the library refused, kept before
// the file is replaced.
namespace zv::envjson {

// Keeps the bytes of the file at path beside it, under the file's name
// followed by ".rejected-" and the time in UTC ("layout.json.rejected-
// 20261206T201500Z"), with "-2", "-3"... added when that name is taken: an
// earlier copy is never overwritten. True when the bytes are safe, kept or
// with nothing to keep (no file, or an empty one); false when the file holds
// bytes that could not be kept (it cannot be read, is no regular file, or the
// copy cannot be written), and the caller must then leave the file alone.
// The copy's path goes to kept when one was made.
bool KeepRejectedCopy(const CString& path, CString* kept = nullptr);

} // namespace zv::envjson
