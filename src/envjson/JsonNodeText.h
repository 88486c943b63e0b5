#pragma once

#include <zvenv/platform/CString.h>

#include "json/Json.h"

#include <climits>
#include <cstdlib>
#include <cwchar>

// Small helpers the document's operations share over the engine's handles.
namespace zv::envjson {

// A node's value text (strings unescaped, numbers as kept, "true", "false",
// "null"), copied out of the engine's string whole: a string may hold U+0000.
inline CString NodeText(JsonNode node)
{
    std::size_t length = 0;
    const wchar_t* text = JsonPeekString(node, &length);
    return CString(text, static_cast<int>(length));
}

inline CString NodeName(JsonNode node)
{
    std::size_t length = 0;
    wchar_t* name = JsonGetName(node, &length);
    CString result(name, static_cast<int>(length));
    JsonFreeString(name);
    return result;
}

// True for an array or object, after reading the node's children: a node whose
// text turns out not to be a container becomes null when first read.
inline bool IsContainer(JsonNode node)
{
    if (!node)
        return false;
    JsonGetSize(node);
    const JsonNodeType type = JsonGetType(node);
    return type == JsonArray || type == JsonObject;
}

} // namespace zv::envjson
