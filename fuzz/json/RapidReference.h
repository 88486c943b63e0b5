#pragma once

#include <string>
#include <vector>

// What RapidJSON reads from a text, given comments and trailing commas, as a
// plain tree: the reference the engine's reading is compared with.
namespace jsonfuzz {

struct ReferenceNode {
    enum Kind { Null, String, Number, Boolean, Array, Object } kind = Null;
    std::wstring name;  // members only
    std::wstring value; // strings; "true" or "false" for booleans
    std::vector<ReferenceNode> children;
};

// False when RapidJSON refuses the text or its root is no array or object.
// The text must not nest deeper than RapidJSON's recursion can free.
bool ReadReference(const std::wstring& text, ReferenceNode& root);

} // namespace jsonfuzz
