#pragma once

#include <string>

namespace jsonfuzz {

// What RapidJSON reads from a text, given comments and trailing commas, in
// the form of jsontest::Render without comments: the reference the engine's
// reading is compared with. False when RapidJSON refuses the text, when its
// root is no array or object, or when it nests deeper than depthLimit.
bool ReadReference(const std::wstring& text, std::size_t depthLimit, std::wstring& rendered);

} // namespace jsonfuzz
