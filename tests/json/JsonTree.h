#pragma once
// A tree read whole into one line of text, for the tests, the fuzz targets and the wide comparison (no test framework).
#include "json/Json.h"
#include "json/JsonBody.h"

#include <string>

namespace jsontest {

// An engine string's text (of length, read once the text is got, or up to NUL), freed.
inline std::wstring Take(wchar_t* text, const std::size_t& length = std::wstring::npos)
{
    std::wstring copy = !text ? L"" : length == std::wstring::npos ? text : std::wstring(text, length);
    JsonFreeString(text);
    return copy;
}

// A name or value whole, U+0000 included.
inline std::wstring Name(JsonNode node)
{
    std::size_t length = 0;
    return Take(JsonGetName(node, &length), length);
}
inline std::wstring Value(JsonNode node)
{
    std::size_t length = 0;
    return Take(JsonGetString(node, &length), length);
}
inline std::wstring Write(JsonNode node)
{
    return Take(JsonWriteFormatted(node));
}

// {name:value,...}, [...], strings quoted (U+0000 as \0), unset values null, /*comments*/ first.
inline std::wstring Render(JsonNode node, bool member = false, bool comments = true)
{
    const JsonNodeType type = JsonGetType(node);
    const bool container = type == JsonArray || type == JsonObject;
    const int size = container ? JsonGetSize(node) : 0; // reading may add to the comment
    const std::wstring& comment = zv::json::AsHandle(node)->body->comment;
    std::wstring out = comment.empty() || !comments ? L"" : L"/*" + comment + L"*/";
    if (member)
        out += Name(node) + L":";
    if (container) {
        out += type == JsonArray ? L"[" : L"{";
        for (int i = 0; i < size; ++i)
            out += (i ? L"," : L"") + Render(JsonBegin(node)[i], type == JsonObject, comments);
        return out + (type == JsonArray ? L"]" : L"}");
    }
    std::wstring value;
    for (wchar_t c : Value(node))
        value += c ? std::wstring(1, c) : std::wstring(L"\\0");
    if (type == JsonString)
        return out + L"\"" + value + L"\"";
    return out + (value.empty() ? L"null" : value);
}

} // namespace jsontest
