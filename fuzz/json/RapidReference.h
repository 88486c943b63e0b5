#pragma once

#include <string>

namespace jsonfuzz {

// RapidJSON's reading of text as Render without comments; false when refused,
// not rooted in an array or object, or deeper than depthLimit.
bool ReadReference(const std::wstring& text, std::size_t depthLimit, std::wstring& rendered);

} // namespace jsonfuzz
