#pragma once

namespace zv::ini {

// Before a write: a missing file is created holding only the UTF-16LE mark,
// so everything written after it is stored as UTF-16LE. An existing file is
// never touched; nothing happens without a path.
void PrepareFile(const wchar_t* path);

} // namespace zv::ini
