#pragma once

#include "json/Json.h"
#include "json/JsonBody.h"

#include <string>

namespace jsontest {

// Takes an engine string, frees it and returns its text.
inline std::wstring Take(wchar_t* text)
{
    std::wstring copy = text ? text : L"";
    JsonFreeString(text);
    return copy;
}

inline std::wstring Name(JsonNode node)
{
    return Take(JsonGetName(node));
}
inline std::wstring Value(JsonNode node)
{
    return Take(JsonGetString(node));
}
inline std::wstring Write(JsonNode node)
{
    return Take(JsonWriteFormatted(node));
}

// The child at index, fetching the parent; null when there is none.
inline JsonNode Child(JsonNode parent, int index)
{
    if (index < 0 || index >= JsonGetSize(parent))
        return nullptr;
    return JsonBegin(parent)[index];
}

inline JsonNode Member(JsonNode parent, const wchar_t* name)
{
    JsonIterator it = JsonFindChild(parent, name);
    return it && it != JsonEnd(parent) ? *it : nullptr;
}

// The tree in one line, every value read: objects {name:value,...}, arrays
// [...], strings in double quotes as they read (nothing escaped but U+0000,
// shown as \0), numbers
// and literals as their text, a comment as /*text*/ before its node.
inline std::wstring Render(JsonNode node, bool member = false)
{
    const JsonNodeType type = JsonGetType(node);
    const bool container = type == JsonArray || type == JsonObject;
    const int size = container ? JsonGetSize(node) : 0; // reading may add to the comment
    const std::wstring& comment = zv::json::AsHandle(node)->body->comment;
    std::wstring out = comment.empty() ? L"" : L"/*" + comment + L"*/";
    if (member)
        out += Name(node) + L":";
    if (container) {
        out += type == JsonArray ? L"[" : L"{";
        for (int i = 0; i < size; ++i)
            out += (i ? L"," : L"") + Render(JsonBegin(node)[i], type == JsonObject);
        return out + (type == JsonArray ? L"]" : L"}");
    }
    std::size_t length = 0;
    wchar_t* text = JsonGetString(node, &length);
    std::wstring value;
    for (std::size_t i = 0; i < length; ++i)
        value += text[i] ? std::wstring(1, text[i]) : std::wstring(L"\\0");
    JsonFreeString(text);
    return out + (type == JsonString ? L"\"" + value + L"\"" : value);
}

// A parsed document released at the end of the scope.
class Document {
public:
    explicit Document(const wchar_t* text) : m_root(JsonParse(text)) {}
    explicit Document(JsonNode root) : m_root(root) {}
    ~Document() { JsonDeleteNode(m_root); }
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    JsonNode get() const { return m_root; }
    operator JsonNode() const { return m_root; }

private:
    JsonNode m_root;
};

} // namespace jsontest

#include "ZvTest.h"

#include <zvenv/CTqEnvJson.h>
#include <zvenv/platform/Os.h>

namespace jsontest {

// The validator module of the build's bin folder, loaded the way a host next
// to it would find it; loaded once and kept for the whole run.
inline JsonCppParseFn LoadValidator()
{
    static const JsonCppParseFn entry = [] {
        const CString path =
            CString(zvtest::ExecutableFolder().c_str()) + zv::os::kSeparator + zv::os::ModuleFileName(L"JSONLint");
        zv::os::ModuleHandle module = zv::os::LoadModule(path);
        return module ? reinterpret_cast<JsonCppParseFn>(zv::os::FindEntryPoint(module, "JSONCPP_Parse")) : nullptr;
    }();
    return entry;
}

} // namespace jsontest
