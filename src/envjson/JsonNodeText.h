#pragma once

#include <zvenv/platform/CString.h>

#include "json/Json.h"

#include <climits>
#include <cstdlib>
#include <cwchar>

// Small helpers the document's operations share over the engine's handles.
namespace zv::envjson {

// A node's value text (strings unescaped, numbers as kept, "true", "false",
// "null"), copied out of the engine's string.
inline CString NodeText(JsonNode node)
{
    wchar_t* text = JsonGetString(node);
    CString result(text ? text : L"");
    JsonFreeString(text);
    return result;
}

inline CString NodeName(JsonNode node)
{
    wchar_t* name = JsonGetName(node);
    CString result(name ? name : L"");
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
