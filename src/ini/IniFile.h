#pragma once

#include <string>
#include <vector>

namespace zv::ini {

// Before a write: a missing file is created holding only the UTF-16LE mark,
// so everything written after it is stored as UTF-16LE. An existing file is
// never touched; nothing happens without a path.
void PrepareFile(const wchar_t* path);

// The typed readings of a value's text, exactly as CTqIni's getters make
// them (only the first 64 characters count; an empty text gives the
// default), for callers that read the text themselves.
unsigned int UIntFromText(const wchar_t* text, unsigned int def, int base);
double DoubleFromText(const wchar_t* text, double def);

// The items of a list read whole, as a walk of the platform's double-null
// form of it would give them (an item holding a null is two items, an empty
// one ends the list).
std::vector<std::wstring> ListItems(std::vector<std::wstring> items);

} // namespace zv::ini
